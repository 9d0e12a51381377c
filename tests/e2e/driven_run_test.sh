#!/usr/bin/env bash
# One run of the real program, driven like a user: the start-up output, the window, the overlay,
# the light keys, walking and turning, then Escape. Screens are compared as grey means and RMS
# differences (0..1). Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
shot() { qm_alive; xwd -id "$qm_window" -silent | convert xwd:- "$1"; }
mean() { convert "$1" -colorspace Gray -format '%[fx:mean]' info:; }
rms() { (compare -metric RMSE "$1" "$2" null: 2>&1 || :) | sed 's/.*(\(.*\))/\1/'; }
gt() { awk "BEGIN { exit !($1 > $2) }"; }
# count FILE R,G,B [CROP]: pixels of exactly this colour.
count() { convert "$1" ${3:+-crop $3 +repage} -fill black +opaque "rgb($2)" -fill white -opaque "rgb($2)" -format '%[fx:round(mean*w*h)]' info:; }
fades() { grep -c '^fade value:' stdout.txt || true; }
# settle: shots until two in a row differ by less than 0.01, the last left in now.ppm.
settle() { shot now.ppm; until cp now.ppm was.ppm && sleep 0.3 && shot now.ppm && gt 0.01 "$(rms was.ppm now.ppm)"; do qm_alive; done; }

qm_fresh
qm_launch
xdotool getwindowgeometry "$qm_window" | grep -q 'Geometry: 1024x800' || qm_fail "the window is not 1024 x 800"
[ "$(xdotool search --name '^Quillmarsh$' | wc -l)" = 1 ] || qm_fail "more than one Quillmarsh window"

# At strength 0 the room shows no overlay colour; "o" shows open (white) and seen (pink) dots in
# the lower-left corner only, and a second "o" takes them away.
settle
[ "$(count now.ppm 255,255,255)$(count now.ppm 255,100,100)" = 00 ] || qm_fail "overlay colours before \"o\""
dark=$(mean now.ppm)
overlay() { shot o.ppm; open=$(count o.ppm 255,255,255) seen=$(count o.ppm 255,100,100); [ "$open" "$@" ]; }
xdotool key o
qm_poll 20 "no overlay after \"o\"" overlay -gt 5000
[ "$seen" -gt 1000 ] || qm_fail "$seen seen-column pixels"
[ "$(count o.ppm 255,255,255 370x320+30+460)$(count o.ppm 255,100,100 370x320+30+460)" = "$open$seen" ] ||
  qm_fail "overlay dots outside the lower-left corner"
xdotool key o
qm_poll 20 "the overlay stays after the second \"o\"" overlay = 0

# Four quick "0" light the room (each press counted once); the wandering light keeps changing the
# picture a little, so a change counts when it is well above that.
xdotool key --delay 0 0 0 0 0
lit() { shot now.ppm; gt "$(mean now.ppm)" "$dark + 0.03"; }
qm_poll 30 "not brighter after four \"0\" (mean $dark)" lit
sleep 1
settle
idle=$(rms was.ppm now.ppm)
cp now.ppm start.ppm

# Held "W" and a mouse move without a button move nothing; held "w" walks.
hold() { cp now.ppm start.ppm; xdotool keydown "$1" sleep 1 keyup "$1"; settle; moved=$(rms start.ppm now.ppm); }
xdotool mousemove 300 400
hold W
gt "$idle * 3 + 0.02" "$moved" || qm_fail "W or a plain mouse move changed the view (RMS $moved, idle $idle)"
hold w
gt "$moved" "$idle * 4 + 0.04" || qm_fail "holding w did not change the view (RMS $moved, idle $idle)"

# A left drag to the right turns the view right, so the room slides left; dragging back restores
# it. Motion no frame has applied is dropped on release: let go once the view rests.
drag() {
  xdotool mousemove "$1" 400 mousedown 1
  for x in $(seq "$1" $((($2 - $1) / 5)) "$2"); do xdotool mousemove "$x" 400 sleep 0.1; done
  settle
  xdotool mouseup 1
  settle
}
# hshift A B: columns (negative: left) the band around the horizon moved from A to B, in 4-pixel steps.
hshift() {
  for f in "$1" "$2"; do convert "$f" -crop 1016x120+0+240 -colorspace Gray -scale 254x1! -depth 8 gray:- | od -An -tu1 -v; done |
    awk '{ for (i = 1; i <= NF; ++i) v[n++] = $i }
      END { m = n / 2; for (k = -m / 2; k <= m / 2; ++k) { s = c = 0
          for (i = 0; i < m; ++i) if (i + k >= 0 && i + k < m) { d = v[i + k] - v[m + i]; s += d * d; ++c }
          if (c && (best == "" || s / c < best)) { best = s / c; shift = -4 * k } }
        print shift }'
}
cp now.ppm start.ppm
drag 300 400
turned=$(rms start.ppm now.ppm) shifted=$(hshift start.ppm now.ppm)
gt "$turned" "$idle * 4 + 0.04" && [ "$shifted" -le -100 ] || qm_fail "a drag right: RMS $turned, moved $shifted px"
drag 400 300
back=$(rms start.ppm now.ppm)
gt "$turned / 4" "$back" || qm_fail "dragging back did not restore the view (RMS $back, turned $turned)"
echo "idle RMS $idle; turned $turned ($shifted px), back $back"

# "9" drops the strength to 0.001 and the room fades; "0" then adds 0.05 to that.
lit=$(mean now.ppm)
xdotool key 9
faded() { shot now.ppm; gt "($dark + $lit) / 2" "$(mean now.ppm)"; }
qm_poll 30 "no fading after \"9\" (mean $lit, dark $dark)" faded
xdotool key 0
six() { [ "$(fades)" -ge 6 ]; }
qm_poll 10 "no sixth fade value line" six
qm_quit

# Standard output: the capability report (lines a driver may print, in this order, each at most
# once, the framebuffer object among them), then exactly the targets, the world and the fades.
report="GL_NV_framebuffer_multisample_coverage support
GL_EXT_framebuffer_multisample support
GL_NV_framebuffer_multisample_coverage support!
GL_NV_texture_rectangle support
GL_EXT_framebuffer_object support
GL_EXT_renderbuffer_object support
GL_ARB_vertex_buffer_object support
No GL_EXT_pixel_buffer_object support
No GL_ARB_pixel_buffer_object support
Driver does not support OpenGL Shading Language
Unable to load extensions GL_EXT_framebuffer_object or GL_EXT_frambuffer_multisample "
rest="creating frame and renderbuffer
creating FBO 
creating FBO 
TESSARY ROOM filename  media/textures/maps/testmap.png
loaded image dimensions h: 40 w: 60
size of occlusion map:60,40
fade value:0.05
fade value:0.1
fade value:0.15
fade value:0.2
fade value:0.001
fade value:0.051"
sed '/^creating frame and renderbuffer$/,$d' stdout.txt >head.txt
grep -qx 'GL_EXT_framebuffer_object support' head.txt &&
  awk 'NR == FNR { r[++n] = $0; next } { while (++k <= n && r[k] != $0) {} } k > n { exit 1 }' - head.txt <<<"$report" ||
  qm_fail "the capability report has lines out of place"
[ "$(sed -n '/^creating frame and renderbuffer$/,$p' stdout.txt)" = "$rest" ] || qm_fail "the lines after the report differ"
[ ! -s stderr.txt ] && [ ! -e shaderdebug.txt ] || qm_fail "standard error or shaderdebug.txt on a clean run"
echo "driven run ok"
