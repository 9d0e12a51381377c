#!/usr/bin/env bash
# Holding "w" walks the camera forward and the view changes; it stops when "w" is released.
# Holding "W" (upper case) moves nothing.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start "$1" "$2"

# A fixed strength and a settled picture: what changes from here on is the camera's doing.
qm_light_up 6
cp "$qm_work/settled.ppm" "$qm_work/start.ppm"
idle=$qm_idle
# A change counts when it is well above what the picture does by itself meanwhile.
threshold=$(awk -v i="$idle" 'BEGIN { t = 4 * i; if (t < 0.05) t = 0.05; print t }')

xdotool keydown W
sleep 1.5
xdotool keyup W
qm_settle
upper=$(qm_diff "$qm_work/start.ppm" "$qm_work/settled.ppm")
echo "idle RMS $idle; after holding W: $upper"
qm_gt "$(awk -v i="$idle" 'BEGIN { t = 3 * i; if (t < 0.03) t = 0.03; print t }')" "$upper" || qm_fail "holding upper-case W changed the view (RMS $upper)"
cp "$qm_work/settled.ppm" "$qm_work/start.ppm"

xdotool keydown w
sleep 1.5
xdotool keyup w
# After the release the picture must come to rest again: the camera stops.
qm_settle 30
walked=$(qm_diff "$qm_work/start.ppm" "$qm_work/settled.ppm")
echo "after holding w: RMS $walked (threshold $threshold)"
qm_gt "$walked" "$threshold" || qm_fail "holding w did not change the view (RMS $walked)"
qm_quit
echo "walk ok"
