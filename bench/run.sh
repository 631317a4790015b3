#!/usr/bin/env bash
# Whole-tool benchmarks: the list and attach commands against the floor of
# their work (cat reading the same files, a process that does nothing), and
# velmorin-edid --attach against velmorin /d on the same EDID.
#
#   bench/run.sh [EDID corpus folder]
#
# Builds velmorin in Release into build-bench/ when needed, prepares its
# inputs in bench/work/ and leaves every result there (hyperfine Markdown and
# JSON, peak memory, summary.md). The corpus defaults to ../shared/edid-corpus
# beside the repository.
#
# Environment:
#   VELMORIN=path   measure this binary instead of building one (velmorin-edid
#                   and emulator/kovra-driver-emulator are taken from beside it)
#   QUICK=1         fewer runs, for trying the script out
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
corpus=${1:-$root/../shared/edid-corpus}
work=$here/work
build=$root/build-bench
# No driver at this path: every /d measured finds none (see step 3).
export VELMORIN_DRIVER_SOCKET=$work/no-driver.sock

if [ "${QUICK:-0}" = 1 ]; then
  min_runs=3 attach_runs=200 memory_runs=2
else
  min_runs=10 attach_runs=1000 memory_runs=5
fi

Need() {
  command -v "$1" >/dev/null 2>&1 || { echo "run.sh: $1 is missing (apt-get install -y $2)" >&2; exit 1; }
}
Need hyperfine hyperfine
Need edid-decode edid-decode
Need python3 python3
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (apt-get install -y time)" >&2; exit 1; }
[ -d "$corpus" ] || { echo "run.sh: no EDID corpus at $corpus (give its folder as the argument)" >&2; exit 1; }

if [ -n "${VELMORIN:-}" ]; then
  velmorin=$VELMORIN
else
  Need cmake cmake
  if [ ! -f "$build/CMakeCache.txt" ]; then
    generator=()
    command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" --target velmorin velmorin_edid kovra_driver_emulator -j2 >/dev/null
  velmorin=$build/velmorin
fi
velmorin=$(cd "$(dirname "$velmorin")" && pwd)/$(basename "$velmorin")
maker=$(dirname "$velmorin")/velmorin-edid
emulator=$(dirname "$velmorin")/emulator/kovra-driver-emulator

echo "== preparing inputs in $work"
python3 "$here/prepare_inputs.py" "$corpus" "$work"
one=$work/one/1920x1080x60.bin
txt=$work/txt-1000
rm -rf "$work/txt-copy"

Hyperfine() {
  local name=$1
  shift
  echo
  echo "== $name"
  hyperfine --shell=none --style basic \
    --export-json "$work/$name.json" --export-markdown "$work/$name.md" "$@"
}

# 1. The list command over 1000 binary EDIDs, against the I/O floor (one
# process reading the same files) and against one edid-decode per file.
Hyperfine list-binary --warmup 3 --min-runs "$min_runs" \
  -n "velmorin /l" "$velmorin /l $work/bin-1000" \
  -n "cat (floor)" "find $work/bin-1000 -type f -exec cat {} +" \
  -n "edid-decode per file" "find $work/bin-1000 -type f -exec edid-decode {} ;"

# 2. The list command over 1000 text-form files, which writes a copy beside
# each. Every run of a fresh case starts with no copies and nothing waiting
# to be written back; the second-run case finds the copies of the run before
# it (the walk then collects 495 text files and 495 copies).
fresh="sh -c 'find $txt -name \"*.txt.bin\" -delete; rm -rf $work/txt-copy; sync'"
Hyperfine list-text --warmup 2 --min-runs "$min_runs" \
  --prepare "$fresh" -n "velmorin /l" "$velmorin /l $txt" \
  --prepare "sync" -n "velmorin /l, copies already there" "$velmorin /l $txt" \
  --prepare "$fresh" -n "cp -R (read+write floor)" "cp -R $txt $work/txt-copy" \
  --prepare "$fresh" -n "cat (read floor)" "find $txt -type f -exec cat {} +"
find "$txt" -name '*.txt.bin' -delete
rm -rf "$work/txt-copy"

# 3. The attach command with no driver, against a process that does nothing.
# The tool looks for its driver at a path of this run's own, where nothing is,
# so a driver or a test serving the default socket is neither met nor touched.
attach=(--warmup 50 --runs "$attach_runs" -n "velmorin /d" "$velmorin /d $one" -n "true (floor)" "true")
Hyperfine attach "${attach[@]}"

# 4. velmorin-edid --attach against velmorin /d on the same EDID, the file
# made by the maker and named by its mode: with the emulator serving a socket
# of this run's own, and with no driver (exit status 4, hence -i).
mkdir -p "$work/made"
"$maker" 1920x1080x60 -o "$work/made/" --force >/dev/null
made=$work/made/1920x1080x60.bin
driver=$work/driver.sock
rm -f "$driver"
VELMORIN_DRIVER_SOCKET=$driver "$emulator" --timeout 3600 >/dev/null 2>&1 &
emulator_pid=$!
trap 'kill $emulator_pid 2>/dev/null || true' EXIT
while [ ! -S "$driver" ]; do kill -0 $emulator_pid || exit 1; sleep 0.1; done
VELMORIN_DRIVER_SOCKET=$driver Hyperfine maker-attach --warmup 50 --runs "$attach_runs" \
  -n "velmorin /d, driver" "$velmorin /d $made" \
  -n "velmorin-edid --attach, driver" "$maker 1920x1080x60 --attach"
kill $emulator_pid
Hyperfine maker-attach-no-driver -i --warmup 50 --runs "$attach_runs" \
  -n "velmorin /d, no driver" "$velmorin /d $made" \
  -n "velmorin-edid --attach, no driver" "$maker 1920x1080x60 --attach"

# 5. Peak memory (largest of several runs).
echo
echo "== peak memory (maximum resident set size)"
PeakKiB() {
  local peak=0 kib
  for _ in $(seq "$memory_runs"); do
    kib=$(/usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1)
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  echo "$peak"
}
{
  printf 'command\tpeak_kib\n'
  printf 'velmorin /l, 1000 binary\t%s\n' "$(PeakKiB "$velmorin" /l "$work/bin-1000")"
  printf 'velmorin /l, 10000 binary\t%s\n' "$(PeakKiB "$velmorin" /l "$work/bin-10000")"
  printf 'velmorin /l, 1000 text\t%s\n' "$(PeakKiB "$velmorin" /l "$txt")"
  find "$txt" -name '*.txt.bin' -delete
  printf 'velmorin /d\t%s\n' "$(PeakKiB "$velmorin" /d "$one")"
  printf 'true\t%s\n' "$(PeakKiB true)"
  printf 'cat (one file)\t%s\n' "$(PeakKiB cat "$one")"
} >"$work/memory.tsv"
column -t -s $'\t' "$work/memory.tsv"

# 6. Scaling: the walk collects at most 1000 entries, so beyond that the
# list command's time must stop growing while the floor keeps growing.
Hyperfine scaling --warmup 3 --min-runs "$min_runs" \
  -n "velmorin /l, 100" "$velmorin /l $work/bin-100" \
  -n "velmorin /l, 1000" "$velmorin /l $work/bin-1000" \
  -n "velmorin /l, 10000" "$velmorin /l $work/bin-10000" \
  -n "cat, 100" "find $work/bin-100 -type f -exec cat {} +" \
  -n "cat, 1000" "find $work/bin-1000 -type f -exec cat {} +" \
  -n "cat, 10000" "find $work/bin-10000 -type f -exec cat {} +"

# The same scaling in work done, free of the noise of a shared machine:
# system calls made and files reported at each tree size.
if command -v strace >/dev/null 2>&1; then
  {
    printf 'files in tree\tsystem calls\treported files\n'
    for count in 100 1000 10000; do
      strace -c -o "$work/strace-$count.txt" "$velmorin" /l "$work/bin-$count" >"$work/list-$count.txt"
      calls=$(awk '$NF == "total" { print $4 }' "$work/strace-$count.txt")
      reported=$(grep -c 'EDID version [0-9]* revision' "$work/list-$count.txt" || true)
      printf '%s\t%s\t%s\n' "$count" "$calls" "$reported"
    done
  } >"$work/scaling-work.tsv"
  echo
  column -t -s $'\t' "$work/scaling-work.tsv"
fi

echo
python3 "$here/summarize.py" "$work" "$velmorin" | tee "$work/summary.md"
