#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the stand-in host and
# the benchmarks need (dpf-plugins-vst: third-party VST 2 plug-ins that the
# stand-in host and the validator are tried on). Does nothing when they are all
# present, so it is safe to run before every build.
set -euo pipefail

packages=(
  build-essential cmake pkg-config g++-multilib
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libsoxr-dev libfftw3-dev
  dpf-plugins-vst
  libcli11-dev libcairo2-dev libfontconfig-dev fonts-dejavu-core
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
