#!/usr/bin/env bash
# The main job on a bundled sample: builds mendwell-cli, makes a sample FAT32
# disk image and shows what Mendwell recognises on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target mendwell-cli

mkdir -p sample
image=sample/sample-fat32.img
rm -f "$image"
truncate -s 64M "$image"
/sbin/mkfs.fat -F 32 -n SAMPLE "$image" >/dev/null
echo "Sample image: $image"
echo -n "File system: "
build/bin/mendwell-cli classify "$image"
