#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test with ctest.
# GL and end-to-end tests get a virtual X display (Xvfb) when no DISPLAY is set.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
# The browser build (build-web/): its tests run with the others.
"$root/tools/web.sh" --build-only
cd "$root/build"
ctest --output-on-failure -j "$(nproc)"
# The same tests again on an AddressSanitizer + UBSan build (build-asan/, about half a minute).
"$root/tools/sanitize.sh"
