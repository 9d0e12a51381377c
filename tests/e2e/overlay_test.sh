#!/usr/bin/env bash
# "o" shows the top-down visibility map in the lower-left corner of the window, one dot per map
# column in the map's colours (open white, wall dark grey, seen open pink); "o" again hides it.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start "$1" "$2"

# At strength 0 the room shows only its dim ambient: a few of its pixels may happen to match an
# overlay colour, but thousands of them can only come from the overlay.
qm_settle
wall_before=$(qm_count "$qm_work/settled.ppm" 50 50 50)
for colour in "255 255 255" "50 50 50" "255 100 100"; do
  n=$(qm_count "$qm_work/settled.ppm" $colour)
  [ "$n" -lt 200 ] || qm_fail "$n pixels of the overlay colour ($colour) before \"o\""
done

xdotool key o
start=$SECONDS
while :; do
  qm_shot "$qm_work/overlay.ppm"
  open=$(qm_count "$qm_work/overlay.ppm" 255 255 255)
  [ "$open" -gt 5000 ] && break
  [ $((SECONDS - start)) -lt 30 ] || qm_fail "no overlay 30 s after \"o\" ($open open pixels)"
  sleep 0.5
done
wall=$(qm_count "$qm_work/overlay.ppm" 50 50 50)
seen=$(qm_count "$qm_work/overlay.ppm" 255 100 100)
box=$(qm_bbox "$qm_work/overlay.ppm" 255 255 255)
echo "overlay: $open open, $wall wall, $seen seen pixels; open pixels within $box"
[ $((wall - wall_before)) -gt 500 ] || qm_fail "too few wall pixels: $wall"
[ "$seen" -gt 1000 ] || qm_fail "too few seen pixels: $seen"
# 60 x 40 columns over an orthographic range of -10 .. 180 by -10 .. 120 on 1024 x 800 pixels:
# the dots cover about x 50 .. 376 and y 494 .. 743 (y down) of the window.
IFS='x+' read -r bw bh bx by <<<"$box"
[ "$bx" -ge 30 ] && [ $((bx + bw)) -le 400 ] && [ "$by" -ge 460 ] && [ $((by + bh)) -le 780 ] ||
  qm_fail "the overlay is not in the lower-left corner: $box"
[ "$bw" -ge 250 ] && [ "$bh" -ge 180 ] || qm_fail "the overlay is too small: $box"

xdotool key o
start=$SECONDS
while :; do
  qm_shot "$qm_work/hidden.ppm"
  open=$(qm_count "$qm_work/hidden.ppm" 255 255 255)
  [ "$open" = 0 ] && break
  [ $((SECONDS - start)) -lt 30 ] || qm_fail "the overlay stays after the second \"o\""
  sleep 0.5
done
qm_quit
echo "overlay ok"
