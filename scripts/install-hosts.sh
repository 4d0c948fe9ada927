#!/usr/bin/env bash
# Installs the workstations that the host tests (tests/hosts/) run Tolvar in,
# as Debian packages them: Ardour 7 with its Lua session tool, Qtractor with
# its plug-in scanner, LMMS 1.2 for i386 with its VST server (Windows VST 2
# through wine), a virtual X display, and Debian's third-party VST 2 plug-ins.
# Does nothing when they are all present. Needs the i386 architecture, which
# scripts/install-deps.sh adds.
set -euo pipefail

packages=(
  ardour qtractor lmms:i386 lmms-vst-server:i386 dpf-plugins-vst
  wine32:i386 xvfb xauth
)

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
echo "Installing the workstations for the host tests: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
