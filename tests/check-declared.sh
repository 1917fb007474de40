#!/usr/bin/env bash
# Checks a ctest run against tests/declared-tests.txt, so that a suite that
# silently drops out of the build fails instead of passing unnoticed.
#   tests/check-declared.sh <ctest JUnit file> [declared list]
# The JUnit file is what `ctest --output-junit` wrote. Fails when a declared
# test did not run at all, when a test ran that is not declared, or when a
# declared test failed; a skipped test (exit status 77) fails only with
# CI=true and is reported otherwise.
set -euo pipefail
results=${1:?usage: check-declared.sh <ctest JUnit file> [declared list]}
declared_file=${2:-$(dirname "$0")/declared-tests.txt}

[ -f "$results" ] || { echo "check-declared: no test results in $results" >&2; exit 1; }
mapfile -t declared < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$declared_file" | grep -v '^$')

# One line per test case: name, status (run, fail or notrun), why ctest did
# not run it, and the first line the test printed.
mapfile -t cases < <(awk '
  function flush() { if (name != "") print name "\t" status "\t" skip "\t" out; name = "" }
  function attr(a,   v) { if (!match($0, a "=\"[^\"]*\"")) return ""
                           v = substr($0, RSTART, RLENGTH); sub(/^[^"]*"/, "", v); sub(/"$/, "", v); return v }
  /<testcase / { flush(); name = attr("name"); status = attr("status"); skip = ""; out = "" }
  /<skipped / { skip = attr("message") }
  /<system-out>/ { out = $0; sub(/.*<system-out>/, "", out); sub(/<\/system-out>.*/, "", out) }
  END { flush() }' "$results")

declare -A status skip out is_declared
for c in "${cases[@]}"; do
  IFS=$'\t' read -r n s k o <<<"$c"
  status[$n]=$s skip[$n]=$k out[$n]=$o
done

passed=0 failed=0 skipped=0 problems=()
for n in "${declared[@]}"; do
  is_declared[$n]=1
  s=${status[$n]:-missing}
  if [ "$s" = notrun ] && [[ "${skip[$n]}" != SKIP_RETURN_CODE=* ]]; then
    s=fail
  fi
  case "$s" in
    run) passed=$((passed + 1)) ;;
    fail) failed=$((failed + 1)); problems+=("$n: failed${skip[$n]:+ (${skip[$n]})}") ;;
    notrun)
      skipped=$((skipped + 1))
      if [ "${CI:-}" = true ]; then problems+=("$n: skipped, which CI does not accept: ${out[$n]}")
      else echo "check-declared: $n skipped: ${out[$n]}"; fi ;;
    missing) failed=$((failed + 1)); problems+=("$n: declared but not in this build (left out at configure time?)") ;;
  esac
done
for c in "${cases[@]}"; do
  n=${c%%$'\t'*}
  [ -n "${is_declared[$n]:-}" ] || problems+=("$n: is in this build but not declared in tests/declared-tests.txt")
done

for p in "${problems[@]}"; do echo "check-declared: $p"; done
echo "declared: $passed passed, $failed failed, $skipped skipped"
[ ${#problems[@]} -eq 0 ]
