#!/usr/bin/env bash
# Builds Tarvolin with everything the project promises (tests, examples, the
# Qt Designer plugin, benchmarks), runs every test and checks that each test
# named in tests/declared-tests.txt ran.
#   ./test.sh                      the ordinary build in build/
#   SANITIZE=1 ./test.sh           AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
# A test whose outside programs are missing is skipped with a message; with
# CI=true a skipped test fails the run.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test

# Every option is set here, whatever the build folder was configured with
# before (run.sh or a hand-made build may share it).
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLIN_BUILD_TESTS=ON -DTARVOLIN_BUILD_EXAMPLES=ON
         -DTARVOLIN_BUILD_DESIGNER_PLUGIN=ON -DTARVOLIN_FUZZ=OFF)
if [ "${SANITIZE:-0}" = 1 ]; then
  dir=${BUILD_DIR:-build-asan}
  options+=(-DTARVOLIN_SANITIZE=ON -DTARVOLIN_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
else
  dir=${BUILD_DIR:-build}
  options+=(-DTARVOLIN_SANITIZE=OFF -DTARVOLIN_BUILD_BENCH=ON)
fi

cmake -S . -B "$dir" "${options[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
results=$(cd "$dir" && pwd)/ctest-results.xml
rm -f "$results"
status=0
ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$(nproc)" --output-junit "$results" || status=$?
tests/check-declared.sh "$results" || status=1
exit $status
