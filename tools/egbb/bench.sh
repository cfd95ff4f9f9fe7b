#!/bin/bash
# Endgame-table figures: generation time and peak memory of all tables into a fresh
# directory, their size on disk, and the library's probe times and memory.
#   tools/egbb/bench.sh <build directory>
set -eu
build=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
/usr/bin/time -f "generation of all tables: %e s elapsed, %U s user, peak memory %M KB" \
  "$build/tirvex_egbbgen" "$dir/tables" > "$dir/progress.txt"
echo "size on disk: $(du -sb "$dir/tables" | cut -f1) bytes in $(ls "$dir/tables" | wc -l) files"
"$build/tirvex_egbb_bench" "$dir/tables"
