# End-to-end helpers: a scratch run directory with a copy of media/, the program started, ended or
# refused there, shots of its window (mean grey, RMS difference: 0..1). Sourced first; the script's
# arguments: binary, repository root.
set -euo pipefail
qm_bin=$1 qm_root=$2 qm_scratch=$(mktemp -d) qm_work= qm_pid=
# ImageMagick's worker threads would only contend with the program drawing beside it.
export MAGICK_THREAD_LIMIT=1
trap 'if [ -n "$qm_pid" ]; then kill "$qm_pid" 2>/dev/null || true; fi; rm -rf "$qm_scratch"' EXIT

# qm_fail MESSAGE: report, show the end of the program's output and end the test with status 1.
qm_fail() { echo "FAIL: $*"; tail -n 20 "$qm_work"/std*.txt 2>/dev/null || true; exit 1; }

# qm_fresh: a new run directory $qm_work holding an unchanged copy of media/; the shell moves there.
qm_fresh() { qm_work=$qm_scratch/run && rm -rf "$qm_work" && mkdir -p "$qm_work" && cp -r "$qm_root/media" "$qm_work" && cd "$qm_work"; }

# qm_launch [ARG...]: starts the program (stdout.txt, stderr.txt); sets qm_pid and the focused
# qm_window. The window is named before it is mapped, and only a mapped window takes the focus.
# At most 20 frames a second: the waits follow the picture, and the processor goes to the tests
# running beside this one.
qm_launch() {
  "$qm_bin" --max-fps 20 "$@" >stdout.txt 2>stderr.txt &
  qm_pid=$!
  qm_window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Quillmarsh$' | head -n 1 || true)
  [ -n "$qm_window" ] || qm_fail "no window titled Quillmarsh"
  qm_poll 30 "the window does not take the keyboard focus" xdotool windowfocus --sync "$qm_window"
}

qm_alive() { kill -0 "$qm_pid" 2>/dev/null || qm_fail "the program ended early"; }

# qm_poll LIMIT MESSAGE COMMAND...: COMMAND until it succeeds; MESSAGE after LIMIT seconds.
qm_poll() {
  local limit=$(($1 + SECONDS)) message=$2
  shift 2
  until "$@"; do
    qm_alive
    [ "$SECONDS" -lt "$limit" ] || qm_fail "$message"
    sleep 0.1
  done
}

# qm_quit: Escape to the window; the program must end by itself with status 0.
qm_quit() {
  xdotool key Escape
  timeout 30 tail -s 0.1 --pid="$qm_pid" -f /dev/null || qm_fail "still running 30 s after Escape"
  wait "$qm_pid" || qm_fail "exit status $? after Escape, expected 0"
  qm_pid=
}

# qm_refused TEXT...: the program must end with status 1 and one line on stderr holding each TEXT.
qm_refused() {
  local status=0 text
  timeout 60 "$qm_bin" >stdout.txt 2>stderr.txt || status=$?
  [ "$status" = 1 ] || qm_fail "exit status $status, expected 1"
  [ "$(wc -l <stderr.txt)" = 1 ] || qm_fail "expected one line on standard error"
  for text in "$@"; do grep -qF -- "$text" stderr.txt || qm_fail "the line does not say \"$text\""; done
  echo "  refused: $(cat stderr.txt)"
}

shot() { xwd -id "$qm_window" -silent >"${1:-now.xwd}"; }
mean() { convert "$1" -colorspace Gray -format '%[fx:mean]' info:; }
rms() { (compare -metric RMSE "$1" "$2" null: 2>&1 || :) | sed 's/.*(\(.*\))/\1/'; }
gt() { awk "BEGIN { exit !($1 > $2) }"; }
geometry() { xdotool getwindowgeometry "$qm_window" | grep -q "Geometry: $1"; }
# count FILE R,G,B [CROP]: the number of pixels of exactly this colour.
count() { convert "$1" ${3:+-crop $3 +repage} -fill black +opaque "rgb($2)" -fill white -opaque "rgb($2)" -format '%[fx:round(mean*w*h)]' info:; }
# drawn: a shot that is not black all over. A window the program has not drawn into yet is (every
# frame draws the crosshair); on a slow driver the first frame comes seconds after the window.
drawn() { shot; gt "$(mean now.xwd)" 0; }
# settle: once drawn, shots until four in a row, qm_poll's tenth of a second apart (two may fall
# within one frame), differ by less than 0.01 each; the last is now.xwd, its change idle.
quiet() {
  mv now.xwd was.xwd && shot
  if cmp -s was.xwd now.xwd; then idle=0; else idle=$(rms was.xwd now.xwd); fi
  gt 0.01 "$idle"
}
calm() { if quiet; then calm=$((calm + 1)); else calm=0; fi; [ "$calm" -ge 3 ]; }
settle() { qm_poll 60 "nothing drawn in the window" drawn; calm=-1; qm_poll 60 "the picture kept changing" calm; }
# hshift BEFORE AFTER: how far the room moved sideways (pixels, negative: left) across the middle.
hshift() {
  for f in "$@"; do convert "$f" -crop 1016x120+0+240 -colorspace Gray -scale 254x1! -depth 8 gray:- | od -An -tu1 -v; done |
    awk '{ for (i = 1; i <= NF; ++i) v[n++] = $i } END { m = n / 2; for (k = -m / 2; k <= m / 2; ++k) { s = c = 0
      for (i = 0; i < m; ++i) if (i + k >= 0 && i + k < m) { d = v[i + k] - v[m + i]; s += d * d; ++c }
      if (best == "" || s / c < best) { best = s / c; shift = -4 * k } } print shift }'
}
