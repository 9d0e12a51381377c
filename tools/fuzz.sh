#!/usr/bin/env bash
# Bounded fuzz runs under libFuzzer with AddressSanitizer and UBSan, one per input the program
# reads: "map" (header check, data check, DevIL decode, world build, a light step and a visibility
# pass), "texture" (the same decode with a texture's limits, every pixel read), "program" (a
# program file read by the shader layer and its stage source assembled; no GL compile), "vox" (a
# .vox scene read, flattened, built into a room, written and read back, a light step) and "page"
# (a map decoded as the page decodes it: the same checks, stb_image and the page's zlib stand-in).
# Usage: tools/fuzz.sh [seconds per target, default 300] [targets, default: map texture program
# vox page]
# Builds in build-fuzz/ with clang 14 (installed when missing), keeps each target's corpus in
# build-fuzz/corpus-TARGET and leaves any crashing input as build-fuzz/crash-* .
set -euo pipefail
seconds=${1:-300}
shift || true
usage="usage: tools/fuzz.sh [SECONDS 1 to 999999999] [map|texture|program|vox|page ...]"
# libFuzzer takes 0, a negative number, a word or a number past its int for "no limit": a run
# would never end.
if ! [[ $seconds =~ ^[1-9][0-9]{0,8}$ ]]; then
  echo "$usage, not \"$seconds\"" >&2
  exit 2
fi
targets=(map texture program vox page)
[ $# -eq 0 ] || targets=("$@")
for target in "${targets[@]}"; do
  case $target in
    map | texture | program | vox | page) ;;
    *) echo "$usage, not the target \"$target\"" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-fuzz
# What the build and the seeds need (cmake, the libraries, ImageMagick's convert) and clang 14 with
# libFuzzer, which is too large a download for every build and so is installed here on demand.
"$root/tools/install-deps.sh" clang-14 libclang-rt-14-dev libstb-dev
cxx=$(command -v clang++-14)
cc=$(command -v clang-14)

cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" -DQUILLMARSH_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  >/dev/null
fuzzers=()
for target in "${targets[@]}"; do fuzzers+=("quillmarsh-$target-fuzzer"); done
# The .vox seeds are written by our own writer (quillmarsh-voxsamples).
[[ " ${targets[*]} " != *" vox "* ]] || fuzzers+=(quillmarsh-voxsamples)
cmake --build "$out" -j2 --target "${fuzzers[@]}"

# Seeds: the shipped map in each PNG layout and as JPEG, a few tiny pictures, the shipped
# textures and program files.
seeds=$out/seeds
mkdir -p "$seeds/map" "$seeds/texture" "$seeds/program" "$seeds/page"
map=$root/media/textures/maps/testmap.png
cp "$map" "$seeds/map/testmap.png"
convert "$map" PNG8:"$seeds/map/palette.png"
convert "$map" -colorspace Gray PNG:"$seeds/map/grey.png"
convert "$map" PNG32:"$seeds/map/rgba.png"
convert "$map" -depth 16 PNG48:"$seeds/map/rgb16.png"
convert "$map" -interlace PNG PNG24:"$seeds/map/interlaced.png"
convert "$map" -quality 95 "$seeds/map/baseline.jpg"
convert "$map" -interlace JPEG "$seeds/map/progressive.jpg"
convert "$map" -colorspace Gray "$seeds/map/grey.jpg"
convert -size 1x1 xc:white PNG24:"$seeds/map/one.png"
convert -size 3x2 xc:black -fill '#808080' -draw 'point 1,1' PNG24:"$seeds/map/small.png"
convert -size 8x8 xc:'#0000ff' "$seeds/map/small.jpg"
cp "$seeds"/map/* "$root"/media/textures/*.jpg "$seeds/texture/"
cp "$seeds"/map/* "$seeds/page/"
cp "$root"/media/*.cg "$seeds/program/"
# Rooms of every material (one past 256 wide, several models), a scene graph with turns, groups,
# hidden nodes and layers, and a model without a palette.
if [[ " ${targets[*]} " == *" vox "* ]]; then
  mkdir -p "$seeds/vox"
  "$out/tools/quillmarsh-voxsamples" "$seeds/vox-samples" >/dev/null
  cp "$seeds"/vox-samples/*.vox "$seeds/vox/"
fi

cd "$out"
# LeakSanitizer stops the process's threads with ptrace; where a sandbox forbids ptrace every
# instrumented process would fail at exit, so leak checks are then left out, loudly.
leaks=1
echo 'int main() { return 0; }' | "$cxx" -fsanitize=address -x c++ - -o lsan-probe
if ! ASAN_OPTIONS=detect_leaks=1 ./lsan-probe 2>/dev/null; then
  leaks=0
  echo "quillmarsh: WARNING: LeakSanitizer cannot run here (ptrace denied); leak checks are OFF" >&2
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=$leaks:fast_unwind_on_malloc=0:allocator_may_return_null=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/fuzz/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in "${targets[@]}"; do
  dict=()
  case $target in
    program) ;;
    vox) dict=(-dict="$root/tools/fuzz/vox.dict") ;;
    *) dict=(-dict="$root/tools/fuzz/map.dict") ;;
  esac
  mkdir -p "corpus-$target"
  echo "quillmarsh: fuzzing $target for $seconds s"
  "./tools/fuzz/quillmarsh-$target-fuzzer" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=2048 -timeout=10 "${dict[@]}" -print_final_stats=1 "corpus-$target" "$seeds/$target"
done
