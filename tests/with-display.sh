#!/usr/bin/env bash
# Runs the given command with an X display: the caller's DISPLAY if set, else a private Xvfb.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
