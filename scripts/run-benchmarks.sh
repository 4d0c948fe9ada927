#!/usr/bin/env bash
# Runs every benchmark program of a build folder (default: build). Each prints
# the reference implementation's figure beside ours in the same run.
set -euo pipefail
build=${1:-build}
shopt -s nullglob
for bench in "$build"/bench/tolvar_*bench; do
  echo "== $(basename "$bench")"
  "$bench"
done
