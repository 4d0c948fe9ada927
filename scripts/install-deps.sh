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
  # The Linux editor: libX11 and cairo, its condensed face, and XTEST to drive
  # it on the virtual display in the tests.
  libx11-dev fonts-dejavu-extra libxtst-dev
  clang-14 libclang-rt-14-dev
  # The Windows builds: the mingw-w64 cross compilers, wine (32-bit too) and an
  # X server without a screen to run them, and dpkg-dev to unpack the source
  # packages of the libraries they cross-build.
  g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth imagemagick dpkg-dev
)

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
update=0

# wine32 comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  update=1
fi

# The Windows builds cross-compile libsndfile and libsoxr from Debian's source
# packages: add deb-src entries for the archive the binary packages come from.
if ! apt-cache showsrc libsndfile 2>/dev/null | grep -q '^Package:'; then
  if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/tolvar-deb-src.sources >/dev/null
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/tolvar-deb-src.list >/dev/null
    fi
  fi
  update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ $update -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
