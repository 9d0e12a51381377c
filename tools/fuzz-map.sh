#!/usr/bin/env bash
# A bounded fuzz run of the map path (header check, DevIL decode, world build, one light step,
# one visibility pass) under libFuzzer with AddressSanitizer and UBSan.
# Usage: tools/fuzz-map.sh [seconds, default 300]   (from the repository root; needs clang 14)
# Builds in build-fuzz/, seeds build-fuzz/corpus from the shipped map and small PNG and JPEG
# variants, and leaves any crashing input as build-fuzz/crash-* .
set -euo pipefail
seconds=${1:-300}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-fuzz
cxx=$(command -v clang++-14 || command -v clang++)
cc=$(command -v clang-14 || command -v clang)

cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" -DQUILLMARSH_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  >/dev/null
cmake --build "$out" -j2 --target quillmarsh-map-fuzzer

# Seeds: the shipped map in each PNG layout and as JPEG, plus a few tiny pictures.
seeds=$out/seeds
corpus=$out/corpus
mkdir -p "$seeds" "$corpus"
map=$root/media/textures/maps/testmap.png
cp "$map" "$seeds/testmap.png"
convert "$map" PNG8:"$seeds/palette.png"
convert "$map" -colorspace Gray PNG:"$seeds/grey.png"
convert "$map" PNG32:"$seeds/rgba.png"
convert "$map" -depth 16 PNG48:"$seeds/rgb16.png"
convert "$map" -interlace PNG PNG24:"$seeds/interlaced.png"
convert "$map" -quality 95 "$seeds/baseline.jpg"
convert "$map" -interlace JPEG "$seeds/progressive.jpg"
convert "$map" -colorspace Gray "$seeds/grey.jpg"
convert -size 1x1 xc:white PNG24:"$seeds/one.png"
convert -size 3x2 xc:black -fill '#808080' -draw 'point 1,1' PNG24:"$seeds/small.png"
convert -size 8x8 xc:'#0000ff' "$seeds/small.jpg"

cd "$out"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:fast_unwind_on_malloc=0:allocator_may_return_null=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/fuzz/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
./tools/fuzz/quillmarsh-map-fuzzer -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
  -timeout=10 -dict="$root/tools/fuzz/map.dict" -print_final_stats=1 "$corpus" "$seeds"
