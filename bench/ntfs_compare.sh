#!/usr/bin/env bash
# Deleted-files scan of an NTFS volume with 100,000 files, a third of them
# deleted: mendwell-cli against The Sleuth Kit's fls -r -d on the same image,
# in one run. Prints both times and the ratio, and how fast the MFT is gone
# through against reading the MFT's bytes with dd.
#   bench/ntfs_compare.sh [FILES] [WORKDIR]
# The image is made once through an ntfs-3g mount (needs root and
# /dev/fuse) and kept in WORKDIR for later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-100000}
work=${2:-/tmp/mendwell-ntfs-bench}
export PATH="$PATH:/usr/sbin:/sbin"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
command -v fls >/dev/null || $sudo apt-get install -y -qq sleuthkit >/dev/null
command -v mkntfs >/dev/null || $sudo apt-get install -y -qq ntfs-3g >/dev/null
cmake --build build --target mendwell-cli >/dev/null

mkdir -p "$work"
image=$work/ntfs_${files}.img
if [ ! -f "$image" ]; then
  echo "Making $image ($files files)..." >&2
  mnt=$work/mnt
  mkdir -p "$mnt"
  rm -f "$image.tmp"
  truncate -s 2G "$image.tmp"
  mkntfs -F -f -q -L BENCH "$image.tmp" >/dev/null 2>&1
  $sudo ntfs-3g "$image.tmp" "$mnt"
  trap '$sudo umount "$mnt" 2>/dev/null || true' EXIT
  # One process makes every file (FUSE round trips dominate), then deletes
  # every third one. Sizes from 20 bytes (resident) to 2 KB (own clusters).
  python3 - "$mnt" "$files" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
per = 500
paths = []
for i in range(count):
    d = os.path.join(root, "folder%03d" % (i // per))
    if i % per == 0:
        os.makedirs(d, exist_ok=True)
    p = os.path.join(d, "file%06d_with_a_long_name.txt" % i)
    with open(p, "w") as f:
        f.write(("content of file %d\n" % i) * (1 + i % 100))
    paths.append(p)
for i, p in enumerate(paths):
    if i % 3 == 2:
        os.unlink(p)
PY
  $sudo umount "$mnt"
  trap - EXIT
  mv "$image.tmp" "$image"
fi

export XDG_DATA_HOME=$work/data
time_of() {  # prints seconds of wall time of the command, its output in out.txt
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/out.txt" 2>/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

# The MFT's extents (byte offset and length) from the boot sector and the
# $DATA runlist of record 0.
python3 - "$image" > "$work/mft_runs.txt" <<'PY'
import struct, sys
f = open(sys.argv[1], "rb")
boot = f.read(512)
bps = struct.unpack_from("<H", boot, 11)[0]
spc = boot[13]
cluster = bps * spc
mft = struct.unpack_from("<Q", boot, 0x30)[0] * cluster
f.seek(mft)
rec = bytearray(f.read(1024))
at = struct.unpack_from("<H", rec, 0x14)[0]
while at + 8 < len(rec):
    t, n = struct.unpack_from("<II", rec, at)
    if t == 0xFFFFFFFF or n == 0:
        break
    if t == 0x80:
        p = at + struct.unpack_from("<H", rec, at + 0x20)[0]
        lcn = 0
        while rec[p]:
            ls, os_ = rec[p] & 15, rec[p] >> 4
            length = int.from_bytes(rec[p + 1:p + 1 + ls], "little")
            delta = int.from_bytes(rec[p + 1 + ls:p + 1 + ls + os_], "little", signed=True)
            lcn += delta
            print(lcn * cluster, length * cluster)
            p += 1 + ls + os_
        break
    at += n
PY
mft_bytes=$(awk '{ s += $2 } END { print s }' "$work/mft_runs.txt")

cat "$image" > /dev/null  # every tool reads from the page cache
read_mft() {
  while read -r offset length; do
    dd if="$image" of=/dev/null bs=1M iflag=skip_bytes,count_bytes skip="$offset" count="$length" status=none
  done < "$work/mft_runs.txt"
}
dd_s=$(time_of read_mft)
mw=$(time_of build/bin/mendwell-cli scan --mode deleted --json "$image")
mw_found=$(grep -c '"deleted":true' "$work/out.txt" || true)
tsk=$(time_of fls -r -d -f ntfs "$image")
tsk_found=$(grep -c '^[-r]/r \*' "$work/out.txt" || true)

mib=$(echo "$mft_bytes / 1048576" | bc -l)
printf '%-32s %8s %10s\n' tool seconds "deleted files"
printf '%-32s %8.3f %10s\n' "mendwell-cli scan --mode deleted" "$mw" "$mw_found"
printf '%-32s %8.3f %10s\n' "fls -r -d" "$tsk" "$tsk_found"
printf 'ratio mendwell / fls: %.2f\n' "$(echo "$mw / $tsk" | bc -l)"
printf 'MFT %.1f MiB: %.0f MiB/s through the whole scan (MFT pass, folders, listing), dd of the same bytes %.0f MiB/s\n' \
  "$mib" "$(echo "$mib / $mw" | bc -l)" "$(echo "$mib / $dd_s" | bc -l)"
