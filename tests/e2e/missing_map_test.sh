#!/usr/bin/env bash
# Without its map the program ends with status 1 and one line on standard error naming the file.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
bin=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/media" "$work/media"
rm "$work/media/textures/maps/testmap.png"
cd "$work"
status=0
timeout 60 "$bin" >stdout.txt 2>stderr.txt || status=$?
[ "$status" = 1 ] || { echo "exit status $status, expected 1"; cat stdout.txt stderr.txt; exit 1; }
[ "$(wc -l <stderr.txt)" = 1 ] || { echo "expected one line on standard error:"; cat stderr.txt; exit 1; }
grep -q 'media/textures/maps/testmap\.png' stderr.txt ||
  { echo "the message does not name the map:"; cat stderr.txt; exit 1; }
grep -qx 'TESSARY ROOM filename  media/textures/maps/testmap.png' stdout.txt ||
  { echo "no TESSARY ROOM line:"; cat stdout.txt; exit 1; }
echo "missing map refused: $(cat stderr.txt)"
