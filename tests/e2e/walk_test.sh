#!/usr/bin/env bash
# Holding "w" walks the camera forward and the view changes; it stops when "w" is released.
# Holding "W" (upper case) moves nothing.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start

# hold KEY: holds KEY for 1.5 s, waits until the picture has come to rest (the camera stops) and
# leaves in `moved` how far it is from the picture before.
hold() {
  cp "$qm_work/settled.ppm" "$qm_work/start.ppm"
  xdotool keydown "$1"
  sleep 1.5
  xdotool keyup "$1"
  qm_settle 30
  moved=$(qm_diff "$qm_work/start.ppm" "$qm_work/settled.ppm")
  echo "idle RMS $qm_idle; after holding $1: RMS $moved (threshold $qm_threshold)"
}

qm_light_up 6
idle=$qm_idle
hold W
qm_gt "$(awk -v i="$idle" 'BEGIN { t = 3 * i; if (t < 0.03) t = 0.03; print t }')" "$moved" ||
  qm_fail "holding upper-case W changed the view (RMS $moved)"
hold w
qm_gt "$moved" "$qm_threshold" || qm_fail "holding w did not change the view (RMS $moved)"
qm_quit
echo "walk ok"
