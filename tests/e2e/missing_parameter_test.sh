#!/usr/bin/env bash
# A parameter the frame sets that the block fragment program no longer uses ("eye_pos") is not
# fatal: the program keeps running, the error handler reports the failed lookup on standard
# output, and Escape still ends it with status 0.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
bin=$1
root=$2
source "$(dirname "$0")/e2e_lib.sh"
report='shader layer: the parameter name is not an active uniform of the program'

fresh_run_dir
grep -q 'length(eye_pos - world_pos)' media/TessaryShader.cg || fail "the block program changed"
sed -i 's/length(eye_pos - world_pos)/0.0/' media/TessaryShader.cg
grep -q 'eye_pos -' media/TessaryShader.cg && fail "eye_pos is still used"
start_program
for _ in $(seq 60); do
  grep -qxF "$report" stdout.txt && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended"
  sleep 0.5
done
grep -qxF "$report" stdout.txt || fail "no report of the failed lookup on standard output"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended after the report"
[ ! -s stderr.txt ] || fail "unexpected standard error"
[ ! -e shaderdebug.txt ] || fail "shaderdebug.txt written for a program that compiled"
echo "reports so far: $(grep -cxF "$report" stdout.txt)"
escape_and_expect_zero
echo "missing parameter reported, program kept running"
