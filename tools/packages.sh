#!/usr/bin/env bash
# Installs the Debian packages the project needs that are missing, with sudo when not root.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev libgl-dev
  libpugixml-dev libxlsxwriter-dev libblkid-dev libxxhash-dev libre2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-utils python3 unzip
  scdoc librsvg2-bin
)
if [ "${1:-}" = "--with-extras" ]; then
  packages+=(xvfb xauth imagemagick hyperfine plocate clang libclang-rt-14-dev)
  packages+=(bash-completion desktop-file-utils appstream man-db openbox xdotool)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
