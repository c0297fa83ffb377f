#!/usr/bin/env bash
# Installs the Debian 12 packages Mendwell needs to build, test and make its
# sample images. Non-interactive and idempotent: nothing is done when every
# package is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libgtest-dev libblkid-dev
  mtools dosfstools ntfs-3g e2fsprogs fdisk xxd xz-utils
  imagemagick zip python3 p7zip-full
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
