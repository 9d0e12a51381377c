#!/usr/bin/env bash
# A drag with the left button turns the view: to the right when the mouse moves right, so the
# room slides left on the screen; the opposite drag turns it back. Moving the mouse with no
# button held turns nothing, before and after mouse look has been switched on.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start

# drag X0 X1: left button down at (X0, 400), move in five steps to (X1, 400), release. A left
# button event resets the consumed mouse position, so motion that no frame has applied yet is
# dropped on release: let the view come to rest before letting go.
drag() {
  local step=$(( ($2 - $1) / 5 )) x=$1 i
  xdotool mousemove "$1" 400 mousedown 1
  for i in 1 2 3 4 5; do
    x=$((x + step))
    sleep 0.1
    xdotool mousemove "$x" 400
  done
  qm_settle
  xdotool mouseup 1
  qm_settle
}

# still FROM X Y: moving the mouse to (X, Y) with no button leaves the view as in FROM.
still() {
  xdotool mousemove "$2" "$3"
  qm_settle
  passive=$(qm_diff "$1" "$qm_work/settled.ppm")
  qm_gt 0.03 "$passive" || qm_fail "moving the mouse without a button turned the view (RMS $passive)"
}

qm_light_up 6
xdotool mousemove 300 400
sleep 0.3
xdotool mousemove 600 450
qm_settle
cp "$qm_work/settled.ppm" "$qm_work/start.ppm"
still "$qm_work/start.ppm" 300 400

# 100 pixels at 0.25 degrees per pixel: 25 degrees to the right.
drag 300 400
cp "$qm_work/settled.ppm" "$qm_work/turned.ppm"
turned=$(qm_diff "$qm_work/start.ppm" "$qm_work/turned.ppm")
shift=$(qm_hshift "$qm_work/start.ppm" "$qm_work/turned.ppm")
echo "after a 100-pixel drag right: RMS $turned (threshold $qm_threshold), content moved ${shift} px"
qm_gt "$turned" "$qm_threshold" || qm_fail "the drag did not turn the view (RMS $turned)"
[ "$shift" -le -100 ] || qm_fail "the room did not slide left on a drag to the right (${shift} px)"
# Mouse look is on now.
still "$qm_work/turned.ppm" 700 300

drag 400 300
back=$(qm_diff "$qm_work/start.ppm" "$qm_work/settled.ppm")
echo "after dragging back: RMS $back from the start"
qm_gt "$(qm_calc "$turned / 4")" "$back" || qm_fail "dragging back did not restore the view (RMS $back)"
qm_quit
echo "turn ok"
