#!/usr/bin/env bash
# Drives Quillmarsh on the current (virtual) display for a few seconds, as a user would: turns the
# lights up with "0", walks forward with "w", turns a little with a left-button drag, saves a
# screenshot of the window as a PNG and ends the program with Escape.
# Arguments: the quillmarsh binary, the PNG path, then the program's own arguments (a map).
# Run it from the directory that holds media/.
set -euo pipefail
bin=$1
png=$2
shift 2

say() { echo "quillmarsh demo: $*"; }

"$bin" "$@" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# The window appears once the world is built; a program that fails during set-up ends instead.
window=
for _ in $(seq 600); do
  window=$(xdotool search --name '^Quillmarsh$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  if ! kill -0 "$pid" 2>/dev/null; then
    status=0
    wait "$pid" || status=$?
    trap - EXIT
    say "the program ended during start-up with status $status (see the lines above)"
    exit "$status"
  fi
  sleep 0.1
done
[ -n "$window" ] || { say "no window titled Quillmarsh after 60 s"; exit 1; }

# No window manager here: put the window on the screen's corner and give it the keyboard.
xdotool windowmove --sync "$window" 0 0 || true
xdotool windowfocus --sync "$window"

mean_grey() {
  xwd -id "$window" -silent | convert xwd:- -colorspace Gray -format '%[fx:mean]' info:
}

say "turning the lights up (strength 0.05 per \"0\")"
for _ in 1 2 3 4 5 6 7 8; do xdotool key 0; done
# The light spreads over many simulation steps; wait until the room is lit (at most 20 s).
for _ in $(seq 40); do
  awk -v m="$(mean_grey)" 'BEGIN { exit !(m > 0.08) }' && break
  sleep 0.5
done

say "walking forward and looking around"
xdotool keydown w
sleep 1
xdotool keyup w
xdotool mousemove 600 400 mousedown 1
for x in 590 580 570 560 550 540; do
  sleep 0.1
  xdotool mousemove "$x" 400
done
sleep 1
xdotool mouseup 1
sleep 2

import -window "$window" "$png"
xdotool key Escape
for _ in $(seq 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  say "the program did not end 30 s after Escape; stopping it"
  kill "$pid"
fi
status=0
wait "$pid" || status=$?
trap - EXIT
say "the program ended with status $status"
say "screenshot saved to $png"
exit "$status"
