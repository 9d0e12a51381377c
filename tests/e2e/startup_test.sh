#!/usr/bin/env bash
# A clean start: one 1024 x 800 window titled "Quillmarsh"; standard output holds the capability
# report (lines a driver may print, in this order, each at most once), then exactly the two colour
# targets and the three world lines; nothing on standard error, no "shaderdebug.txt"; Escape ends
# the program with status 0. Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
report=(
  "GL_NV_framebuffer_multisample_coverage support"
  "GL_EXT_framebuffer_multisample support"
  "GL_NV_framebuffer_multisample_coverage support!"
  "GL_NV_texture_rectangle support"
  "GL_EXT_framebuffer_object support"
  "GL_EXT_renderbuffer_object support"
  "GL_ARB_vertex_buffer_object support"
  "No GL_EXT_pixel_buffer_object support"
  "No GL_ARB_pixel_buffer_object support"
  "Driver does not support OpenGL Shading Language"
  "Unable to load extensions GL_EXT_framebuffer_object or GL_EXT_frambuffer_multisample "
)
after_report=(
  "creating frame and renderbuffer"
  "creating FBO "
  "creating FBO "
  "TESSARY ROOM filename  media/textures/maps/testmap.png"
  "loaded image dimensions h: 40 w: 60"
  "size of occlusion map:60,40"
)

qm_start
[ "$qm_w" = 1024 ] && [ "$qm_h" = 800 ] || qm_fail "window is ${qm_w}x${qm_h}, expected 1024x800"
[ "$(xdotool search --name '^Quillmarsh$' | wc -l)" = 1 ] || qm_fail "more than one window titled Quillmarsh"
sleep 1
qm_quit

mapfile -t lines <stdout.txt
i=0
next_report=0
while [ "$i" -lt "${#lines[@]}" ] && [ "${lines[$i]}" != "${after_report[0]}" ]; do
  found=
  for ((k = next_report; k < ${#report[@]}; k++)); do
    if [ "${lines[$i]}" = "${report[$k]}" ]; then found=$k; break; fi
  done
  [ -n "$found" ] || qm_fail "line $((i + 1)) is not a report line in its place: '${lines[$i]}'"
  next_report=$((found + 1))
  i=$((i + 1))
done
printf '%s\n' "${lines[@]:0:$i}" | grep -qx "GL_EXT_framebuffer_object support" ||
  qm_fail "the report before the render targets lacks GL_EXT_framebuffer_object"
[ "$(printf '%s\n' "${lines[@]:$i}")" = "$(printf '%s\n' "${after_report[@]}")" ] ||
  qm_fail "the lines after the report differ"
[ ! -s stderr.txt ] || qm_fail "unexpected standard error"
[ ! -e shaderdebug.txt ] || qm_fail "shaderdebug.txt written on a clean start"
echo "start-up ok: 1024x800 window, $i report lines, then the targets and the world lines"
