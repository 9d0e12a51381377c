#!/usr/bin/env bash
# Runs the given command with an X display: the caller's DISPLAY if set, else a private Xvfb.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
# Tests that run side by side each look for a free server number from a random start, so two
# starting together do not both take the first free one.
exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" "$@"
