#!/usr/bin/env bash
# The run command: installs what is missing, builds, and runs Quillmarsh from the repository root;
# its arguments go to the program (quillmarsh [MAP], quillmarsh --help).
# With a display the window simply opens. Without one (a headless machine) the program runs on a
# private Xvfb display for a few seconds and a screenshot is saved to screenshots/quillmarsh.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
# The program runs from the repository root (it reads media/ from there): a map named from
# where this was started is named by its whole path; options and their values stay as they are.
args=() value=0
for arg in "$@"; do
  if [ "$value" = 0 ] && [[ $arg != -* && -e $arg ]]; then
    args+=("$(realpath -- "$arg")")
  else
    args+=("$arg")
  fi
  case $arg in --height|--max-fps|-display|-geometry) value=1 ;; *) value=0 ;; esac
done
set -- "${args[@]+"${args[@]}"}"
cd "$root"

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/quillmarsh" "$@"
fi

echo "quillmarsh: no DISPLAY set; running headless under Xvfb and taking a screenshot"
mkdir -p "$root/screenshots"
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/tools/headless-demo.sh" \
  "$root/build/quillmarsh" "$root/screenshots/quillmarsh.png" "$@"
