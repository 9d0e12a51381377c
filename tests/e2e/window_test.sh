#!/usr/bin/env bash
# The real binary opens one 1024 x 800 window titled "Quillmarsh" and keeps running.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
bin=$1
root=$2
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp -r "$root/media" "$work/media"
cd "$work"
"$bin" >stdout.txt 2>stderr.txt &
pid=$!

window=$(timeout 60 xdotool search --sync --name '^Quillmarsh$' | head -n 1)
[ -n "$window" ] || { echo "no window titled Quillmarsh"; cat stdout.txt stderr.txt; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window: ${WIDTH}x${HEIGHT}"
[ "$WIDTH" = 1024 ] && [ "$HEIGHT" = 800 ] || { echo "window is ${WIDTH}x${HEIGHT}, expected 1024x800"; exit 1; }
sleep 1
kill -0 "$pid" || { echo "the program ended early"; cat stdout.txt stderr.txt; exit 1; }
echo "window ok"
