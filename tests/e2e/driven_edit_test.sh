#!/usr/bin/env bash
# The real program driven like a user, changing the room (hint, key card, held keys, a light saved
# in a map, undone); --help; a map of one's own in a -geometry window. Arguments: binary, root.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The hint line until the first key, the key card on F1, a white light put in the column of the
# floor ahead (Shift+right click after a drag: the view stays), saved as a map that differs from
# the shipped one by exactly that column in that colour; undone, saved again: the same map.
qm_fresh
qm_launch
hint() { shot; [ "$(count now.xwd 255,255,255 1024x100+0+700)" "$@" ]; }
qm_poll 10 "no hint line at the start" hint -gt 100
xdotool key F1
qm_poll 10 "no hint gone or key card after F1" eval 'hint = 0 && [ "$(count now.xwd 255,255,255 1024x400+0+200)" -gt 1000 ]'
xdotool key F1 3
qm_poll 10 "the key card stays after a second F1" eval 'shot; [ "$(count now.xwd 255,255,255)" = 0 ]'
# F1 held turns one page, whatever the auto-repeat.
xdotool keydown F1 sleep 1.2 keyup F1
qm_poll 10 "no key card after a held F1" eval 'shot; [ "$(count now.xwd 255,255,255 1024x400+0+200)" -gt 1000 ]'
xdotool key F1
qm_poll 10 "the key card stays after F1" eval 'shot; [ "$(count now.xwd 255,255,255)" = 0 ]'
# A held key acts once whatever the auto-repeat; "8" takes the strength back to 0.
xdotool keydown 0 sleep 1.2 keyup 0
qm_poll 10 "no fade value after a held 0" grep -qx 'fade value:0.05' stdout.txt
xdotool key 8
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

"$qm_bin" --help | grep -q '^Usage: quillmarsh \[--height N\] \[--max-fps N\] \[--stats\] \[MAP\]' || qm_fail "no usage from --help"
convert -size 9x7 xc:white -fill black -draw 'point 4,3' PNG24:own.png
# The toolkit's -geometry goes to the window, its value taken for no map; --stats prints the
# status line once a second, whether or not it is shown, at no more than qm_launch's 20 fps.
qm_launch -geometry 320x240 --height 12 --stats own.png
status='^[0-9]+\.[0-9] fps  [0-9]+\.[0-9] ms  [0-9]+ steps/s  strength 0\.000  upload cpu  cells [0-9]+  eye \(4, [0-9]+, 2\)  fill wall$'
qm_poll 20 "fewer than three status lines from --stats" eval '[ "$(grep -cE "$status" stdout.txt)" -ge 3 ]'
# The first second may make up for the slow first frames.
fast=$(grep -E "$status" stdout.txt | awk 'NR > 1 && $1 > 21')
[ -z "$fast" ] || qm_fail "faster than --max-fps 20: $fast"
geometry 320x240 || qm_fail "-geometry 320x240 gave $(xdotool getwindowgeometry "$qm_window" | grep Geometry)"
qm_quit
grep -qx 'loaded image dimensions h: 7 w: 9' stdout.txt || qm_fail "the map argument was not built"
[ "$(cat stderr.txt)" = 'quillmarsh: map "own.png" has no start marker; starting in column (4, 2), the open one nearest its centre' ] ||
  qm_fail "no line on the missing start marker"

# A geometry of a place alone keeps the program's own size, the place counted from it: here the
# lower right corner of the screen.
qm_launch -geometry -0-0
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
# The server may place the window a moment after it maps it (a slow, sanitised build).
placed() { geometry 1024x800 && xdotool getwindowgeometry "$qm_window" | grep -q "Position: $((screen_w - 1024)),$((screen_h - 800)) "; }
qm_poll 10 "-geometry -0-0 on a ${screen_w}x$screen_h screen: the window is not 1024x800 at its lower right corner" placed
qm_quit

# A scene keeps its own height (a model 3 voxels high: floor, three layers, ceiling and the
# margin over it); --height is for maps, and the program says so on standard error.
python3 -c "
import struct
def chunk(kind, content, children=b''):
    return kind + struct.pack('<ii', len(content), len(children)) + content + children
model = chunk(b'SIZE', struct.pack('<iii', 4, 4, 3)) + chunk(b'XYZI', struct.pack('<i', 1) + bytes([1, 1, 0, 1]))
open('tiny.vox', 'wb').write(b'VOX ' + struct.pack('<i', 150) + chunk(b'MAIN', b'', model))"
qm_launch --height 12 tiny.vox
qm_quit
[ "$(cat stderr.txt)" = 'quillmarsh: --height 12 is for maps; the scene "tiny.vox" keeps its own height of 6 cells' ] ||
  qm_fail "no line on --height given with a scene"
# Without --max-fps the program draws at most 1000 frames a second: faster frames, each counted
# as the frame timer's shortest, a millisecond, would run its clock ahead of real time. A room of
# one cell in a window of one pixel draws faster than that; its status line comes once a second.
convert -size 1x1 xc:white PNG24:one.png
lines=$(timeout 5 "$qm_bin" --stats -geometry 1x1 one.png 2>/dev/null | grep -c ' fps ' || :)
[ "$lines" -ge 2 ] && [ "$lines" -le 5 ] || qm_fail "$lines status lines in 5 seconds"

# Under a file size limit the map save fails with its one line and leaves no file behind, and the
# program goes on: the limit's signal would end it mid-write. A map of random walls makes a picture
# of several kilobytes; the program's own output stays under the limit.
qm_fresh
convert -seed 7 -size 200x200 xc:white +noise Random -colorspace Gray -threshold 50% PNG24:noisy.png
printf '#!/bin/sh\nulimit -f 2\nexec "%s" "$@"\n' "$qm_bin" >limited.sh
chmod +x limited.sh
unlimited=$qm_bin qm_bin=$PWD/limited.sh
qm_launch noisy.png
qm_bin=$unlimited
xdotool key ctrl+s
qm_poll 10 "no line on the save cut short" grep -qE '^Cannot save the room as a map: .*\(File too large\)$' stderr.txt
[ -z "$(ls maps 2>/dev/null)" ] || qm_fail "a cut save left $(ls maps)"
qm_quit
echo "driven edit run ok: the view kept within RMS $kept"
