#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quillmarsh need, and the npm
# package the tests read .vox files with (tests/vox).
# Does nothing when they are all present; needs root (or sudo) only when something is missing.
# Packages given as arguments are installed too (tools/web.sh names the browser build's).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri freeglut3-dev libglew-dev libdevil-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick x11-apps python3
  "$@"
)

# Node.js and npm run the independent .vox reader in the tests; the machine's own are used when
# present (a newer Node.js than Debian's may be installed under another package name).
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The npm package vox-reader (tests only) into tests/vox/node_modules, as its lock file pins it.
install_vox_reader() {
  local want dir=$root/tests/vox
  want=$(sed -n 's/.*"vox-reader": "\(.*\)".*/\1/p' "$dir/package.json")
  if [ -f "$dir/node_modules/vox-reader/package.json" ] &&
    grep -q "\"version\": \"$want\"" "$dir/node_modules/vox-reader/package.json"; then
    return 0
  fi
  echo "quillmarsh: installing the npm package vox-reader $want into tests/vox"
  (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
}

if [ ${#missing[@]} -eq 0 ]; then
  install_vox_reader
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "quillmarsh: these packages are missing and installing them needs root: ${missing[*]}" >&2
    echo "quillmarsh: run this command as root, or install sudo" >&2
    exit 1
  fi
fi

echo "quillmarsh: installing ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_vox_reader
