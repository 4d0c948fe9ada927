#!/bin/sh
# CMake's cross-compiling emulator for the Windows builds: runs a Windows
# program under wine and returns its exit code.
#
#   run-under-wine.sh <wine prefix> <win32|win64> <program> [arguments...]
#
# The prefix lives in the build tree. The first run creates it, without the
# dialogs that offer to install .NET or a browser engine. A wine session (the
# server and the system's own processes) is kept for 30 seconds after its last
# program, so that each test program does not pay for its start; the session
# is started apart from any test's output, which it would otherwise hold open.
# On a display that includes the desktop process, which the first program to
# open a window would start otherwise (rundll32 without arguments opens a
# hidden window and ends).
# Runs that start together wait for one another here; nothing that outlives
# this script may inherit the lock.
set -eu
prefix=$(realpath -m "$1")
arch=$2
shift 2

export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.tolvar-ready" ]; then
    wineboot --init </dev/null >/dev/null 2>&1 9>&-
    # A crashing program gets its backtrace printed, never a dialog that waits.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1 9>&-
    wineserver --wait 9>&-
    touch "$prefix/.tolvar-ready"
  fi
  # Succeeds only when no server was running for this prefix.
  if wineserver -p30 </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
    if [ -n "${DISPLAY:-}" ]; then
      wine rundll32.exe </dev/null >/dev/null 2>&1 9>&-
    fi
  fi
) 9>"$prefix.lock"

exec wine "$@"
