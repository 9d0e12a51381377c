#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test with ctest.
# GL and end-to-end tests get a virtual X display (Xvfb) when no DISPLAY is set.
# Then the clang build and a short run of each fuzz target (about two minutes together).
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
# Everything built again with clang 14, any warning an error, and its unit tests (build-clang/).
"$root/tools/clang-check.sh"
# Each fuzz target for five seconds (build-fuzz/): the fuzz build and its seeds keep working.
"$root/tools/fuzz.sh" 5
