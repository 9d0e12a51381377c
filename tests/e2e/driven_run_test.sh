#!/usr/bin/env bash
# One run of the real program driven like a user: window sizes and full screen, overlay, light
# keys, turning, walking, status line, screenshot, Escape, then all its output; then --help and a
# map of one's own in a window of the size -geometry gives. Screens compare by mean grey and RMS
# difference (both 0..1).
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
shot() { xwd -id "$qm_window" -silent >"${1:-now.xwd}"; }
mean() { convert "$1" -colorspace Gray -format '%[fx:mean]' info:; }
rms() { (compare -metric RMSE "$1" "$2" null: 2>&1 || :) | sed 's/.*(\(.*\))/\1/'; }
gt() { awk "BEGIN { exit !($1 > $2) }"; }
# count FILE R,G,B [CROP]: the number of pixels of exactly this colour.
count() { convert "$1" ${3:+-crop $3 +repage} -fill black +opaque "rgb($2)" -fill white -opaque "rgb($2)" -format '%[fx:round(mean*w*h)]' info:; }
# settle: screenshots until four in a row differ by less than 0.01 each (on a busy machine two
# shots may fall within one frame); the last is now.xwd, its change idle.
quiet() {
  cp now.xwd was.xwd && sleep 0.1 && shot
  if cmp -s was.xwd now.xwd; then idle=0; else idle=$(rms was.xwd now.xwd); fi
  gt 0.01 "$idle"
}
calm() { if quiet; then calm=$((calm + 1)); else calm=0; fi; [ "$calm" -ge 3 ]; }
settle() { shot; calm=0; qm_poll 60 "the picture kept changing" calm; }

qm_fresh
qm_launch
xdotool getwindowgeometry "$qm_window" | grep -q 'Geometry: 1024x800' || qm_fail "the window is not 1024 x 800"
[ "$(xdotool search --name '^Quillmarsh$' | wc -l)" = 1 ] || qm_fail "more than one Quillmarsh window"

# The picture follows the window: at 1280 x 1000 and 640 x 500, on both upload paths ("m"), and
# after F11 and back, the (still dark) room shows the view it shows at 1024 x 800; the overlay
# keeps its place in the lower-left corner. The body sinks to the floor in its first frames, so
# the picture to keep is the one at rest. Until the first key the room shows a hint line; "m"
# (the picture looks the same) takes it away.
xdotool key m
settle
cp now.xwd base.xwd
same() { shot; convert now.xwd -resize 1024x800! now.png; d=$(rms base.xwd now.png); gt 0.02 "$d"; }
for size in "1280 1000" "1280 1000" "640 500" "640 500"; do
  xdotool windowsize --sync "$qm_window" $size key m
  qm_poll 10 "at $size the view differs from the one at 1024 x 800" same
done
geometry() { xdotool getwindowgeometry "$qm_window" | grep -q "Geometry: $1"; }
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
dark=$(mean now.xwd)
colours = 0 && [ "$seen" = 0 ] || qm_fail "overlay colours before \"o\""
xdotool key o
qm_poll 20 "no overlay after \"o\"" colours -gt 5000
[ "$seen" -gt 1000 ] && [ "$(count o.xwd 255,255,255 272x184+8+608)" = "$open" ] &&
  [ "$(count o.xwd 255,100,100 272x184+8+608)" = "$seen" ] || qm_fail "overlay: $open open, $seen seen, or outside its corner"
xdotool key o
qm_poll 20 "the overlay stays after the second \"o\"" colours = 0

# Four quick "0" light the room. The wandering light keeps changing it a little (idle), so a
# change counts when it is well above that.
xdotool key --delay 0 0 0 0 0
lit() { shot; gt "$(mean now.xwd)" "$dark + 0.03"; }
qm_poll 30 "not brighter after four \"0\" (mean grey $dark)" lit
settle
# A left drag to the right turns the view right, so the room slides left (hshift, in pixels);
# dragging back restores it (the light may still be rising). Motion no frame has applied is
# dropped on release: let go once the view has turned (drag FROM TO TEST...).
drag() {
  xdotool mousemove "$1" 400 mousedown 1 mousemove "$2" 400
  qm_poll 30 "the drag from $1 to $2 did not turn the view as expected" eval "shot; ${*:3}"
  xdotool mouseup 1 && settle
}
hshift() {
  for f in "$@"; do convert "$f" -crop 1016x120+0+240 -colorspace Gray -scale 254x1! -depth 8 gray:- | od -An -tu1 -v; done |
    awk '{ for (i = 1; i <= NF; ++i) v[n++] = $i } END { m = n / 2; for (k = -m / 2; k <= m / 2; ++k) { s = c = 0
      for (i = 0; i < m; ++i) if (i + k >= 0 && i + k < m) { d = v[i + k] - v[m + i]; s += d * d; ++c }
      if (best == "" || s / c < best) { best = s / c; shift = -4 * k } } print shift }'
}
cp now.xwd start.xwd
drag 300 400 '[ "$(hshift start.xwd now.xwd)" -le -100 ]'
turned=$(rms start.xwd now.xwd) shifted=$(hshift start.xwd now.xwd)
gt "$turned" "$idle * 4 + 0.04" && [ "$shifted" -le -100 ] || qm_fail "drag right: RMS $turned, moved $shifted px"
drag 400 300 'back=$(hshift start.xwd now.xwd) && [ "${back#-}" -le 8 ]'
back=$(hshift start.xwd now.xwd)
[ "${back#-}" -le 8 ] || qm_fail "dragging back left the room moved by $back px"

# Held "W" and a mouse move with no button (mouse look is on since the drag) move nothing; held
# "w" walks: it is let go once the view has changed.
walked() { shot; moved=$(rms start.xwd now.xwd); gt "$moved" "$idle * 4 + 0.04"; }
cp now.xwd start.xwd
xdotool mousemove 600 300 keydown W sleep 0.3 keyup W
settle
moved=$(rms start.xwd now.xwd)
gt "$idle * 3 + 0.02" "$moved" || qm_fail "W or a plain mouse move changed the view (RMS $moved)"
xdotool keydown w
qm_poll 30 "holding w did not change the view (RMS $moved)" walked
xdotool keyup w
settle
walked || qm_fail "after w the view is back where it was (RMS $moved)"

# "9" drops the strength to 0.001 and the room fades; "0" then adds 0.05 to that.
lit=$(mean now.xwd)
xdotool key 9
faded() { shot; gt "($dark + $lit) / 2" "$(mean now.xwd)"; }
qm_poll 30 "no fading after \"9\" (mean grey $lit, dark $dark)" faded
xdotool key 0

# "h" shows the status line across the top; "p" saves the window as a PNG of its size.
white() { shot; [ "$(count now.xwd 255,255,255 1024x22+0+0)" "$@" ]; }
white -lt 100 || qm_fail "white in the status line's place before \"h\""
xdotool key h
qm_poll 10 "no status line after \"h\"" white -gt 300
xdotool key h p
qm_poll 10 "no screenshot after \"p\"" grep -qx 'screenshot: screenshots/quillmarsh-001.png' stdout.txt
[ "$(identify -format %wx%h screenshots/quillmarsh-001.png)" = 1024x800 ] || qm_fail "the screenshot is not 1024 x 800"
qm_quit

# The world's lines first (the room is built before the window opens); then the capability
# report: lines a driver may print, each at most once and in this order, the framebuffer object
# among them; then exactly the targets and the fade values.
world=("TESSARY ROOM filename  media/textures/maps/testmap.png" "loaded image dimensions h: 40 w: 60"
  "size of occlusion map:60,40")
report=("GL_NV_framebuffer_multisample_coverage support" "GL_EXT_framebuffer_multisample support"
  "GL_NV_framebuffer_multisample_coverage support!" "GL_NV_texture_rectangle support" "GL_EXT_framebuffer_object support"
  "GL_EXT_renderbuffer_object support" "GL_ARB_vertex_buffer_object support" "No GL_EXT_pixel_buffer_object support"
  "No GL_ARB_pixel_buffer_object support" "Driver does not support OpenGL Shading Language"
  "Unable to load extensions GL_EXT_framebuffer_object or GL_EXT_frambuffer_multisample ")
rest=("creating frame and renderbuffer" "creating FBO " "creating FBO ")
[ "$(head -n ${#world[@]} stdout.txt)" = "$(printf '%s\n' "${world[@]}")" ] || qm_fail "the world's lines do not come first"
sed -e "1,${#world[@]}d" -e '/^creating frame and renderbuffer$/,$d' stdout.txt >report.txt
grep -qx 'GL_EXT_framebuffer_object support' report.txt && printf '%s\n' "${report[@]}" |
  awk 'NR == FNR { r[++n] = $0; next } { while (++k <= n && r[k] != $0) {} } k > n { exit 1 }' - report.txt ||
  qm_fail "the capability report has lines out of place"
[ "$(sed -n '/^creating frame and renderbuffer$/,$p' stdout.txt)" = "$(printf '%s\n' "${rest[@]}"; printf 'fade value:%s\n' 0.05 0.1 0.15 0.2 0.001 0.051; echo "screenshot: screenshots/quillmarsh-001.png")" ] ||
  qm_fail "the lines after the report differ"
[ ! -s stderr.txt ] && [ ! -e shaderdebug.txt ] || qm_fail "standard error or shaderdebug.txt on a clean run"

# Changing the room: the hint line until the first key, the key card on F1, a white light put in
# the column of the floor ahead (Shift+right click after a drag: the view stays), saved as a map that
# differs from the shipped one by exactly that column in that colour; undone, saved again: the
# same map.
qm_fresh
qm_launch
hint() { shot; [ "$(count now.xwd 255,255,255 1024x100+0+700)" "$@" ]; }
qm_poll 10 "no hint line at the start" hint -gt 100
xdotool key F1
qm_poll 10 "no hint gone or key card after F1" eval 'hint = 0 && [ "$(count now.xwd 255,255,255 1024x400+0+200)" -gt 1000 ]'
xdotool key F1 3
qm_poll 10 "the key card stays after a second F1" eval 'shot; [ "$(count now.xwd 255,255,255)" = 0 ]'
# A held key acts once whatever the auto-repeat; "8" takes the strength back to 0.
xdotool keydown 0 sleep 1.2 keyup 0
qm_poll 10 "no fade value after a held 0" grep -qx 'fade value:0.05' stdout.txt
xdotool sleep 0.3 key 8
qm_poll 10 "no fade value after 8" grep -qx 'fade value:0' stdout.txt
[ "$(grep '^fade value:' stdout.txt | tr '\n' ' ')" = "fade value:0.05 fade value:0 " ] || qm_fail "a held 0 or 8: $(grep fade stdout.txt)"
xdotool mousemove 512 300 mousedown 1 mousemove 512 400 && settle && xdotool mouseup 1 && settle
cp now.xwd dragged.xwd
xdotool mousemove 800 700 keydown shift click 3 keyup shift && settle
kept=$(rms dragged.xwd now.xwd)
gt 0.02 "$kept" && [ "$(hshift dragged.xwd now.xwd)" = 0 ] || qm_fail "the right click after the drag moved the view (RMS $kept)"
map=media/textures/maps/testmap.png
xdotool key ctrl+s
qm_poll 10 "no map saved after Ctrl+S" grep -qx 'map saved: maps/room-001.png' stdout.txt
differs=$(compare -metric AE maps/room-001.png "$map" null: 2>&1 || :)
[ "$differs" = 1 ] && [ "$(count maps/room-001.png 0,0,255)" = "$(($(count "$map" 0,0,255) + 1))" ] ||
  qm_fail "the saved map differs from the shipped one in $differs pixels, not one white light"
xdotool key ctrl+z ctrl+s
qm_poll 10 "no second map after Ctrl+Z, Ctrl+S" grep -qx 'map saved: maps/room-002.png' stdout.txt
[ "$(compare -metric AE maps/room-002.png "$map" null: 2>&1 || :)" = 0 ] || qm_fail "after the undo the saved map is not the shipped one"
qm_quit

"$qm_bin" --help | grep -q '^Usage: quillmarsh \[--height N\] \[--stats\] \[MAP\]' || qm_fail "no usage from --help"
convert -size 9x7 xc:white -fill black -draw 'point 4,3' PNG24:own.png
# The toolkit's -geometry goes to the window, its value taken for no map.
qm_launch -geometry 320x240 --height 12 own.png
geometry 320x240 || qm_fail "-geometry 320x240 gave $(xdotool getwindowgeometry "$qm_window" | grep Geometry)"
qm_quit
grep -qx 'loaded image dimensions h: 7 w: 9' stdout.txt || qm_fail "the map argument was not built"
[ "$(cat stderr.txt)" = 'quillmarsh: map "own.png" has no start marker; starting in column (4, 2), the open one nearest its centre' ] ||
  qm_fail "no line on the missing start marker"
echo "driven run ok: idle RMS $idle, walked $moved, turned $turned ($shifted px), back $back px"
