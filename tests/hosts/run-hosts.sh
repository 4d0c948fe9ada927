#!/usr/bin/env bash
# Tolvar in workstations that other people wrote, as Debian packages them:
# Ardour 7 (tolvar.so: scanner, a session rendered, automated and reloaded),
# Qtractor (tolvar.so: scanner) and LMMS 1.2 (the 32-bit tolvar.dll through
# wine: a project rendered). Renders are compared with `tolvar render` of the
# same input and settings. Every host runs headless, with its own home and
# configuration inside the build tree, under a time limit.
#
#   tests/hosts/run-hosts.sh BUILD_DIR WIN32_BUILD_DIR [HOST...]
#
# HOST is ardour, qtractor or lmms (all three when none is given). Needs the
# hosts (scripts/install-hosts.sh), the native build's tolvar.so, IR library,
# tolvar and tolvar-host-compare, and the Windows tree's tolvar.dll. Ends with
# "N passed, N failed"; exits non-zero when a check failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:?usage: run-hosts.sh BUILD_DIR WIN32_BUILD_DIR [HOST...]}")
win32_build=$(realpath -m "${2:?usage: run-hosts.sh BUILD_DIR WIN32_BUILD_DIR [HOST...]}")
shift 2
hosts=("$@")
[ ${#hosts[@]} -gt 0 ] || hosts=(ardour qtractor lmms)

source "$here/lib.sh"
source "$here/ardour.sh"
source "$here/qtractor.sh"
source "$here/lmms.sh"

tolvar_cli=$build/bin/tolvar
compare=$build/bin/tolvar-host-compare
work_root=$build/hosts
linux_vst=$work_root/vst-linux
win32_vst=$work_root/vst-win32

for tool in "$tolvar_cli" "$compare" "$build/plugin/tolvar.so"; do
  [ -x "$tool" ] || [ -f "$tool" ] || { echo "run-hosts: $tool is missing; build it first" >&2; exit 2; }
done

# The plug-ins installed as a user installs them: the binary and its IR
# folder side by side, in a folder of their own. Their files are older than
# any scan, as they would be: Ardour's scanner trusts its cache only when the
# cache is newer than the plug-in by whole seconds.
install_plugin() {
  local binary=$1 folder=$2
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$binary" "$folder/"
  cp -R "$build/plugin/tolvar" "$folder/tolvar"
  touch -d '1 minute ago' "$folder/$(basename "$binary")"
}

rm -rf "$work_root"
mkdir -p "$work_root"
for host in "${hosts[@]}"; do
  case $host in
    ardour)
      install_plugin "$build/plugin/tolvar.so" "$linux_vst"
      run_ardour ;;
    qtractor)
      install_plugin "$build/plugin/tolvar.so" "$linux_vst"
      run_qtractor ;;
    lmms)
      if [ -f "$win32_build/plugin/tolvar.dll" ]; then
        install_plugin "$win32_build/plugin/tolvar.dll" "$win32_vst"
        run_lmms
      else
        fail lmms-render "no 32-bit plug-in at $win32_build/plugin/tolvar.dll; build the Windows tree first"
      fi ;;
    *) echo "run-hosts: no host \"$host\"; the hosts are ardour, qtractor and lmms" >&2; exit 2 ;;
  esac
done
summary
