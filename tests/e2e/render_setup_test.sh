#!/usr/bin/env bash
# Render set-up at start-up: the capability report, the two colour targets and the three world
# lines come out in that order and Escape ends with status 0; a shader program that is missing,
# does not compile or lacks its entry point ends start-up with status 1 and a line naming its
# file, although no pass uses that program, and a compile failure leaves its listing in
# "shaderdebug.txt". Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
bin=$1
root=$2
scratch=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT

fail() { echo "$1"; shift; for f in "$@"; do echo "--- $f"; cat "$f"; done; exit 1; }

# Report lines a driver may print, in the order they are printed; each at most once.
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

# A fresh working directory with the shipped media.
fresh() {
  work=$(mktemp -d "$scratch/run.XXXX")
  cp -r "$root/media" "$work/media"
}

# --- A clean start: the whole standard output, line by line, then Escape.
fresh
cd "$work"
"$bin" >stdout.txt 2>stderr.txt &
pid=$!
window=$(timeout 60 xdotool search --sync --name '^Quillmarsh$' | head -n 1)
[ -n "$window" ] || fail "no window titled Quillmarsh" stdout.txt stderr.txt
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended early" stdout.txt stderr.txt
xdotool windowfocus --sync "$window"
xdotool key Escape
status=0
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program still runs after Escape" stdout.txt
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || fail "exit status $status after Escape, expected 0" stdout.txt stderr.txt

mapfile -t lines <stdout.txt
i=0
next_report=0
while [ "$i" -lt "${#lines[@]}" ] && [ "${lines[$i]}" != "${after_report[0]}" ]; do
  found=
  for ((k = next_report; k < ${#report[@]}; k++)); do
    if [ "${lines[$i]}" = "${report[$k]}" ]; then found=$k; break; fi
  done
  [ -n "$found" ] || fail "line $((i + 1)) is not a report line in its place: '${lines[$i]}'" stdout.txt
  next_report=$((found + 1))
  i=$((i + 1))
done
[ "$i" -gt 0 ] || fail "no capability report before the render targets" stdout.txt
printf '%s\n' "${lines[@]:0:$i}" | grep -qx "GL_EXT_framebuffer_object support" ||
  fail "the report lacks GL_EXT_framebuffer_object" stdout.txt
rest=$(printf '%s\n' "${lines[@]:$i}")
expected=$(printf '%s\n' "${after_report[@]}")
[ "$rest" = "$expected" ] || fail "the lines after the report differ" stdout.txt
[ ! -s stderr.txt ] || fail "unexpected standard error" stderr.txt
[ ! -e shaderdebug.txt ] || fail "shaderdebug.txt written on a clean start" shaderdebug.txt
echo "clean start: $i report lines, then the targets and the world lines; Escape gives 0"

# --- Start-up with one program file spoilt: $1 names the file, $2 the spoiling command run in the
# working directory, $3 "listing" when shaderdebug.txt must hold the compiler's listing, $4 a
# text the listing must contain.
spoilt() {
  local file=$1 spoil=$2 listing=$3 needle=${4:-}
  fresh
  cd "$work"
  eval "$spoil"
  status=0
  timeout 60 "$bin" >stdout.txt 2>stderr.txt || status=$?
  [ "$status" = 1 ] || fail "$file ($spoil): exit status $status, expected 1" stdout.txt stderr.txt
  [ "$(grep -c "$file" stderr.txt)" = 1 ] ||
    fail "$file ($spoil): no single line on standard error names the file" stderr.txt
  ! grep -q 'TESSARY ROOM\|creating FBO' stdout.txt ||
    fail "$file ($spoil): start-up went on past the programs" stdout.txt
  if [ "$listing" = listing ]; then
    [ -s shaderdebug.txt ] || fail "$file ($spoil): shaderdebug.txt is missing or empty" stderr.txt
    grep -qi 'error' shaderdebug.txt || fail "$file ($spoil): the listing names no error" shaderdebug.txt
    [ -z "$needle" ] || grep -q "$needle" shaderdebug.txt ||
      fail "$file ($spoil): the listing does not mention $needle" shaderdebug.txt
  fi
  echo "$file ($spoil): status 1: $(grep "$file" stderr.txt)"
}

spoilt media/setDepthShader.cg "rm media/setDepthShader.cg" no-listing
spoilt media/setDepthShader.cg "printf 'float broken(\n' >>media/setDepthShader.cg" listing
spoilt media/TessaryShaderCombine.cg \
  "sed -i 's/fragment_main/fragment_entry/' media/TessaryShaderCombine.cg" listing fragment_main
