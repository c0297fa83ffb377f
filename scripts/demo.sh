#!/usr/bin/env bash
# The main job on a bundled sample: builds mendwell-cli, makes a FAT32 disk
# image holding photos and documents, deletes some of them (and a whole
# folder), then recovers the deleted files into ./recovered and prints the
# summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target mendwell-cli

export MTOOLS_SKIP_CHECK=1 PATH="$PATH:/usr/sbin:/sbin"
mkdir -p sample
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT

# Photos and documents, made with ImageMagick, zip and a little text.
convert -size 640x480 plasma:red-blue -quality 90 "$files/beach.jpg"
convert -size 800x600 gradient:yellow-green -quality 85 "$files/garden.jpg"
convert -size 320x240 pattern:checkerboard "$files/chart.png"
convert -size 1024x768 plasma:orange-purple -quality 80 "$files/sunset.jpg"
for i in $(seq 1 40); do echo "Line $i of the quarterly report: all figures are in order."; done > "$files/report.txt"
for i in $(seq 1 25); do echo "Minutes, item $i: agreed."; done > "$files/minutes.txt"
(cd "$files" && zip -q documents.zip report.txt minutes.txt)

image=sample/sample-fat32.img
rm -f "$image"
truncate -s 64M "$image"
mkfs.fat -F 32 -n SAMPLE "$image" >/dev/null
mmd -i "$image" ::/Photos ::/Photos/Holiday ::/Documents
mcopy -i "$image" "$files/beach.jpg" "$files/sunset.jpg" ::/Photos/Holiday/
mcopy -i "$image" "$files/garden.jpg" "$files/chart.png" ::/Photos/
mcopy -i "$image" "$files/report.txt" "$files/minutes.txt" "$files/documents.zip" ::/Documents/
# The accident: two photos and a document deleted, and the holiday folder
# removed with everything in it.
mdel -i "$image" ::/Photos/garden.jpg ::/Photos/chart.png ::/Documents/report.txt
mdeltree -i "$image" ::/Photos/Holiday
echo "Sample: $image (FAT32; 5 files deleted, one folder removed)"
echo

rm -rf recovered
build/bin/mendwell-cli recover --mode deleted "$image" --to recovered
echo
echo "Recovered into ./recovered:"
(cd recovered && find . -type f | sort | sed 's|^\./|  |')
