#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quillmarsh need.
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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

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
