#!/usr/bin/env bash
# Files the program cannot use end it before the first frame with status 1 and one line naming the
# file and the cause: the map, each texture and each program file a FIFO; the map a compressed-data
# bomb or with palette indices beyond its palette; a program file endless (a device), with a NUL
# byte or too long; the block program's two stages not linking together; a driver without framebuffer
# objects; a missing map or a bad height even with no display. Arguments: the quillmarsh binary,
# the repository root.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
map=media/textures/maps/testmap.png

# png bomb|palette FILE: a 256 x 256 PNG, 15 MiB of data inflating to 15 GiB or palette overruns.
png() {
  python3 - "$@" <<'PY'
import struct, sys, zlib
chunk = lambda k, d: struct.pack(">I", len(d)) + k + d + struct.pack(">I", zlib.crc32(k + d))
z, bomb = zlib.compressobj(9), sys.argv[1] == "bomb"
mib = lambda: z.compress(bytes(1 << 20)) + z.flush(zlib.Z_FULL_FLUSH)  # the same block each time
data = (mib() + mib() * 15000 + z.flush() if bomb
        else zlib.compress(b"".join(b"\0" + bytes(range(256)) for _ in range(256))))
open(sys.argv[2], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(
    ">IIBBBBB", 256, 256, 8, 2 if bomb else 3, 0, 0, 0)) + (b"" if bomb else chunk(b"PLTE", bytes(6)))
    + chunk(b"IDAT", data) + chunk(b"IEND", b""))
PY
}

qm_fresh; rm "$map"; mkfifo "$map"
qm_refused "map \"$map\": it is a FIFO (named pipe), not a regular file"
grep -qx "TESSARY ROOM filename  $map" stdout.txt || qm_fail "no TESSARY ROOM line before the refusal"
qm_fresh; png bomb "$map"
qm_refused "map \"$map\": its image data is" "far more than a 256 x 256 picture needs"
qm_fresh; convert -size 3x2 xc:black PNG24:"$map"
qm_refused "map \"$map\": it has no open column to stand in"
qm_fresh; png palette "$map"
qm_refused "map \"$map\": it uses palette entry 2 but its palette (PLTE) has 2 entries"
for file in media/textures/{tile2,tileglass1,lighttex}.jpg media/{TessaryShader,TessaryShaderRefraktion,TessaryShaderCombine,setDepthShader}.cg; do
  qm_fresh; rm "$file"; mkfifo "$file"
  qm_refused "\"$file\"" "it is a FIFO (named pipe), not a regular file"
done

program=media/TessaryShader.cg
refused_program() {  # CAUSE: in the line and in the listing in shaderdebug.txt
  qm_refused "\"$program\" (fragment_main) did not load: $1" "shaderdebug.txt"
  grep -qF -- "$1" shaderdebug.txt || qm_fail "the listing does not say \"$1\""
}
qm_fresh; ln -sf /dev/zero "$program"
refused_program "cannot read the file: it is a character device, not a regular file"
qm_fresh; printf 'void f() {}\0' >>"$program"
refused_program "the file holds a NUL byte at offset"
# The logs replace what stands in their place: a link is not followed, a FIFO not waited on.
qm_fresh; printf 'void f() {}\0' >>"$program"; echo kept >kept.txt; ln -s kept.txt shaderdebug.txt; mkfifo image_out.txt
refused_program "the file holds a NUL byte at offset"
[ "$(cat kept.txt)" = kept ] && [ ! -L shaderdebug.txt ] && [ -f image_out.txt ] || qm_fail "a log followed a link or kept a FIFO"
# Twenty-six lines of macros, each using the one before twice: 2^26 names for the driver.
qm_fresh; { echo '#define M0 x'; for i in $(seq 1 26); do echo "#define M$i M$((i - 1)) M$((i - 1))"; done; echo 'float y = M26;'; } >>"$program"
refused_program "its macros expand to more than 4194304 names"
qm_fresh; { echo '#define F0(a) a a'; for i in $(seq 1 14); do echo "#define F$i(a) F$((i - 1))(F$((i - 1))(a))"; done; echo 'float y = F14(x);'; } >>"$program"
refused_program "its macros expand to more than 4194304 names"
qm_fresh; truncate -s 1048577 "$program"
refused_program "cannot read the file: it is 1048577 bytes; a program file is at most 1048576 bytes"
# The fragment stage reads a varying the vertex stage never writes: each compiles, the pair fails.
qm_fresh; sed -i -e 's/^void fragment_main() {/varying vec3 never_written;\n&/' \
  -e 's/sqrt(linear) \* fogKeep/&+ never_written/' "$program"
[ "$(grep -c never_written "$program")" = 2 ] || qm_fail "the block program no longer has the lines this case edits"
qm_refused "\"$program\" (vertex_main) and \"$program\" (fragment_main) do not link together" \
  "never_written" "shaderdebug.txt"
grep -q "never_written" shaderdebug.txt || qm_fail "no link listing in shaderdebug.txt"
qm_fresh
MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object qm_refused "lacks what Quillmarsh needs: framebuffer objects"
# The command line and the map are checked before any window opens: no display is needed.
qm_fresh; status=0
env -u DISPLAY timeout 60 "$qm_bin" -geometry 320x240 no-such-map.png >stdout.txt 2>stderr.txt || status=$?
[ "$status" = 1 ] && [ "$(wc -l <stderr.txt)" = 1 ] && grep -q '"no-such-map.png"' stderr.txt ||
  qm_fail "a missing map argument: status $status"
for height in 2 65 six; do
  qm_fresh; status=0
  env -u DISPLAY timeout 60 "$qm_bin" --height "$height" >stdout.txt 2>stderr.txt || status=$?
  [ "$status" = 1 ] && [ "$(wc -l <stderr.txt)" = 1 ] &&
    grep -qF "a whole number from 3 to 64, not \"$height\"" stderr.txt || qm_fail "--height $height: status $status"
done
# A window geometry the toolkit would turn into a window of no size, which X refuses, or of a size
# X cannot hold.
for geometry in abc 640x 0x0 40000x10; do
  qm_fresh; status=0
  env -u DISPLAY timeout 60 "$qm_bin" -geometry "$geometry" >stdout.txt 2>stderr.txt || status=$?
  [ "$status" = 1 ] && [ "$(wc -l <stderr.txt)" = 1 ] &&
    grep -qF -- "-geometry takes WIDTHxHEIGHT, +X+Y or both, each side 1 to 32767, not \"$geometry\"" stderr.txt ||
    qm_fail "-geometry $geometry: status $status, $(cat stderr.txt)"
done
echo "refusals ok"
