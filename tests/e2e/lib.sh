# End-to-end helpers: a scratch run directory with a copy of media/, the program started, ended or
# refused there. Sourced after `set -euo pipefail`; the script's arguments: binary, repository root.
qm_bin=$1 qm_root=$2 qm_scratch=$(mktemp -d) qm_work= qm_pid=
trap 'if [ -n "$qm_pid" ]; then kill "$qm_pid" 2>/dev/null || true; fi; rm -rf "$qm_scratch"' EXIT

# qm_fail MESSAGE: report, show the end of the program's output and end the test with status 1.
qm_fail() { echo "FAIL: $*"; tail -n 20 "$qm_work"/std*.txt 2>/dev/null || true; exit 1; }

# qm_fresh: a new run directory $qm_work holding an unchanged copy of media/; the shell moves there.
qm_fresh() { qm_work=$qm_scratch/run && rm -rf "$qm_work" && mkdir -p "$qm_work" && cp -r "$qm_root/media" "$qm_work" && cd "$qm_work"; }

# qm_launch [ARG...]: starts the program (stdout.txt, stderr.txt); sets qm_pid and the focused
# qm_window. The window is named before it is mapped, and only a mapped window takes the focus.
qm_launch() {
  "$qm_bin" "$@" >stdout.txt 2>stderr.txt &
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
