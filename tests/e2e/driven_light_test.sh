#!/usr/bin/env bash
# The real program driven like a user: light keys, turning, walking, the status line, a screenshot,
# Escape, then all its output. Arguments: the quillmarsh binary, the repository root (for media/).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Drawn with its light uploaded as slices ("m", which also takes the hint away).
qm_fresh
qm_launch
xdotool key m
settle
dark=$(mean now.xwd)
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
echo "driven light run ok: idle RMS $idle, walked $moved, turned $turned ($shifted px), back $back px"
