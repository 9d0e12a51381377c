#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test with ctest.
# GL and end-to-end tests get a virtual X display (Xvfb) when no DISPLAY is set.
# Then the clang build and a short run of each fuzz target (about two minutes together), and the
# run command, the benchmarks and the tools briefly.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
# The browser build (build-web/): its tests run with the others.
"$root/tools/web.sh" --build-only
cd "$root/build"
# A job more than the cores: the end-to-end runs and the page check wait on windows and frames
# for part of their time.
ctest --output-on-failure -j "$(($(nproc) + 1))"
# The same tests again on an AddressSanitizer + UBSan build (build-asan/, about half a minute).
"$root/tools/sanitize.sh"
# Everything built again with clang 14, any warning an error, and its unit tests (build-clang/).
"$root/tools/clang-check.sh"
# Each fuzz target for five seconds (build-fuzz/): the fuzz build and its seeds keep working.
"$root/tools/fuzz.sh" 5
# The run command without a display, and each benchmark and tool the README shows, briefly (about
# a minute together): what it documents keeps working.
cd "$root"
env -u DISPLAY bash tools/run.sh >/dev/null
smoke=$(mktemp -d)
build/tools/quillmarsh-lightbench --benchmark_min_time=0.001 >/dev/null
build/tools/quillmarsh-decodebench --benchmark_min_time=0.001 >/dev/null
build/tools/quillmarsh-voxbench --benchmark_min_time=0.001 >/dev/null
tests/with-display.sh build/tools/quillmarsh-framebench --frames 1 --steps 1 --shots "$smoke" >/dev/null
build/tools/quillmarsh-holes "$smoke/start.png" >/dev/null
# A shot cut short is refused with its cause, not handed to the decoder to spin on.
head -c 100 "$smoke/start.png" >"$smoke/cut.png"
status=0
timeout 20 build/tools/quillmarsh-holes "$smoke/cut.png" 2>/dev/null || status=$?
[ "$status" = 1 ] || exit 1
build/tools/quillmarsh-texgen "$smoke" >/dev/null
# Fixed seeds: the textures it writes are the committed ones, byte for byte.
for texture in tile2.jpg tileglass1.jpg lighttex.jpg; do
  cmp "$smoke/$texture" "media/textures/$texture"
done
# The map maker refuses a folder for its layout, and a blank line among the rows, making nothing.
printf '...\n\n...\n' >"$smoke/gap.txt"
for layout in "$smoke" "$smoke/gap.txt"; do
  status=0
  build/tools/quillmarsh-mapmaker "$layout" "$smoke/gap.png" 2>/dev/null || status=$?
  [ "$status" = 1 ] && [ ! -e "$smoke/gap.png" ] || exit 1
done
# Each tool prints its usage for --help and refuses an option it does not know, making nothing.
for tool in voxsamples texgen holes mapmaker; do
  build/tools/quillmarsh-$tool --help | grep -q "^usage: quillmarsh-$tool "
  status=0
  (cd "$smoke" && "$root/build/tools/quillmarsh-$tool" --nothing 2>/dev/null) || status=$?
  [ "$status" = 2 ] || exit 1
  [ ! -e "$smoke/--nothing" ] || exit 1
done
python3 tools/web-framebench.py --seconds 1 320x240 >/dev/null
rm -rf "$smoke"
echo "tools/test.sh: every test passed; the run command, benchmarks and tools ran"
