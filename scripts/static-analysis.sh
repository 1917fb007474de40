#!/usr/bin/env bash
# Static analysis of Tarvolin's own code: clang-tidy with the checks in
# .clang-tidy, then cppcheck. Both read the compile commands of a build
# folder, so they see the same defines, include paths and generated form
# headers as the compiler.
#   scripts/static-analysis.sh [build dir]     (default: build-analysis)
#   ONLY=clang-tidy or ONLY=cppcheck runs just that tool.
# Exits non-zero when either tool reports anything. A finding that is not a
# fault is suppressed where it occurs, with the reason beside it
# (// NOLINT(<check>) for clang-tidy, // cppcheck-suppress <id> for cppcheck).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-analysis}
jobs=${JOBS:-2}
only=${ONLY:-}

# The project's own sources: the libraries, the program, the Designer plugin
# and the example host. Tests and benchmarks are left out (test macros and
# benchmark loops are not production code), and so is everything generated.
dirs=(app numbase platform controls hexcontrol desktop designer examples)

cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
# Generated headers (forms, moc, resources) must exist before analysis.
autogen=$(cmake --build "$build" --target help | sed -n 's/^\.\.\. \(.*_autogen\)$/\1/p' | grep -v -E '^(tst_|bench_)' || true)
# shellcheck disable=SC2086
cmake --build "$build" -j"$jobs" --target $autogen >/dev/null

mapfile -t sources < <(for d in "${dirs[@]}"; do
  [ -d "$d" ] && find "$d" -name '*.cpp' -not -path '*/build*'
done | sort)
if [ ${#sources[@]} -eq 0 ]; then
  echo "no sources found" >&2
  exit 1
fi

status=0
tidy_log=$(mktemp)
db_dir=$(mktemp -d)
trap 'rm -f "$tidy_log"; rm -rf "$db_dir"' EXIT

if [ "$only" != cppcheck ]; then
echo "== clang-tidy (${#sources[@]} files, $jobs jobs)"
if command -v run-clang-tidy >/dev/null; then
  # run-clang-tidy takes regular expressions matched against the full paths.
  regex=$(printf '%s|' "${sources[@]/#/$root/}")
  regex="^(${regex%|})\$"
  run-clang-tidy -quiet -j "$jobs" -p "$build" "$regex" >"$tidy_log" 2>&1 || status=1
else
  printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -n 4 clang-tidy --quiet -p "$build" >"$tidy_log" 2>&1 || status=1
fi
# Only the diagnostics, not the progress lines.
grep -E '(warning|error): ' "$tidy_log" | sort -u || true
if grep -qE '(warning|error): ' "$tidy_log"; then
  status=1
fi
fi

if [ "$only" != clang-tidy ]; then
echo "== cppcheck"
# cppcheck reads a compile database holding only the sources above (the full
# one also names test and generated files that need not exist yet).
python3 - "$build/compile_commands.json" "$db_dir/compile_commands.json" "$root" "${sources[@]}" <<'PY'
import json, os, sys
src, dst, root, *files = sys.argv[1:]
wanted = {os.path.join(root, f) for f in files}
entries = [e for e in json.load(open(src))
           if os.path.normpath(os.path.join(e["directory"], e["file"])) in wanted]
json.dump(entries, open(dst, "w"), indent=1)
PY
# --library=qt knows Qt's macros (signals, slots, Q_OBJECT, emit).
# missingIncludeSystem: system and Qt headers are not analysed.
# Anything located in generated code (moc output, forms) under the build
#   folder. cppcheck does not read Qt's headers, so the moc output revision
#   those headers define is passed in, or a unit including its .moc file
#   stops at moc's version guard and is not analysed at all.
# unusedFunction: needs the whole program at once and cannot see functions
#   called only from forms, Designer or other folders' tests.
moc_rev=$(grep -rhoE 'Q_MOC_OUTPUT_REVISION != [0-9]+' "$build" --include='*.moc' --include='moc_*.cpp' \
          | head -n 1 | grep -oE '[0-9]+$' || true)
cppcheck --project="$db_dir/compile_commands.json" --library=qt \
  ${moc_rev:+-DQ_MOC_OUTPUT_REVISION=$moc_rev} \
  --enable=warning,performance,portability --inline-suppr \
  --suppress=missingIncludeSystem --suppress=unusedFunction \
  --suppress="*:$(cd "$build" && pwd)/*" \
  --error-exitcode=1 -j "$jobs" --quiet \
  --template='{file}:{line}: {severity}: {message} [{id}]' \
  || status=1
fi

if [ $status -ne 0 ]; then
  echo "static analysis: findings above" >&2
else
  echo "static analysis: clean"
fi
exit $status
