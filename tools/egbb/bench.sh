#!/bin/bash
# Endgame-table figures: generation of all tables into a fresh directory (processor time,
# positions per second of it, elapsed time, peak memory), how much of that time the files'
# compression takes (written again from their entries), their size on disk, and the library's
# probe times and memory.
#   tools/egbb/bench.sh <build directory>
set -eu
build=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
/usr/bin/time -f "%U %S %e %M" -o "$dir/time.txt" "$build/tirvex_egbbgen" "$dir/tables" > "$dir/progress.txt"
# Progress lines read "kqkr: 2467122 positions, ...": the legal positions of every table.
positions=$(awk '{ sum += $2 } END { print sum }' "$dir/progress.txt")
read -r user system elapsed peak < "$dir/time.txt"
awk -v n="$positions" -v u="$user" -v s="$system" -v e="$elapsed" -v m="$peak" 'BEGIN {
  printf "tables: %d positions in %.1f s of CPU (%.1f s user, %.1f s system; %.1f s elapsed): %.1f M positions/s of CPU, peak memory %d KB\n",
    n, u + s, u, s, e, n / (u + s) / 1e6, m }'
echo "size on disk: $(du -sb "$dir/tables" | cut -f1) bytes in $(ls "$dir/tables" | wc -l) files"
"$build/tirvex_egbb_bench" "$dir/tables" | tee "$dir/library.txt"
# "writing the 35 table files again from their entries: 9.9 s of CPU, ...": the compression's
# share; the rest of the generator's time is the retrograde analysis.
compression=$(sed -n 's/^writing the .*: \([0-9.]*\) s of CPU.*/\1/p' "$dir/library.txt")
awk -v n="$positions" -v u="$user" -v s="$system" -v c="$compression" 'BEGIN {
  printf "of the tables'"'"' %.1f s of CPU: compression %.1f s, analysis %.1f s (%.1f M positions/s of CPU)\n",
    u + s, c, u + s - c, n / (u + s - c) / 1e6 }'

