#!/usr/bin/env bash
# Damaged maps end the program with status 1 and one line naming the map and the cause; maps in
# another PNG layout (palette, grey, alpha, 16-bit), a JPEG named .png and a 1 x 1 map run and
# end with 0 on Escape. Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
bin=$1
root=$2
source "$(dirname "$0")/e2e_lib.sh"
map=media/textures/maps/testmap.png
shipped=$root/$map

# Colour type and bit depth from the PNG header (bytes 25 and 24).
png_layout() { od -An -tu1 -j24 -N2 "$1" | awk '{print $2, $1}'; }

refused() {  # name, cause; the map has been replaced already
  echo "map: $1"
  expect_refused "\"$map\"" "$2"
}

fresh_run_dir; : >"$map"
refused "empty file" "the file is empty"
fresh_run_dir; head -c 300 "$shipped" >"$map"
refused "truncated PNG" "truncated"
fresh_run_dir; printf 'wall wall glass\nair air light\n' >"$map"
refused "text file named .png" "it is not a PNG or JPEG image"
fresh_run_dir; convert "$shipped" GIF:"$map"
refused "GIF named .png" "it is a GIF image; a map must be PNG or JPEG"
fresh_run_dir; convert -size 257x4 xc:white PNG24:"$map"
refused "257 x 4 map" "it is 257 x 4 pixels; a map is 1 to 256 pixels on each side"

runs() {  # name, expected "h: H w: W", expected PNG layout ("type depth") or "-"
  echo "map: $1 ($(png_layout "$map"))"
  [ "$3" = - ] || [ "$(png_layout "$map")" = "$3" ] || fail "$1: the picture is not PNG $3"
  start_program
  sleep 1
  kill -0 "$pid" 2>/dev/null || fail "$1: the program ended early"
  grep -qx "loaded image dimensions $2" stdout.txt || fail "$1: no \"loaded image dimensions $2\""
  [ ! -s stderr.txt ] || fail "$1: unexpected standard error"
  escape_and_expect_zero
  echo "  ran, ended with 0 on Escape"
}

fresh_run_dir; convert "$shipped" PNG8:"$map"
runs "palette PNG" "h: 40 w: 60" "3 8"
fresh_run_dir; convert "$shipped" -colorspace Gray PNG:"$map"
runs "grey PNG" "h: 40 w: 60" "0 8"
fresh_run_dir; convert "$shipped" PNG32:"$map"
runs "RGBA PNG" "h: 40 w: 60" "6 8"
fresh_run_dir; convert "$shipped" -depth 16 PNG48:"$map"
runs "16-bit PNG" "h: 40 w: 60" "2 16"
fresh_run_dir; convert -size 1x1 xc:white PNG24:"$map"
runs "1 x 1 map" "h: 1 w: 1" "2 8"
fresh_run_dir; convert "$shipped" -quality 100 JPG:"$map"
runs "JPEG named .png" "h: 40 w: 60" -
echo "bad maps ok"
