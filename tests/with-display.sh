#!/usr/bin/env bash
# Runs the given command with an X display: the caller's DISPLAY if set, else a private 1280 x 1024
# Xvfb. --private: a private one even where DISPLAY is set (tests typing into windows side by side).
set -euo pipefail
if [ "${1:-}" = --private ]; then shift; elif [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
# Xvfb takes the first free display number and writes it to -displayfd once it accepts clients.
# -noreset: a server resetting as its last client leaves turns away a program connecting then.
log=$(mktemp)
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>"$log")
trap "kill $! 2>/dev/null || :; rm -f '$log'" EXIT
read -r -t 60 number <&3 || { echo "with-display.sh: Xvfb did not start: $(tail -n 3 "$log")" >&2; exit 1; }
DISPLAY=:$number "$@" 3<&-
