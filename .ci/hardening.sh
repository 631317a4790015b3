#!/usr/bin/env bash
# Hardening checks: the tool built with AddressSanitizer and
# UndefinedBehaviorSanitizer running the whole test suite, clang-tidy and
# cppcheck over the whole tree, and every fuzz target for a bounded time.
# Fails when any of them finds anything.
#
# usage: .ci/hardening.sh [sanitize] [static] [fuzz]    (default: all three)
#   FUZZ_SECONDS   time per fuzz target (default 60)
#   EDID_CORPUS    real EDIDs to seed the fuzzers (default ../shared/edid-corpus)
set -u -o pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo" || exit 1
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(sanitize static fuzz)

section() { printf '\n==== %s\n' "$*"; }

run_sanitize() {
  section "sanitize: AddressSanitizer + UndefinedBehaviorSanitizer, whole test suite"
  # Read the whole list before matching: with pipefail, "grep -q" leaving
  # early can kill cmake with SIGPIPE and fail the pipe at random.
  local presets
  presets=$(cmake --list-presets=all 2>/dev/null)
  if ! grep -q '"sanitize"' <<<"$presets"; then
    echo "no sanitize preset: CMakePresets.json must include cmake/presets-sanitize.json" >&2
    return 1
  fi
  cmake --workflow --preset sanitize
}

run_static() {
  section "static checks: clang-tidy and cppcheck"
  local build="$repo/build-static"
  # A folder configured from another source folder cannot be reused.
  if [ -f "$build/CMakeCache.txt" ] &&
     ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$repo/fuzz" "$build/CMakeCache.txt"; then
    rm -rf "$build"
  fi
  mkdir -p "$build"
  # A native clang build's compilation database, taken from the fuzz
  # folder's own configuration, which holds the tool, its tests, the
  # emulator and the fuzz targets. The fuzz build compiles the tool's sources
  # a second time; each file is checked once, with its ordinary flags.
  cmake -S "$repo/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$build/configure.log" 2>&1 \
    || { cat "$build/configure.log"; return 1; }
  mkdir -p "$build/checked"
  python3 - "$build/compile_commands.json" "$build/checked/compile_commands.json" <<'PY' || return 1
import json, sys
entries, seen = [], set()
for entry in sorted(json.load(open(sys.argv[1])), key=lambda e: "fuzzer-no-link" in e["command"]):
    if entry["file"] not in seen:
        seen.add(entry["file"])
        entries.append(entry)
json.dump(entries, open(sys.argv[2], "w"), indent=1)
PY
  local status=0
  local sources="^$repo/(app|bytes|control|desk|desk_model|display|edid|driver_link|host_attach|layout|survey|platform|emulator|maker|fuzz|tests|bench)/"
  echo "-- clang-tidy ($(clang-tidy --version | sed -n 's/.*version \([0-9.]*\).*/\1/p'))"
  local tidy_log="$build/clang-tidy.log"
  run-clang-tidy -p "$build/checked" -j 2 -quiet "$sources" >"$tidy_log" 2>&1
  local tidy_status=$?
  if [ $tidy_status -ne 0 ] || grep -qE '(warning|error):' "$tidy_log"; then
    sed 's/\x1b\[[0-9;]*m//g' "$tidy_log" | grep -E '(warning|error):' | sort -u
    echo "clang-tidy: findings (full log: $tidy_log)" >&2
    status=1
  else
    echo "clang-tidy: clean ($(grep -c '"file"' "$build/checked/compile_commands.json") translation units)"
  fi
  echo "-- cppcheck ($(cppcheck --version))"
  local cppcheck_log="$build/cppcheck.log"
  cppcheck --project="$build/checked/compile_commands.json" --file-filter="$repo/*" \
    --enable=warning,style,performance,portability --std=c++20 --inline-suppr \
    --suppressions-list="$repo/.cppcheck-suppressions" --error-exitcode=1 --quiet -j 2 \
    --template='{file}:{line}: {severity}: {message} [{id}]' >"$cppcheck_log" 2>&1
  local cppcheck_status=$?
  if [ $cppcheck_status -ne 0 ] || [ -s "$cppcheck_log" ]; then
    cat "$cppcheck_log"
    echo "cppcheck: findings" >&2
    status=1
  else
    echo "cppcheck: clean"
  fi
  return $status
}

run_fuzz() {
  section "fuzz: each target for ${FUZZ_SECONDS:-60} s"
  local args=(-t "${FUZZ_SECONDS:-60}")
  [ -n "${EDID_CORPUS:-}" ] && args+=(-c "$EDID_CORPUS")
  "$repo/fuzz/run.sh" "${args[@]}"
}

failed=()
for step in "${steps[@]}"; do
  case "$step" in
    sanitize) run_sanitize || failed+=(sanitize) ;;
    static) run_static || failed+=(static) ;;
    fuzz) run_fuzz || failed+=(fuzz) ;;
    *) echo "hardening.sh: unknown step $step" >&2; exit 2 ;;
  esac
done

section "hardening summary"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
echo "passed: ${steps[*]}"
