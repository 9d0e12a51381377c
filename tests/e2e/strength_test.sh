#!/usr/bin/env bash
# The lights start at strength 0 (the room shows only ambient light); each released "0" raises the strength by 0.05
# and the room grows brighter; "9" drops it to 0.001 and the room fades. Each change writes a
# "fade value:" line, after all other output; Escape ends the program with status 0.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start

qm_settle
dark=$(qm_mean "$qm_work/settled.ppm")
echo "strength 0: mean grey $dark"
[ -z "$(qm_fade_lines)" ] || qm_fail "a fade value line before any key"

# mean_of FILE: leaves the mean grey of a fresh screenshot in `mean`.
mean_of() { qm_shot "$qm_work/$1"; mean=$(qm_mean "$qm_work/$1"); }
brighter() { mean_of lit.ppm; qm_gt "$mean" "$(qm_calc "$dark + 0.03")"; }
faded() { mean_of faded.ppm; qm_gt "$(qm_calc "($dark + $lit) / 2")" "$mean"; }

for _ in 1 2 3 4; do xdotool key 0; done
qm_wait_fade 4
# The light builds up over many simulation steps: poll until it is clearly brighter.
qm_poll 60 "not brighter 60 s after four \"0\" (mean grey $dark)" brighter
lit=$mean
echo "strength 0.2: mean grey $lit"

xdotool key 9
qm_wait_fade 5
qm_poll 60 "no fading 60 s after \"9\" (mean grey $lit)" faded
echo "strength 0.001: mean grey $mean"

xdotool key 0
qm_wait_fade 6
qm_quit

expected=$'fade value:0.05\nfade value:0.1\nfade value:0.15\nfade value:0.2\nfade value:0.001\nfade value:0.051'
[ "$(qm_fade_lines)" = "$expected" ] || qm_fail "fade value lines differ"
[ "$(tail -n 6 stdout.txt)" = "$expected" ] || qm_fail "other output after or among the fade value lines"
echo "strength ok"
