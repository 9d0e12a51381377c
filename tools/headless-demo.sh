#!/usr/bin/env bash
# Drives the program on the current (virtual) display for a few seconds, saves a screenshot of
# its window as a PNG and ends it with Escape. Arguments: the binary, the PNG path.
set -euo pipefail
bin=$1
png=$2
"$bin" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=$(timeout 60 xdotool search --sync --name '^Quillmarsh$' | head -n 1)
xdotool windowfocus --sync "$window"
# Let the room settle, then save what the window shows.
for _ in 1 2 3; do xdotool key --window "$window" --delay 200 0; done
sleep 3
import -window root -crop 1024x800+0+0 "$png"
xdotool key --window "$window" Escape
wait "$pid" && status=0 || status=$?
trap - EXIT
echo "quillmarsh: exited with status $status; screenshot saved to $png"
