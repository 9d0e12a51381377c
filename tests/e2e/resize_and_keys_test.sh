#!/usr/bin/env bash
# The window shrunk to one pixel high (X allows no height 0; a reshape to height 0 is a GL test)
# and one pixel wide, then restored; then 100 "0" key presses sent with no delay, faster than
# frames: the program keeps running, prints 100 "fade value:" lines rising by 0.05 to 5 and
# ends with status 0 on Escape. Arguments: the quillmarsh binary, the repository root.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start
for size in "1024 1" "1 1" "1024 800"; do
  timeout 10 xdotool windowsize --sync "$qm_window" $size 2>/dev/null || xdotool windowsize "$qm_window" $size
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$qm_window")"
  [ "$WIDTH $HEIGHT" = "$size" ] || qm_fail "the window is ${WIDTH}x${HEIGHT}, asked for $size"
  qm_alive
  echo "resized to $size, still running"
done

xdotool windowfocus --sync "$qm_window"
keys=()
for _ in $(seq 100); do keys+=(0); done
xdotool key --delay 0 "${keys[@]}"
qm_wait_fade 100
sleep 1
[ "$(qm_fade_lines | wc -l)" = 100 ] || qm_fail "$(qm_fade_lines | wc -l) \"fade value:\" lines, expected 100"
last=$(qm_fade_lines | tail -n 1 | cut -d: -f2)
awk -v v="$last" 'BEGIN { exit !(v > 4.999 && v < 5.001) }' || qm_fail "last value $last, expected 5"
# Each line is the one before plus 0.05: no press lost, none counted twice.
qm_fade_lines | cut -d: -f2 |
  awk 'NR > 1 { d = $1 - prev; if (d < 0.0499 || d > 0.0501) { print "step " NR ": " d; bad = 1 } }
       { prev = $1 } END { exit bad }' || qm_fail "the values do not rise by 0.05 each"
qm_quit
echo "resize and key burst ok: last fade value $last"
