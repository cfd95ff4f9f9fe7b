#!/bin/bash
# Speed of the conversion commands on the whole master collection (data/masters_5000.pgn.gz):
# each command runs alone in a fresh engine (start-up included, about 10 ms), several times;
# the median wall time is printed with the games per second.
#
#   tools/records_bench.sh <tirvex binary> [runs=5]
set -eu
engine=$(realpath "$1")
runs=${2:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
gzip -dc "$source_dir/data/masters_5000.pgn.gz" > m.pgn
handshake='xboard\nprotover 2\naccepted done\naccepted setboard\naccepted done\n'
printf "${handshake}pgn2game m.pgn m.game\nquit\n" | "$engine" > /dev/null

# Median seconds of running the command line $1 in a fresh engine, after running $2 (cleanup).
median() {
  local times=()
  for _ in $(seq "$runs"); do
    eval "$2"
    local start=$(date +%s.%N)
    printf "${handshake}$1\nquit\n" | "$engine" > /dev/null
    times+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

report() {
  local seconds=$(median "$2" "$3")
  awk -v what="$1" -v s="$seconds" 'BEGIN { printf "%-42s %6.2f s  %6.0f games/s\n", what, s, 4998 / s }'
}
report "pgn2game (5000 games into a new file)" "pgn2game m.pgn new.game" "rm -f new.game"
report "pgn2game (again: every game a duplicate)" "pgn2game m.pgn m.game" ":"
report "pgn2pos" "pgn2pos m.pgn" ":"
report "game2pos" "game2pos m.game all.pos" "rm -f all.pos"
report "game2pgn" "game2pgn m.game r.pgn" "rm -f r.pgn"
