#!/usr/bin/env bash
# The browser build: installs emscripten, stb_image and headless Chromium from Debian's packages,
# builds the page into build-web/ and serves it on 127.0.0.1, printing its address (Ctrl-C ends).
# --build-only: just builds. Nothing is downloaded but Debian packages.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_only=0
port=8021
for arg in "$@"; do
  case $arg in
    --build-only) build_only=1 ;;
    --port=*) port=${arg#--port=} ;;
    *) echo "usage: tools/web.sh [--build-only] [--port=N]" >&2; exit 2 ;;
  esac
done
# Checked before the build, not after it: a port is 1 to 65535.
if ! [[ $port =~ ^[1-9][0-9]{0,4}$ ]] || [ "$port" -gt 65535 ]; then
  echo "tools/web.sh: --port takes a number from 1 to 65535, not \"$port\"" >&2
  exit 2
fi

"$root/tools/install-deps.sh" emscripten binaryen libstb-dev googletest chromium-headless-shell
# Debian's emscripten finds its Node modules (acorn, ...) here when node is not Debian's own.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# The emscripten cache of Debian's package is read-only and prebuilt; never fetch ports.
export EM_FROZEN_CACHE=1
emcmake cmake -S "$root/web" -B "$root/build-web" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-web" -j "$(nproc)"
[ "$build_only" -eq 1 ] && exit 0
exec python3 "$root/web/serve.py" "$root/build-web" "$port"
