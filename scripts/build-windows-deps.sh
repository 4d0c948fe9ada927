#!/usr/bin/env bash
# Cross-builds, static, the libraries that the Windows stand-in host and the
# Windows tests link: libsndfile and libsoxr from Debian's source packages (the
# same versions as the installed Linux packages, WAV only: no external codecs),
# and GoogleTest from Debian's own sources in /usr/src/googletest. CLI11, which
# is headers only, is copied from Debian's package as it is.
#
#   scripts/build-windows-deps.sh <toolchain file> <deps folder>
#
# Installs into <deps folder>/prefix (pass that to CMake as TOLVAR_WINDOWS_DEPS)
# and does nothing when a previous run left the same versions there. Needs the
# deb-src entries that scripts/install-deps.sh adds.
set -euo pipefail

toolchain=$(realpath "$1")
deps=$(realpath -m "$2")
jobs=${JOBS:-$(nproc)}
prefix=$deps/prefix

source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
sndfile_version=$(source_version libsndfile1-dev)
soxr_version=$(source_version libsoxr-dev)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
# The toolchain file and the shared part it includes decide the flags.
toolchain_hash=$(cat "$toolchain" "$(dirname "$toolchain")"/MingwToolchain.cmake | sha1sum | cut -c1-12)
wanted="toolchain=$(basename "$toolchain") $toolchain_hash \
libsndfile=$sndfile_version libsoxr=$soxr_version googletest=$gtest_version"

# CLI11 needs no build and costs nothing to copy: it is refreshed on every run,
# apart from the stamp, so that a tree built before it came along gets it
# without building the rest again. The files keep their times, so nothing that
# includes them is rebuilt for the copy.
copy_cli11() {
  rm -rf "$prefix/include/CLI" "$prefix/share/cmake/CLI11"
  mkdir -p "$prefix/include" "$prefix/share/cmake"
  cp -rp /usr/include/CLI "$prefix/include/CLI"
  cp -rp /usr/share/cmake/CLI11 "$prefix/share/cmake/CLI11"
}

stamp=$prefix/tolvar-deps.stamp
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
  copy_cli11
  exit 0
fi
echo "Cross-building $wanted into $prefix"
rm -rf "$deps/src" "$deps/build" "$prefix"
mkdir -p "$deps/src" "$deps/build" "$prefix"

# apt-get source also unpacks and applies Debian's patches. As root, apt would
# rather download as its own user, who cannot write here.
apt_options=()
[ "$(id -u)" -eq 0 ] && apt_options=(-o APT::Sandbox::User=root)
(cd "$deps/src" && apt-get source -qq "${apt_options[@]}" "libsndfile=$sndfile_version" "libsoxr=$soxr_version" >/dev/null)

build() {  # <name> <source folder> <cmake options...>
  local name=$1 source=$2
  shift 2
  cmake -S "$source" -B "$deps/build/$name" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  cmake --build "$deps/build/$name" -j "$jobs" --target install >/dev/null
}

build libsndfile "$(echo "$deps"/src/libsndfile-*/)" \
  -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
  -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=OFF -DINSTALL_MANPAGES=OFF

build libsoxr "$(echo "$deps"/src/libsoxr-*/)" \
  -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF \
  -DLIB_INSTALL_DIR="$prefix/lib" -DINCLUDE_INSTALL_DIR="$prefix/include" -DDOC_INSTALL_DIR="$deps/build/soxr-doc"

build googletest /usr/src/googletest -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON

# soxr installs no pkg-config file on Windows; the host finds both libraries
# through pkg-config.
cat >"$prefix/lib/pkgconfig/soxr.pc" <<EOF
prefix=$prefix
Name: soxr
Description: The SoX Resampler library (static, cross-built)
Version: ${soxr_version%%-*}
Libs: -L\${prefix}/lib -lsoxr
Cflags: -I\${prefix}/include
EOF

copy_cli11
echo "$wanted" >"$stamp"
