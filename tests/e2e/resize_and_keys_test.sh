#!/usr/bin/env bash
# The window shrunk to one pixel high (X allows no height 0; a reshape to height 0 is a GL test)
# and one pixel wide, then restored; then 100 "0" key presses sent with no delay, faster than
# frames: the program keeps running, prints 100 "fade value:" lines ending at 5 (100 x 0.05) and
# ends with status 0 on Escape. Arguments: the quillmarsh binary, the repository root.
set -euo pipefail
bin=$1
root=$2
source "$(dirname "$0")/e2e_lib.sh"

fresh_run_dir
start_program
for size in "1024 1" "1 1" "1024 800"; do
  timeout 10 xdotool windowsize --sync "$window" $size 2>/dev/null || xdotool windowsize "$window" $size
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$WIDTH $HEIGHT" = "$size" ] || fail "the window is ${WIDTH}x${HEIGHT}, asked for $size"
  kill -0 "$pid" 2>/dev/null || fail "the program ended at $size"
  echo "resized to $size, still running"
done

xdotool windowfocus --sync "$window"
keys=()
for _ in $(seq 100); do keys+=(0); done
xdotool key --delay 0 "${keys[@]}"
for _ in $(seq 60); do
  [ "$(grep -c '^fade value:' stdout.txt)" -ge 100 ] && break
  sleep 0.5
done
count=$(grep -c '^fade value:' stdout.txt || true)
[ "$count" = 100 ] || fail "$count \"fade value:\" lines, expected 100"
last=$(grep '^fade value:' stdout.txt | tail -n 1 | cut -d: -f2)
awk -v v="$last" 'BEGIN { exit !(v > 4.999 && v < 5.001) }' || fail "last value $last, expected 5"
# Each line is the one before plus 0.05: no press lost, none counted twice.
grep '^fade value:' stdout.txt | cut -d: -f2 |
  awk 'NR > 1 { d = $1 - prev; if (d < 0.0499 || d > 0.0501) { print "step " NR ": " d; bad = 1 } }
       { prev = $1 } END { exit bad }' || fail "the values do not rise by 0.05 each"
kill -0 "$pid" 2>/dev/null || fail "the program ended after the key burst"
escape_and_expect_zero
echo "resize and key burst ok: last fade value $last"
