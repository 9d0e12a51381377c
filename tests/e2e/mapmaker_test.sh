#!/usr/bin/env bash
# The shipped map is what the map maker makes of its committed text layout, pixel for pixel,
# and the map maker refuses a layout with ragged rows or unknown cells.
# Arguments: the quillmarsh-mapmaker binary, the repository root.
set -euo pipefail
tool=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" "$root/media/textures/maps/testmap.txt" "$work/testmap.png"
differing=$(compare -metric AE "$work/testmap.png" "$root/media/textures/maps/testmap.png" null: 2>&1 || true)
[ "$differing" = 0 ] || { echo "media/textures/maps/testmap.png is out of date: $differing pixels differ"; exit 1; }

printf '#..\n#.\n' >"$work/ragged.txt"
if "$tool" "$work/ragged.txt" "$work/ragged.png" 2>"$work/err.txt"; then echo "ragged layout accepted"; exit 1; fi
grep -q 'ragged.txt:2' "$work/err.txt" || { echo "no line number:"; cat "$work/err.txt"; exit 1; }
printf '#x#\n' >"$work/unknown.txt"
if "$tool" "$work/unknown.txt" "$work/unknown.png" 2>/dev/null; then echo "unknown cell accepted"; exit 1; fi
echo "map maker ok"
