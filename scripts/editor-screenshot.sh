#!/bin/sh
# Takes a picture of the editor as a host shows it: runs the Windows program
# tolvar-editor-snapshot (under wine, on the X display in DISPLAY) and, once it
# reports the editor painted, grabs that part of the screen with ImageMagick's
# import.
#
#   editor-screenshot.sh <picture.png> <command that runs the program, plug-in path included...>
#
# The command is given two more arguments, the ready and done files, as wine
# sees them (drive Z: is the root of the file system).
set -eu
picture=$1
shift
if [ -z "${DISPLAY:-}" ]; then
  echo "editor-screenshot: no X display (run under xvfb-run)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'touch "$work/done"; rm -rf "$work"' EXIT

"$@" "Z:$work/ready" "Z:$work/done" &
program=$!
tries=0
until [ -s "$work/ready" ]; do
  if ! kill -0 "$program" 2>/dev/null || [ "$tries" -ge 900 ]; then
    echo "editor-screenshot: the editor never reported itself painted" >&2
    exit 1
  fi
  tries=$((tries + 1))
  sleep 0.1
done

read -r x y width height <"$work/ready"
import -window root -crop "${width}x${height}+${x}+${y}" +repage "$picture"
touch "$work/done"
wait "$program"
# A picture of one flat colour shows no editor.
colours=$(identify -format '%k' "$picture")
if [ "$colours" -lt 8 ]; then
  echo "editor-screenshot: $picture holds $colours colours: no controls drawn" >&2
  exit 1
fi
echo "editor-screenshot: wrote $picture (${width}x${height}, $colours colours)"
