# Helpers for the end-to-end scripts: a scratch run directory holding a copy of media/, the real
# binary started there, its window, screenshots and their measures, ending it with Escape, and a
# refused start. Sourced right after `set -euo pipefail` by a script whose arguments are the
# quillmarsh binary and the repository root. QM_KEEP=1 keeps the scratch directory for a look.

qm_bin=$1
qm_root=$2
qm_scratch=$(mktemp -d)
qm_work=
qm_pid=
trap qm_cleanup EXIT

qm_cleanup() {
  if [ -n "$qm_pid" ] && kill -0 "$qm_pid" 2>/dev/null; then kill "$qm_pid" 2>/dev/null || true; fi
  if [ -n "${QM_KEEP:-}" ]; then echo "kept $qm_scratch"; else rm -rf "$qm_scratch"; fi
}

# qm_fail MESSAGE: report, show the end of the program's output and end the test with status 1.
qm_fail() {
  echo "FAIL: $*"
  local f
  for f in stdout.txt stderr.txt; do
    [ -f "$qm_work/$f" ] && { echo "--- $f (last lines)"; tail -n 40 "$qm_work/$f"; }
  done
  exit 1
}

# qm_fresh: a new run directory $qm_work holding an unchanged copy of media/; the shell moves there.
qm_fresh() {
  cd "$qm_scratch"
  rm -rf run
  mkdir run
  cp -r "$qm_root/media" run/media
  qm_work=$qm_scratch/run
  cd "$qm_work"
}

# qm_launch: starts the program in the run directory (stdout.txt, stderr.txt), waits for the window
# titled "Quillmarsh" and focuses it. Sets qm_pid, qm_window and its geometry qm_x qm_y qm_w qm_h.
qm_launch() {
  "$qm_bin" >stdout.txt 2>stderr.txt &
  qm_pid=$!
  qm_window=$(timeout 60 xdotool search --sync --name '^Quillmarsh$' | head -n 1 || true)
  [ -n "$qm_window" ] || qm_fail "no window titled Quillmarsh"
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$qm_window")"
  qm_x=$X qm_y=$Y qm_w=$WIDTH qm_h=$HEIGHT
  # No window manager under Xvfb: focus the window directly so XTEST keys reach it.
  xdotool windowfocus --sync "$qm_window"
}

qm_start() { qm_fresh; qm_launch; }

qm_alive() { kill -0 "$qm_pid" 2>/dev/null || qm_fail "the program ended early"; }

# qm_poll LIMIT MESSAGE COMMAND...: runs COMMAND every half second until it succeeds while the
# program keeps running; fails with MESSAGE after LIMIT seconds.
qm_poll() {
  local limit=$1 message=$2 start=$SECONDS
  shift 2
  until "$@"; do
    qm_alive
    [ $((SECONDS - start)) -lt "$limit" ] || qm_fail "$message"
    sleep 0.5
  done
}

# qm_quit: Escape to the window; the program must end by itself with status 0.
qm_quit() {
  qm_alive
  xdotool windowfocus --sync "$qm_window"
  xdotool key Escape
  timeout 30 tail --pid="$qm_pid" -f /dev/null || qm_fail "still running 30 s after Escape"
  local status=0
  wait "$qm_pid" || status=$?
  qm_pid=
  [ "$status" = 0 ] || qm_fail "exit status $status after Escape, expected 0"
}

# qm_refused TEXT...: runs the program to its end in the run directory; it must end with status 1
# and exactly one line on standard error containing each TEXT.
qm_refused() {
  local status=0 text
  timeout 60 "$qm_bin" >stdout.txt 2>stderr.txt || status=$?
  [ "$status" = 1 ] || qm_fail "exit status $status, expected 1"
  [ "$(wc -l <stderr.txt)" = 1 ] || qm_fail "expected one line on standard error"
  for text in "$@"; do
    grep -qF -- "$text" stderr.txt || qm_fail "the line does not say \"$text\""
  done
  echo "  refused: $(cat stderr.txt)"
}

# qm_shot FILE: what the window shows now (use .ppm: quick to write and read). Without a window
# manager the window may sit partly off the screen; the grab holds only its visible part.
qm_shot() {
  qm_alive
  xwd -id "$qm_window" -silent | convert xwd:- "$1"
}

# qm_mean FILE: mean grey level (0..1) of the image.
qm_mean() { convert "$1" -colorspace Gray -format '%[fx:mean]' info:; }

# qm_diff A B: root-mean-square difference (0..1) between two images of the same size.
qm_diff() {
  local out
  out=$(compare -metric RMSE "$1" "$2" null: 2>&1 || true)
  # Output "12.3 (0.000187)": the normalised value is in the parentheses.
  out=${out#*(}
  echo "${out%)*}"
}

# qm_count FILE R G B [WxH+X+Y]: number of pixels of exactly this colour, in all the image or
# in one region of it.
qm_count() {
  local crop=()
  [ -z "${5:-}" ] || crop=(-crop "$5" +repage)
  convert "$1" "${crop[@]}" -fill black +opaque "rgb($2,$3,$4)" -fill white -opaque "rgb($2,$3,$4)" \
    -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}

# qm_bbox FILE R G B: bounding box "WxH+X+Y" of the pixels of exactly this colour.
qm_bbox() { convert "$1" -fill black +opaque "rgb($2,$3,$4)" -format '%@' info:; }

# qm_gt A B: true when the number A is greater than B.
qm_gt() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# qm_calc EXPRESSION: the value of an awk expression, e.g. "0.2 * 4".
qm_calc() { awk "BEGIN { print $1 }"; }

# qm_fade_lines: the "fade value:" lines written so far, in order.
qm_fade_lines() { grep '^fade value:' "$qm_work/stdout.txt" || true; }
qm_has_fade() { [ "$(qm_fade_lines | wc -l)" -ge "$1" ]; }
# qm_wait_fade N: wait until N "fade value:" lines have been written.
qm_wait_fade() { qm_poll 30 "fewer than $1 fade value lines after 30 s" qm_has_fade "$1"; }

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

# qm_light_up PRESSES: turn the light strength up with "0" and wait until the picture is lit and
# steady, so that later comparisons see the camera's effect, not the light building up. Sets
# qm_threshold: a change counts when it is well above what the picture does by itself.
qm_light_up() {
  local presses=$1 before i start=$SECONDS
  before=$(qm_fade_lines | wc -l)
  for ((i = 0; i < presses; ++i)); do xdotool key 0; done
  qm_wait_fade $((before + presses))
  while :; do
    qm_settle
    qm_gt "$(qm_mean "$qm_work/settled.ppm")" 0.03 && break
    [ $((SECONDS - start)) -lt 60 ] || qm_fail "the room stayed dark after pressing 0"
  done
  qm_threshold=$(awk -v i="$qm_idle" 'BEGIN { t = 4 * i; if (t < 0.05) t = 0.05; print t }')
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
