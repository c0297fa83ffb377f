#!/usr/bin/env bash
# Builds Mendwell and runs every test. With MENDWELL_SANITIZE=1 the build
# uses AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

if [ "${MENDWELL_SANITIZE:-0}" = 1 ]; then
  build=build-asan
  flags=(-DMENDWELL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
else
  build=build
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
