#!/usr/bin/env bash
# "o" shows the top-down visibility map in the lower-left corner of the window, one dot per map
# column in the map's colours (open white, wall dark grey, seen open pink); "o" again hides it.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start
shot=$qm_work/overlay.ppm
open() { qm_shot "$shot"; open=$(qm_count "$shot" 255 255 255); [ "$open" "$@" ]; }
# inside BOX: the box "WxH+X+Y" lies within the lower-left corner x 30..400, y 460..780.
inside() {
  local w h x y
  IFS='x+' read -r w h x y <<<"$1"
  [ "$x" -ge 30 ] && [ $((x + w)) -le 400 ] && [ "$y" -ge 460 ] && [ $((y + h)) -le 780 ]
}

# Strength 0: the room shows only ambient light, so open and seen colours can only come from the
# overlay; a few of the room's pixels may have the wall colour.
qm_settle
before="$(qm_count "$qm_work/settled.ppm" 255 255 255) $(qm_count "$qm_work/settled.ppm" 255 100 100)"
[ "$before" = "0 0" ] || qm_fail "overlay colours before \"o\": $before"
stray=$(qm_count "$qm_work/settled.ppm" 50 50 50)
[ "$stray" -lt 100 ] || qm_fail "$stray wall-coloured pixels before \"o\""

xdotool key o
qm_poll 30 "no overlay 30 s after \"o\"" open -gt 5000
wall=$(qm_count "$shot" 50 50 50)
seen=$(qm_count "$shot" 255 100 100)
box=$(qm_bbox "$shot" 255 255 255)
echo "overlay: $open open, $wall wall, $seen seen pixels; open pixels within $box"
[ "$wall" -gt 500 ] || qm_fail "too few wall pixels: $wall"
[ "$seen" -gt 1000 ] || qm_fail "too few seen pixels: $seen"
# 60 x 40 columns over an orthographic range of -10 .. 180 by -10 .. 120 on 1024 x 800 pixels:
# the dots cover about x 50 .. 376 and y 494 .. 743 (y down) of the window.
inside "$box" || qm_fail "the overlay is not in the lower-left corner: $box"
IFS='x+' read -r bw bh _ _ <<<"$box"
[ "$bw" -ge 250 ] && [ "$bh" -ge 180 ] || qm_fail "the overlay is too small: $box"
corner=$(qm_count "$shot" 50 50 50 370x320+30+460)
[ $((wall - corner)) -le "$stray" ] || qm_fail "wall dots outside the overlay: $((wall - corner)) pixels"

xdotool key o
qm_poll 30 "the overlay stays after the second \"o\"" open = 0
qm_quit
echo "overlay ok"
