# Shared steps of the end-to-end scripts: a scratch copy of media/, running the binary in it,
# waiting for its window, ending it with Escape, and checking a refused start.
# Sourced by a script that has set `bin` (the quillmarsh binary) and `root` (the repository).

work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*"
  for f in stdout.txt stderr.txt; do
    [ -f "$work/run/$f" ] && { echo "--- $f (last lines)"; tail -n 20 "$work/run/$f"; }
  done
  exit 1
}

# A fresh working directory $work/run holding an unchanged copy of media/; the shell moves there.
fresh_run_dir() {
  cd "$work"
  rm -rf "$work/run"
  mkdir "$work/run"
  cp -r "$root/media" "$work/run/media"
  cd "$work/run"
}

# Starts the program in the background; sets `pid` and `window` once the window exists.
start_program() {
  "$bin" >stdout.txt 2>stderr.txt &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name '^Quillmarsh$' | head -n 1 || true)
  [ -n "$window" ] || fail "no window titled Quillmarsh"
}

# Sends Escape to the window and expects the program to end with status 0.
escape_and_expect_zero() {
  xdotool windowfocus --sync "$window"
  xdotool key Escape
  local status=0
  timeout 30 tail --pid="$pid" -f /dev/null || fail "the program did not end after Escape"
  wait "$pid" || status=$?
  pid=
  [ "$status" = 0 ] || fail "exit status $status after Escape, expected 0"
}

# Runs the program to its end and expects status 1 with exactly one line on standard error that
# contains each of the given fixed strings.
expect_refused() {
  local status=0
  timeout 60 "$bin" >stdout.txt 2>stderr.txt || status=$?
  [ "$status" = 1 ] || fail "exit status $status, expected 1"
  [ "$(wc -l <stderr.txt)" = 1 ] || fail "expected one line on standard error"
  local text
  for text in "$@"; do
    grep -qF -- "$text" stderr.txt || fail "the line does not say \"$text\""
  done
  echo "  refused: $(cat stderr.txt)"
}
