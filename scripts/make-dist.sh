#!/usr/bin/env bash
# Packs one plug-in binary for users: the binary (without debugging symbols),
# its IR library folder "tolvar" beside it, and a short text on where to put
# them, in a folder named after the archive.
#
#   scripts/make-dist.sh <archive (.zip or .tar.gz)> <plug-in binary> <IR folder> <strip program>
set -euo pipefail

archive=$(realpath -m "$1")
binary=$2
ir_folder=$3
strip_program=$4

if [ ! -f "$binary" ]; then
  echo "make-dist: no plug-in binary at $binary" >&2
  exit 1
fi
if [ ! -d "$ir_folder" ] || [ -z "$(ls -A "$ir_folder")" ]; then
  echo "make-dist: no IR library at $ir_folder (build the native tree's IR library, or pass IR_FOLDER=...)" >&2
  exit 1
fi

mkdir -p "$(dirname "$archive")"
name=$(basename "$archive")
name=${name%.zip}
name=${name%.tar.gz}
file=$(basename "$binary")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
"$strip_program" --strip-unneeded -o "$stage/$name/$file" "$binary"
cp -r "$ir_folder" "$stage/$name/tolvar"

case "$file" in
  *.dll)
    bits=32
    case "$name" in *win64*) bits=64 ;; esac
    cat >"$stage/$name/README.txt" <<EOF
Tolvar: a console-style equaliser built from impulse responses (VST 2).

Copy $file and the folder "tolvar" into the folder where your host looks for
VST plug-ins (for example C:\\Program Files\\VSTPlugins), side by side: the
plug-in reads its impulse responses from the folder "tolvar" next to its own
file. Rename the file if you like, but keep the folder's name.

This archive holds the $bits-bit plug-in; it loads only in a $bits-bit host.
The plug-in needs a host that offers the media-source services it reads its
files through; in any other host it does not start.
EOF
    sed -i 's/$/\r/' "$stage/$name/README.txt"
    (cd "$stage" && cmake -E tar cf "$archive" --format=zip "$name")
    ;;
  *)
    cat >"$stage/$name/README.txt" <<EOF
Tolvar: a console-style equaliser built from impulse responses (VST 2).

Copy $file and the folder "tolvar" into a folder that your host scans for
VST plug-ins (for example ~/.vst), side by side: the plug-in reads its impulse
responses from the folder "tolvar" next to its own file.

The plug-in needs a host that offers the media-source services it reads its
files through; in any other host it does not start.
EOF
    (cd "$stage" && cmake -E tar czf "$archive" "$name")
    ;;
esac
echo "Wrote $archive"
