#!/usr/bin/env bash
# The lights start at strength 0 (the room shows only its dim ambient); each released "0" raises
# the strength by 0.05 and the room grows brighter; "9" drops it to 0.001 and the room fades. Each change writes a
# "fade value:" line after the start-up lines; Escape ends the program with status 0.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start "$1" "$2"

qm_settle
dark=$(qm_mean "$qm_work/settled.ppm")
echo "strength 0: mean grey $dark"
[ -z "$(qm_fade_lines)" ] || qm_fail "a fade value line before any key"

for _ in 1 2 3 4; do xdotool key 0; done
qm_wait_fade 4
# The light builds up over many simulation steps: poll until it is clearly brighter.
start=$SECONDS
while :; do
  qm_shot "$qm_work/lit.ppm"
  lit=$(qm_mean "$qm_work/lit.ppm")
  qm_gt "$lit" "$(awk -v d="$dark" 'BEGIN { print d + 0.03 }')" && break
  [ $((SECONDS - start)) -lt 60 ] || qm_fail "not brighter 60 s after four \"0\" (mean grey $dark -> $lit)"
  sleep 0.5
done
echo "strength 0.2: mean grey $lit"

xdotool key 9
qm_wait_fade 5
start=$SECONDS
while :; do
  qm_shot "$qm_work/faded.ppm"
  faded=$(qm_mean "$qm_work/faded.ppm")
  qm_gt "$(awk -v l="$lit" -v d="$dark" 'BEGIN { print (l + d) / 2 }')" "$faded" && break
  [ $((SECONDS - start)) -lt 60 ] || qm_fail "no fading 60 s after \"9\" (mean grey $lit -> $faded)"
  sleep 0.5
done
echo "strength 0.001: mean grey $faded"

xdotool key 0
qm_wait_fade 6
qm_quit

expected_fade=$'fade value:0.05\nfade value:0.1\nfade value:0.15\nfade value:0.2\nfade value:0.001\nfade value:0.051'
[ "$(qm_fade_lines)" = "$expected_fade" ] || qm_fail "fade value lines differ"
# The start-up lines come first, the fade lines last, in the order of the key releases.
expected_start=$'TESSARY ROOM filename  media/textures/maps/testmap.png\nloaded image dimensions h: 40 w: 60\nsize of occlusion map:60,40'
[ "$(grep -A2 -x 'TESSARY ROOM filename  media/textures/maps/testmap.png' stdout.txt)" = "$expected_start" ] ||
  qm_fail "start-up lines differ"
[ "$(tail -n 6 stdout.txt)" = "$expected_fade" ] || qm_fail "output after the fade value lines"
last_start=$(grep -n -x 'size of occlusion map:60,40' stdout.txt | cut -d: -f1)
first_fade=$(grep -n -m1 '^fade value:' stdout.txt | cut -d: -f1)
[ "$last_start" -lt "$first_fade" ] || qm_fail "a fade value line before the start-up lines"
echo "strength ok"
