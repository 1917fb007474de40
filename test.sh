#!/usr/bin/env bash
# Builds Tarvolin with its tests and benchmarks and runs every test.
#   ./test.sh                      the ordinary build in build/
#   SANITIZE=1 ./test.sh           AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test

if [ "${SANITIZE:-0}" = 1 ]; then
  dir=${BUILD_DIR:-build-asan}
  extra=(-DTARVOLIN_SANITIZE=ON -DTARVOLIN_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
else
  dir=${BUILD_DIR:-build}
  extra=(-DTARVOLIN_BUILD_BENCH=ON)
fi

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
