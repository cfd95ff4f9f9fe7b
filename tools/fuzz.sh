#!/bin/bash
# Runs every fuzz target of a fuzz build for a number of seconds each, starting from its seed
# corpus (copied, so that what the fuzzer learns stays out of the repository), and prints the
# executions run. A crash, sanitizer report, leak or hang fails the run; the input that caused
# it is kept in <fuzz build>/findings/.
#
#   tools/fuzz.sh <fuzz build directory> [seconds per target=60]
set -u
build=$(realpath "$1")
seconds=${2:-60}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
findings="$build/findings"
mkdir -p "$findings"
status=0
for target in "$build"/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d -p /dev/shm 2> /dev/null || mktemp -d)  # in memory: runs add files to it
  cp -r "$source_dir/tests/fuzz/corpus/$name/." "$corpus" 2> /dev/null
  options=(-max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 -max_len=4096 -print_final_stats=1
    -artifact_prefix="$findings/$name-")
  [ -f "$source_dir/tests/fuzz/$name.dict" ] && options+=(-dict="$source_dir/tests/fuzz/$name.dict")
  "$target" "${options[@]}" "$corpus" > "$build/$name.out" 2>&1
  result=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$name.out" | tail -1)
  if [ $result -eq 0 ]; then
    echo "fuzz $name: ${runs:-0} runs in ${seconds} s, clean"
  else
    echo "fuzz $name: FAILED after ${runs:-?} runs (see $build/$name.out and $findings)"
    tail -30 "$build/$name.out"
    status=1
  fi
  rm -rf "$corpus"
done
exit $status
