#!/usr/bin/env bash
# Builds Quillmarsh with AddressSanitizer + UndefinedBehaviorSanitizer into build-asan/ (-O2 -g,
# assertions on) and runs every ctest test there: unit, GL under Xvfb and end-to-end runs of the
# real program; then the light step's tests under ThreadSanitizer (build-tsan/). Any sanitizer
# report fails the run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-asan"
# The browser build's tests check the page, which no sanitizer instruments: they run once, in build/.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARSH_SANITIZE=ON \
  -DQUILLMARSH_WEB_TESTS=OFF >/dev/null

# LeakSanitizer stops the process's threads with ptrace; a sandbox whose seccomp profile forbids
# ptrace makes every instrumented process fail at exit. Leak checks are then left out, loudly.
leaks=1
probe="$build/lsan-probe"
echo 'int main() { return 0; }' | "${CXX:-c++}" -fsanitize=address -x c++ - -o "$probe"
if ! ASAN_OPTIONS=detect_leaks=1 "$probe" 2>/dev/null; then
  leaks=0
  echo "sanitize: WARNING: LeakSanitizer cannot run here (ptrace denied); leak checks are OFF" >&2
fi

# AddressSanitizer and LeakSanitizer reports also go to files here, so a program that an
# end-to-end script ends with kill, or whose status a script ignores, cannot hide one. UBSan
# prints to the process's stderr (it ignores log_path here) and always ends the process.
logs="$build/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
# Only our binaries read these; xvfb-run, Xvfb, xdotool and the shells are not instrumented.
# fast_unwind_on_malloc stays on: the slow unwinder deadlocks inside llvmpipe's shader JIT, and
# our code keeps frame pointers, so allocation stacks through it are complete anyway.
export ASAN_OPTIONS="halt_on_error=1:exitcode=86:print_stacktrace=1:log_path=$logs/report:detect_leaks=$leaks:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"

cmake --build "$build" -j2
cd "$build"
status=0
ctest --output-on-failure -j "$(nproc)" || status=$?

# ThreadSanitizer on the light step's tests, which run it on pools of two to eight threads
# (build-tsan/, the unit tests alone: the GL driver's own threads are not instrumented).
# Its run time cannot map its shadow memory under some kernels' address layouts: it is then left
# out, loudly, as the leak checks are.
tsan="$root/build-tsan"
echo 'int main() { return 0; }' | "${CXX:-c++}" -fsanitize=thread -x c++ - -o "$build/tsan-probe"
if "$build/tsan-probe" 2>/dev/null; then
  cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARSH_TOOLS=OFF \
    -DQUILLMARSH_WEB_TESTS=OFF -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
  cmake --build "$tsan" -j2 --target unit_tests
  (cd "$tsan" && TSAN_OPTIONS="halt_on_error=1:exitcode=86:log_path=$logs/report" \
    ctest --output-on-failure -j "$(nproc)" -L unit -R '^LightGrid(Sparse)?Step\.') || status=$?
else
  echo "sanitize: WARNING: ThreadSanitizer cannot run here; the data race checks are OFF" >&2
fi
if compgen -G "$logs/report*" >/dev/null; then
  for f in "$logs"/report*; do
    echo "==== $f"
    cat "$f"
  done
  echo "sanitize: the sanitizers reported errors (above)" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit "$status"
