#!/usr/bin/env bash
# With the shipped map the program prints its three start-up lines, in order, and keeps running.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
bin=$1
root=$2
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp -r "$root/media" "$work/media"
cd "$work"
"$bin" >stdout.txt 2>stderr.txt &
pid=$!

timeout 60 xdotool search --sync --name '^Quillmarsh$' >/dev/null ||
  { echo "no window titled Quillmarsh"; cat stdout.txt stderr.txt; exit 1; }
sleep 1
kill -0 "$pid" || { echo "the program ended early"; cat stdout.txt stderr.txt; exit 1; }

expected=$'TESSARY ROOM filename  media/textures/maps/testmap.png\nloaded image dimensions h: 40 w: 60\nsize of occlusion map:60,40'
first=$(grep -n -m1 -x 'TESSARY ROOM filename  media/textures/maps/testmap.png' stdout.txt | cut -d: -f1 || true)
[ -n "$first" ] || { echo "no TESSARY ROOM line"; cat stdout.txt; exit 1; }
actual=$(tail -n "+$first" stdout.txt | head -n 3)
[ "$actual" = "$expected" ] || { echo "start-up lines differ:"; cat stdout.txt; exit 1; }
[ ! -s stderr.txt ] || { echo "unexpected standard error:"; cat stderr.txt; exit 1; }
echo "start-up lines ok"
