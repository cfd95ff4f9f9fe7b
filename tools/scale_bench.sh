#!/bin/bash
# The tools on large collections: the master games cut into collections of 5,000, 50,000 and
# 200,000 games (tools/cut_games.awk), each run through pgn-extract (parsing, checking and
# writing the games: the yardstick), pgn2game into a new GAME file and again (every game then
# a duplicate), and the book pipeline of tools/makebook.sh (pgn2pos, sort, dbcreate,
# bookcreate), printing the time and peak memory of every stage.
#
#   tools/scale_bench.sh <tirvex binary> [sizes="5000 50000 200000"]
set -eu
engine=$(realpath "$1")
sizes=${2:-5000 50000 200000}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
export PATH="$PATH:/usr/games"
for tool in pgn-extract /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "scale: $tool is missing (make bench installs it)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
gzip -dc "$source_dir/data/masters_5000.pgn.gz" > masters.pgn

# Runs a command line, printing its wall and processor time and peak memory after label.
measure() {
  local label=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o times "$@" > out 2>&1
  awk -v what="$label" '{ printf "  %-34s %7.2f s wall %7.2f s cpu %6.0f MB\n", what, $1, $2 + $3, $4 / 1024 }' times
}
tool() { printf 'xboard\n%s\nquit\n' "$1" | "$engine"; }

for games in $sizes; do
  awk -v cuts=41 -v games="$games" -f "$source_dir/tools/cut_games.awk" masters.pgn > cut.pgn
  echo "$games games, $(($(stat -c %s cut.pgn) / 1048576)) MB of PGN:"
  measure "pgn-extract -s -o out.pgn" pgn-extract -s -o extracted.pgn cut.pgn
  rm -f extracted.pgn
  export -f tool
  export engine
  measure "pgn2game into a new file" bash -c 'tool "pgn2game cut.pgn cut.game"'
  grep -a -o 'converted: [0-9]* games. (skipped: [0-9]*)' out | sed 's/^/    /'
  measure "pgn2game again (all duplicates)" bash -c 'tool "pgn2game cut.pgn cut.game"'
  rm -f cut.game
  "$source_dir/tools/makebook.sh" "$engine" cut.pgn book | sed -n 's/^\(pgn2pos\|sort\|dbcreate\|bookcreate\):/  &/p'
  rm -rf book
done
