#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/, seeds their corpora and
# runs each one in turn for a bounded time. Exits non-zero when any target
# finds a crash, a sanitizer report, a broken rule, a time-out or a leak; the
# input that did it is kept under build-fuzz/artifacts/<target>/.
#
# usage: fuzz/run.sh [-t SECONDS] [-c EDID_FOLDER] [-B BUILD_DIR] [--no-build] [TARGET...]
#   -t SECONDS      time per target (default 60, or $FUZZ_SECONDS)
#   -c EDID_FOLDER  a folder of real EDIDs to seed from
#                   (default: ../shared/edid-corpus beside the repository)
#   -B BUILD_DIR    build folder (default build-fuzz/ in the repository)
#   --no-build      use the targets already in the build folder
#   TARGET...       some of: load_fuzz inspect_fuzz mode_fuzz reply_fuzz make_fuzz
#                   saved_layout_fuzz
# The corpora grow in fuzz/corpus-<target>/ (not committed) from run to run;
# fuzz/seeds/<target>/ holds the minimised corpus of the last long campaign.
set -u -o pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
edid_folder="$repo/../shared/edid-corpus"
build_dir="$repo/build-fuzz"
build=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -t) seconds=$2; shift 2 ;;
    -c) edid_folder=$2; shift 2 ;;
    -B) build_dir=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    --no-build) build=0; shift ;;
    -h|--help) awk 'NR > 1 && /^#/ { print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    -*) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(load_fuzz inspect_fuzz mode_fuzz reply_fuzz make_fuzz saved_layout_fuzz)

if [ "$build" = 1 ]; then
  mkdir -p "$build_dir"
  cmake -S "$repo/fuzz" -B "$build_dir" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$build_dir/configure.log" 2>&1 \
    || { cat "$build_dir/configure.log"; echo "run.sh: configure failed" >&2; exit 1; }
  cmake --build "$build_dir" --target fuzz_targets -j2 || { echo "run.sh: build failed" >&2; exit 1; }
fi

seed_folders=("$repo/samples")
[ -d "$repo/tests/data" ] && seed_folders+=("$repo/tests/data")
if [ -d "$edid_folder" ]; then
  seed_folders+=("$edid_folder")
else
  echo "run.sh: no EDID folder at $edid_folder; seeding from the project's files only"
fi
python3 "$repo/fuzz/seed_corpus.py" "$repo/fuzz" "${seed_folders[@]}" || exit 1
# The minimised corpus of the last long campaign, so that a short run starts
# where that one ended.
for target in "${targets[@]}"; do
  if [ -d "$repo/fuzz/seeds/$target" ]; then
    mkdir -p "$repo/fuzz/corpus-$target"
    cp -n "$repo/fuzz/seeds/$target"/* "$repo/fuzz/corpus-$target/" 2>/dev/null
  fi
done

# Longest input worth trying: past the loader's 2048 kept characters, one
# image plus its count byte, a long name, a whole request; a saved layout
# of a few displays.
max_len() {
  case "$1" in
    load_fuzz) echo 8192 ;;
    inspect_fuzz) echo 1025 ;;
    mode_fuzz) echo 1024 ;;
    reply_fuzz) echo 1056 ;;
    make_fuzz) echo 49 ;;
    saved_layout_fuzz) echo 4096 ;;
    *) echo 4096 ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
mkdir -p "$build_dir/logs"
for target in "${targets[@]}"; do
  binary="$build_dir/fuzz/$target"
  [ -x "$binary" ] || binary="$build_dir/$target"
  if [ ! -x "$binary" ]; then
    echo "run.sh: no fuzz target $target" >&2
    failed=1
    continue
  fi
  corpus="$repo/fuzz/corpus-$target"
  artifacts="$build_dir/artifacts/$target"
  log="$build_dir/logs/$target.log"
  mkdir -p "$corpus" "$artifacts"
  "$binary" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1
  status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<<"$last")
  findings=$(find "$artifacts" -type f | wc -l)
  printf '%-13s %4ss  execs %-10s cov %-5s ft %-6s corpus %-12s findings %s  (exit %s)\n' \
    "$target" "$seconds" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$findings" "$status"
  if [ "$status" != 0 ] || [ "$findings" != 0 ]; then
    failed=1
    echo "---- $target: last lines of $log" >&2
    tail -40 "$log" >&2
  fi
done
exit $failed
