# Helpers for the end-to-end scripts: start the real binary in a scratch working directory with
# a copy of media/, find and focus its window, take screenshots, measure them, end it with Escape.
# Sourced by a test script after `set -euo pipefail`. Set QM_KEEP=1 to keep the scratch directory
# (screenshots, the program's output) for a look after a failure.

# qm_start BIN ROOT: cd into a fresh scratch directory holding media/, start BIN there with
# stdout.txt and stderr.txt, wait for the window titled "Quillmarsh" and focus it.
# Sets qm_work, qm_pid, qm_window and the window geometry qm_x, qm_y, qm_w, qm_h.
qm_start() {
  local bin=$1 root=$2
  qm_work=$(mktemp -d)
  qm_pid=
  trap qm_cleanup EXIT
  cp -r "$root/media" "$qm_work/media"
  cd "$qm_work"
  "$bin" >stdout.txt 2>stderr.txt &
  qm_pid=$!
  qm_window=$(timeout 60 xdotool search --sync --name '^Quillmarsh$' | head -n 1 || true)
  [ -n "$qm_window" ] || qm_fail "no window titled Quillmarsh"
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$qm_window")"
  qm_x=$X qm_y=$Y qm_w=$WIDTH qm_h=$HEIGHT
  # No window manager under Xvfb: focus the window directly so XTEST keys reach it.
  xdotool windowfocus --sync "$qm_window"
}

qm_cleanup() {
  if [ -n "${qm_pid:-}" ] && kill -0 "$qm_pid" 2>/dev/null; then kill "$qm_pid" 2>/dev/null || true; fi
  [ -n "${qm_work:-}" ] && [ -z "${QM_KEEP:-}" ] && rm -rf "$qm_work"
}

# qm_fail MESSAGE: report, show the program's output and end the test with status 1.
qm_fail() {
  echo "FAIL: $*"
  if [ -n "${qm_work:-}" ] && [ -f "$qm_work/stdout.txt" ]; then
    echo "--- stdout"; cat "$qm_work/stdout.txt"
    echo "--- stderr"; cat "$qm_work/stderr.txt"
  fi
  exit 1
}

qm_alive() { kill -0 "$qm_pid" 2>/dev/null || qm_fail "the program ended early"; }

# qm_shot FILE: what the window shows now, as an image file of FILE's type (use .ppm: quick to
# write and read; PNG compression takes a second on a loaded machine). Without a window manager
# the window may sit partly off the screen (freeglut places it at -1, -1); the grab holds only
# its visible part.
qm_shot() {
  qm_alive
  xwd -id "$qm_window" -silent | convert xwd:- "$1"
}

# qm_mean FILE [WxH+X+Y]: mean grey level (0..1) of the image or of one region of it.
qm_mean() {
  if [ $# -gt 1 ]; then
    convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:mean]' info:
  else
    convert "$1" -colorspace Gray -format '%[fx:mean]' info:
  fi
}

# qm_diff A B: root-mean-square difference (0..1) between two images of the same size.
qm_diff() {
  local out
  out=$(compare -metric RMSE "$1" "$2" null: 2>&1 || true)
  # Output "12.3 (0.000187)": the normalised value is in the parentheses.
  out=${out#*(}
  echo "${out%)*}"
}

# qm_count FILE R G B [WxH+X+Y]: number of pixels of exactly this colour.
qm_count() {
  local file=$1 r=$2 g=$3 b=$4 region=${5:-}
  local crop=()
  [ -n "$region" ] && crop=(-crop "$region" +repage)
  convert "$file" "${crop[@]}" -fill black +opaque "rgb($r,$g,$b)" -fill white -opaque "rgb($r,$g,$b)" \
    -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}

# qm_gt A B: true when the number A is greater than B.
qm_gt() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# qm_fade_lines: the "fade value:" lines written so far, in order.
qm_fade_lines() { grep '^fade value:' "$qm_work/stdout.txt" || true; }

# qm_wait_fade N [SECONDS]: wait until N "fade value:" lines have been written.
qm_wait_fade() {
  local n=$1 limit=${2:-30} waited=0
  while [ "$(qm_fade_lines | wc -l)" -lt "$n" ]; do
    qm_alive
    [ "$waited" -lt $((limit * 10)) ] || qm_fail "fewer than $n fade value lines after ${limit}s"
    sleep 0.1
    waited=$((waited + 1))
  done
}

# qm_settle [LIMIT]: wait until the picture has stopped changing: three screenshots half a second
# apart, each differing from the one before and the first from the last by less than 0.01 RMS
# (frames may take a few tenths of a second on a loaded machine, so one quiet pair proves little).
# The last screenshot is left in settled.ppm and qm_idle holds the change over that second, what
# the picture does by itself. Fails after LIMIT seconds (default 60).
qm_settle() {
  local limit=${1:-60} start=$SECONDS first second
  qm_shot "$qm_work/settle-1.ppm"
  qm_shot "$qm_work/settle-2.ppm"
  while :; do
    sleep 0.5
    mv "$qm_work/settle-2.ppm" "$qm_work/settle-3.ppm"
    mv "$qm_work/settle-1.ppm" "$qm_work/settle-2.ppm"
    qm_shot "$qm_work/settle-1.ppm"
    first=$(qm_diff "$qm_work/settle-3.ppm" "$qm_work/settle-2.ppm")
    second=$(qm_diff "$qm_work/settle-2.ppm" "$qm_work/settle-1.ppm")
    qm_idle=$(qm_diff "$qm_work/settle-3.ppm" "$qm_work/settle-1.ppm")
    if qm_gt 0.01 "$first" && qm_gt 0.01 "$second" && qm_gt 0.01 "$qm_idle"; then
      cp "$qm_work/settle-1.ppm" "$qm_work/settled.ppm"
      return 0
    fi
    [ $((SECONDS - start)) -lt "$limit" ] || qm_fail "the picture kept changing for ${limit}s (RMS $qm_idle)"
  done
}

# qm_light_up PRESSES: turn the light strength up with "0" and wait until the picture is lit
# and steady, so that later comparisons see the camera's effect, not the light building up.
qm_light_up() {
  local presses=$1 before i
  before=$(qm_fade_lines | wc -l)
  for ((i = 0; i < presses; ++i)); do xdotool key 0; done
  qm_wait_fade $((before + presses))
  local start=$SECONDS
  while :; do
    qm_settle
    qm_gt "$(qm_mean "$qm_work/settled.ppm")" 0.03 && return 0
    [ $((SECONDS - start)) -lt 60 ] || qm_fail "the room stayed dark after pressing 0"
  done
}

# qm_profile FILE: mean grey of each 4-pixel column bin of the band around the horizon.
qm_profile() {
  convert "$1" -crop 1016x120+0+240 +repage -colorspace Gray -scale 254x1! -depth 8 gray:- |
    od -An -tu1 -v | tr -s ' \n' '\n' | grep -v '^$'
}

# qm_hshift A B: how far (window pixels, negative = to the left) the picture's content moved
# sideways from A to B, judged on a band around the horizon: the shift of B's column profile
# that best matches A's (least mean square difference, at least half the band overlapping).
qm_hshift() {
  qm_profile "$1" >"$qm_work/profile-a.txt"
  qm_profile "$2" >"$qm_work/profile-b.txt"
  awk 'NR == FNR { a[FNR - 1] = $1; n = FNR; next } { b[FNR - 1] = $1 }
    END {
      best = -1; shift = 0
      for (k = -int(n / 2); k <= int(n / 2); ++k) {
        s = 0; c = 0
        for (i = 0; i < n; ++i) { j = i + k; if (j < 0 || j >= n) continue; d = a[j] - b[i]; s += d * d; ++c }
        s /= c
        if (best < 0 || s < best) { best = s; shift = -k * 4 }
      }
      print shift
    }' "$qm_work/profile-a.txt" "$qm_work/profile-b.txt"
}

# qm_bbox FILE R G B: bounding box "WxH+X+Y" of the pixels of exactly this colour.
qm_bbox() {
  convert "$1" -fill black +opaque "rgb($2,$3,$4)" -format '%@' info:
}

# qm_quit: release Escape; the program must end by itself with status 0.
qm_quit() {
  qm_alive
  xdotool key Escape
  local waited=0
  while kill -0 "$qm_pid" 2>/dev/null; do
    [ "$waited" -lt 300 ] || qm_fail "still running 30 s after Escape"
    sleep 0.1
    waited=$((waited + 1))
  done
  local status=0
  wait "$qm_pid" || status=$?
  qm_pid=
  [ "$status" = 0 ] || qm_fail "exit status $status after Escape, expected 0"
}
