#!/usr/bin/env bash
# The real binary opens one 1024 x 800 window titled "Quillmarsh", keeps running, and Escape
# ends it with status 0.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_start "$1" "$2"

echo "window $qm_window: ${qm_w}x${qm_h}"
[ "$qm_w" = 1024 ] && [ "$qm_h" = 800 ] || qm_fail "window is ${qm_w}x${qm_h}, expected 1024x800"
[ "$(xdotool search --name '^Quillmarsh$' | wc -l)" = 1 ] || qm_fail "more than one window titled Quillmarsh"
sleep 1
qm_alive
qm_quit
echo "window ok"
