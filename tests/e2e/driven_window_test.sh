#!/usr/bin/env bash
# The real program driven like a user, its window: size, title, the picture at other sizes, on
# both upload paths, after full screen and back; the overlay. Arguments: binary, repository root.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

qm_fresh
qm_launch
geometry 1024x800 || qm_fail "the window is not 1024 x 800"
[ "$(xdotool search --name '^Quillmarsh$' | wc -l)" = 1 ] || qm_fail "more than one Quillmarsh window"

# At 1280 x 1000 and 640 x 500, on both upload paths ("m", which also takes the hint away), and
# after F11 and back, the dark room shows its view at 1024 x 800, kept once the body is at rest;
# the overlay keeps its place in the lower-left corner.
xdotool key m
settle
cp now.xwd base.xwd
same() { shot; d=$( (convert now.xwd -resize 1024x800! -depth 8 miff:- | compare -metric RMSE base.xwd - null: 2>&1 || :) | sed 's/.*(\(.*\))/\1/'); gt 0.02 "$d"; }
for size in "1280 1000" "1280 1000" "640 500" "640 500"; do
  xdotool windowsize --sync "$qm_window" $size key m
  qm_poll 10 "at $size the view differs from the one at 1024 x 800" same
done
xdotool key F11
qm_poll 20 "F11 did not fill the screen" geometry 1280x1024
xdotool key F11
qm_poll 20 "F11 and back changed the view" same
xdotool key o
# The overlay spans a third of the shorter side from 10 pixels off the lower-left corner.
qm_poll 10 "no overlay in the lower-left corner at 640 x 500" eval 'shot; [ "$(count now.xwd 255,100,100 172x116+8+376)" -gt 1000 ]'
xdotool key o windowsize --sync "$qm_window" 1024 800

# At strength 0 no overlay colour shows; "o" shows open (white) and seen (pink) dots in the
# lower-left corner only, and a second "o" takes them away. The crosshair's centre is left out:
# it shows the selected material, the wall, white.
colours() {
  shot o.xwd && convert o.xwd -fill black -draw 'rectangle 502,390 522,410' o.xwd
  open=$(count o.xwd 255,255,255) seen=$(count o.xwd 255,100,100); [ "$open" "$@" ]
}
settle
colours = 0 && [ "$seen" = 0 ] || qm_fail "overlay colours before \"o\""
xdotool key o
qm_poll 20 "no overlay after \"o\"" colours -gt 5000
[ "$seen" -gt 1000 ] && [ "$(count o.xwd 255,255,255 272x184+8+608)" = "$open" ] &&
  [ "$(count o.xwd 255,100,100 272x184+8+608)" = "$seen" ] || qm_fail "overlay: $open open, $seen seen, or outside its corner"
xdotool key o
qm_poll 20 "the overlay stays after the second \"o\"" colours = 0
qm_quit
[ ! -s stderr.txt ] && [ ! -e shaderdebug.txt ] || qm_fail "standard error or shaderdebug.txt on a clean run"

# A window wider than the driver draws (llvmpipe: 16384 pixels): the picture stops at the largest
# it draws whole, with no GL error (Mesa's debug output reports each on standard error).
qm_fresh
export MESA_DEBUG=1
qm_launch --stats -geometry 17000x100
unset MESA_DEBUG
qm_poll 30 "no status line in a window 17000 pixels wide" grep -q ' fps ' stdout.txt
qm_quit
[ ! -s stderr.txt ] || qm_fail "a window 17000 pixels wide: $(head -c 300 stderr.txt)"
