#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, starting from the
# committed seed corpus (copied, so the committed one is never changed).
#   tests/fuzz/run-fuzzers.sh <build dir> [seconds per target]
# Exits non-zero when any target finds a failing input; the input is kept in
# <build dir>/fuzz-artifacts/.
set -uo pipefail
build=${1:?usage: run-fuzzers.sh <build dir> [seconds per target]}
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
artifacts="$build/fuzz-artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"

# Longest input per target: captions up to 2,000 bytes (stretched to 5,000
# by the target itself), operation streams of a few hundred steps.
declare -A maxlen=([fuzz_numbase]=512 [fuzz_htmllabel]=2100 [fuzz_hexeditor]=1200 [fuzz_settings]=600
                   [fuzz_dbusmenu]=400 [fuzz_instance]=1100)

export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES='qt.qpa.*=false'
# Qt keeps caches for the life of the process; leaks are not what this looks for.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

status=0
for target in fuzz_numbase fuzz_htmllabel fuzz_hexeditor fuzz_settings fuzz_dbusmenu fuzz_instance; do
  bin="$build/tests/fuzz/$target"
  if [ ! -x "$bin" ]; then
    echo "missing fuzz target: $bin" >&2
    status=1
    continue
  fi
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp "$here/corpus/$target/"* "$corpus/" 2>/dev/null || true
  echo "== $target: ${seconds}s"
  if ! "$bin" -max_total_time="$seconds" -max_len="${maxlen[$target]}" -len_control=20 \
        -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$corpus" >"$work/$target.log" 2>&1; then
    echo "FAIL: $target found a failing input (see $artifacts)" >&2
    tail -n 40 "$work/$target.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$work/$target.log" | tail -n 2
  fi
done
exit $status
