#!/usr/bin/env bash
# Deleted-files scan of a FAT32 volume with 50,000 files, a third of them
# deleted: mendwell-cli against The Sleuth Kit's fls -r -d on the same
# image, in one run. Prints both times and the ratio.
#   bench/fat_compare.sh [FILES] [WORKDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-50000}
work=${2:-/tmp/mendwell-fat-bench}
export MTOOLS_SKIP_CHECK=1 PATH="$PATH:/usr/sbin:/sbin"
command -v fls >/dev/null || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo; $sudo apt-get install -y -qq sleuthkit >/dev/null; }
cmake --build build --target mendwell-cli >/dev/null

mkdir -p "$work"
image=$work/fat32_${files}.img
if [ ! -f "$image" ]; then
  echo "Making $image ($files files)..." >&2
  tree=$work/tree
  rm -rf "$tree"
  python3 - "$tree" "$files" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
per = 500
for i in range(count):
    d = os.path.join(root, "folder%03d" % (i // per))
    if i % per == 0:
        os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d_with_a_long_name.txt" % i), "w") as f:
        f.write(("content of file %d\n" % i) * (1 + i % 100))
PY
  rm -f "$image"
  truncate -s 1G "$image"
  mkfs.fat -F 32 -s 8 -n BENCH "$image" >/dev/null
  mcopy -s -i "$image" "$tree"/* ::/
  # Delete every third file, in batches.
  (cd "$tree" && find . -name '*.txt' | sort | awk 'NR % 3 == 0 { sub(/^\.\//, "::/"); print }') |
    xargs -d '\n' -n 500 mdel -i "$image"
  rm -rf "$tree"
fi

export XDG_DATA_HOME=$work/data
time_of() {  # prints seconds of wall time of the command
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/out.txt" 2>/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
cat "$image" > /dev/null  # both tools read from the page cache
mw=$(time_of build/bin/mendwell-cli scan --mode deleted --json "$image")
mw_found=$(wc -l < "$work/out.txt")
tsk=$(time_of fls -r -d -f fat32 "$image")
tsk_found=$(grep -c 'r/r' "$work/out.txt" || true)
printf '%-32s %8s %10s\n' tool seconds "deleted files"
printf '%-32s %8.3f %10s\n' "mendwell-cli scan --mode deleted" "$mw" "$mw_found"
printf '%-32s %8.3f %10s\n' "fls -r -d" "$tsk" "$tsk_found"
printf 'ratio mendwell / fls: %.2f\n' "$(echo "$mw / $tsk" | bc -l)"
