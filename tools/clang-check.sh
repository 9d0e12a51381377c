#!/usr/bin/env bash
# Builds everything (program, tests, tools and the fuzz harnesses) with clang 14 into build-clang/,
# any warning an error, and runs the unit tests there; build/ is GCC's. Installs clang when missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-clang"
"$root/tools/install-deps.sh" clang-14 libclang-rt-14-dev libstb-dev
# The browser build's tests run once, in build/. The fuzz harnesses are only compiled and linked
# here (without coverage instrumentation); tools/fuzz.sh builds the ones it runs.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_COMPILER=clang-14 -DQUILLMARSH_WERROR=ON -DQUILLMARSH_FUZZ=ON \
  -DQUILLMARSH_WEB_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" -L unit
