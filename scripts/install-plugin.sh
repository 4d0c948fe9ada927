#!/usr/bin/env bash
# Installs the Linux plug-in and its IR library into a VST 2 folder: tolvar.so
# and the folder tolvar/ beside it, where the plug-in looks for its files.
# A previous installation is replaced whole. Run by `make install`.
# usage: scripts/install-plugin.sh PLUGIN_BUILD_FOLDER VST_FOLDER
set -euo pipefail

from=${1:?usage: install-plugin.sh PLUGIN_BUILD_FOLDER VST_FOLDER}
to=${2:-}
if [ -z "$to" ]; then
  echo "install: no VST folder given (VST_DIR is empty)" >&2
  exit 1
fi
if [ ! -f "$from/tolvar.so" ]; then
  echo "install: no plug-in at $from/tolvar.so; build the target tolvar first" >&2
  exit 1
fi
if [ ! -d "$from/tolvar" ]; then
  echo "install: no IR library at $from/tolvar/; build the target tolvar_ir_library first" >&2
  exit 1
fi

mkdir -p "$to"
# Stage beside the destination so that the final moves stay on one file system.
staging=$(mktemp -d "$to/.tolvar-install.XXXXXX")
trap 'rm -rf "$staging"' EXIT
cp -R "$from/tolvar" "$staging/tolvar"
install -m 0755 "$from/tolvar.so" "$staging/tolvar.so"
rm -rf "$to/tolvar"
mv "$staging/tolvar" "$to/tolvar"
mv -f "$staging/tolvar.so" "$to/tolvar.so"
echo "installed $to/tolvar.so and its IR library $to/tolvar/ ($(find "$to/tolvar" -name '*.wav' | wc -l) files)"
