#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz/) and runs each for
# SECONDS (default 60), seeded with the test fixtures. Crashes are written
# to build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/install-deps.sh
command -v clang++ >/dev/null || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo; $sudo apt-get install -y -qq clang libclang-rt-14-dev >/dev/null; }
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMENDWELL_FUZZ=ON -DMENDWELL_TESTS=OFF >/dev/null
cmake --build build-fuzz --target image_engines_fuzz carving_fuzz
fixtures=build-fuzz/fixtures
[ -f "$fixtures/fat12_deleted.img" ] || bash tests/fixtures/make_all.sh "$PWD/$fixtures" >/dev/null
mkdir -p build-fuzz/crashes build-fuzz/corpus/images build-fuzz/corpus/carving
cp -n "$fixtures"/fat12_deleted.img "$fixtures"/fat12.img "$fixtures"/ntfs/ntfs_mixed.img build-fuzz/corpus/images/ 2>/dev/null || true
cp -n "$fixtures"/carving/samples/* build-fuzz/corpus/carving/ 2>/dev/null || true
for target in image_engines_fuzz carving_fuzz; do
  corpus=build-fuzz/corpus/${target%_fuzz}
  [ "$target" = image_engines_fuzz ] && corpus=build-fuzz/corpus/images
  echo "== $target ($seconds s)"
  build-fuzz/bin/$target -max_total_time="$seconds" -max_len=$((8 << 20)) -rss_limit_mb=4096 -timeout=20 \
    -artifact_prefix=build-fuzz/crashes/ "$corpus" 2>&1 | tail -3
done
