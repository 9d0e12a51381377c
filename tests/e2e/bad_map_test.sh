#!/usr/bin/env bash
# A missing or damaged map ends the program with status 1 and one line naming the map and the
# cause; maps in another PNG layout (palette, grey, alpha, 16-bit), a JPEG named .png and a 1 x 1
# map run and end with 0 on Escape. Arguments: the quillmarsh binary, the repository root.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
map=media/textures/maps/testmap.png
shipped=$qm_root/$map

# Colour type and bit depth from the PNG header (bytes 25 and 24).
png_layout() { od -An -tu1 -j24 -N2 "$1" | awk '{print $2, $1}'; }

refused() {  # name, cause; the map has been replaced already
  echo "map: $1"
  qm_refused "\"$map\"" "$2"
}

qm_fresh; rm "$map"
refused "missing" "No such file or directory"
grep -qx "TESSARY ROOM filename  $map" stdout.txt || qm_fail "no TESSARY ROOM line before the refusal"
qm_fresh; : >"$map"
refused "empty file" "the file is empty"
qm_fresh; head -c 300 "$shipped" >"$map"
refused "truncated PNG" "truncated"
qm_fresh; printf 'wall wall glass\nair air light\n' >"$map"
refused "text file named .png" "it is not a PNG or JPEG image"
qm_fresh; convert "$shipped" GIF:"$map"
refused "GIF named .png" "it is a GIF image; a map must be PNG or JPEG"
qm_fresh; convert -size 257x4 xc:white PNG24:"$map"
refused "257 x 4 map" "it is 257 x 4 pixels; a map is 1 to 256 pixels on each side"

runs() {  # name, expected "h: H w: W", expected PNG layout ("type depth") or "-"
  echo "map: $1 ($(png_layout "$map"))"
  [ "$3" = - ] || [ "$(png_layout "$map")" = "$3" ] || qm_fail "$1: the picture is not PNG $3"
  qm_launch
  sleep 1
  qm_alive
  grep -qx "loaded image dimensions $2" stdout.txt || qm_fail "$1: no \"loaded image dimensions $2\""
  [ ! -s stderr.txt ] || qm_fail "$1: unexpected standard error"
  qm_quit
}

qm_fresh; convert "$shipped" PNG8:"$map"
runs "palette PNG" "h: 40 w: 60" "3 8"
qm_fresh; convert "$shipped" -colorspace Gray PNG:"$map"
runs "grey PNG" "h: 40 w: 60" "0 8"
qm_fresh; convert "$shipped" PNG32:"$map"
runs "RGBA PNG" "h: 40 w: 60" "6 8"
qm_fresh; convert "$shipped" -depth 16 PNG48:"$map"
runs "16-bit PNG" "h: 40 w: 60" "2 16"
qm_fresh; convert -size 1x1 xc:white PNG24:"$map"
runs "1 x 1 map" "h: 1 w: 1" "2 8"
qm_fresh; convert "$shipped" -quality 100 JPG:"$map"
runs "JPEG named .png" "h: 40 w: 60" -
echo "bad maps ok"
