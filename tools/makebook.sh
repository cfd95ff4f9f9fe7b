#!/bin/bash
# Builds an opening book from PGN games with the engine's own tool commands, in a scratch
# directory, printing each stage with its figures:
#   pgn2pos     the 16 POS files 0.pos .. F.pos (positions of the first 64 plies of every game)
#   sort        each file sorted by key in the C locale, concatenated 0..F: sorted as a whole
#               (in at most SORT_MEMORY of memory, default 200M, spilling to the scratch directory)
#   dbcreate    the statistics databases, then named white.db and black.db
#   bookcreate  the book files bookwtm/bookbtm .mbx/.mbk
# Only when every stage succeeded do the four book files replace those of the book directory
# (each by a rename; a secondary book in its 2/ subdirectory is left alone).
#
#   tools/makebook.sh [--missing] <tirvex binary> <PGN file, may be gzip-compressed> <book directory> [database directory]
#
# --missing builds only when the book directory lacks one of the four files. With a database
# directory, white.db and black.db are kept there.
set -euo pipefail

missing_only=0
if [ "${1:-}" = --missing ]; then
  missing_only=1
  shift
fi
if [ $# -lt 3 ]; then
  echo "usage: tools/makebook.sh [--missing] <tirvex binary> <PGN file> <book directory> [database directory]"
  exit 2
fi
book_files=(bookwtm.mbx bookwtm.mbk bookbtm.mbx bookbtm.mbk)
book=$(realpath -m "$3")
if [ $missing_only -eq 1 ]; then
  complete=1
  for file in "${book_files[@]}"; do [ -f "$book/$file" ] || complete=0; done
  [ $complete -eq 1 ] && exit 0
fi
binary=$(realpath "$1")
pgn=$(realpath "$2")
databases=${4:+$(realpath -m "$4")}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tirvex-book-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

fail() {
  echo "makebook: $1 failed; the book in $book is unchanged"
  [ -f "$2" ] && tail -5 "$2"
  exit 1
}

# Seconds since the epoch with milliseconds, and the time since a start.
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
# count per second over a duration
rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.0f", (t > 0 ? n / t : 0) }'; }

# Runs a command line, noting its peak memory in megabytes in $peak when GNU time is at hand.
peak=""
measured() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o "$scratch/peak" "$@"
    local status=$?
    peak=", peak $(awk '{ printf "%.0f", $1 / 1024 }' "$scratch/peak") MB"
    return $status
  fi
  "$@"
}
# Runs one tool command in the engine, started as from a console (the first word is not
# xboard), in the scratch directory; the output goes to a file.
tool() { measured "$binary" > "$2" <<< "$(printf 'tools\n%s\nquit\n' "$1")"; }

start=$(now)
case "$pgn" in
  *.gz) gzip -dc "$pgn" > games.pgn ;;
  *) ln -s "$pgn" games.pgn ;;
esac

t=$(now)
tool "pgn2pos games.pgn" pgn2pos.out || fail pgn2pos pgn2pos.out
grep -q "finished" pgn2pos.out || fail pgn2pos pgn2pos.out
games=$(sed -n 's/^converted: \([0-9]*\) games. (skipped: \([0-9]*\))$/\1 \2/p' pgn2pos.out | tail -1)
positions=$(cat ./*.pos | wc -l)
echo "pgn2pos:    ${games% *} games (${games#* } skipped), $positions positions in 16 POS files, $(since "$t") s$peak"

t=$(now)
export SORT_MEMORY=${SORT_MEMORY:-200M} scratch
# Each POS file goes once it is sorted, so that the disk holds the positions about twice at most.
measured bash -c 'for digit in 0 1 2 3 4 5 6 7 8 9 A B C D E F; do
  LC_ALL=C sort -S "$SORT_MEMORY" -T "$scratch" "$digit.pos" && rm "$digit.pos" || exit 1; done' > positions.pos ||
  fail sort /dev/null
echo "sort:       $(wc -l < positions.pos) positions sorted by key, $(since "$t") s$peak"

t=$(now)
tool "dbcreate positions.pos book" dbcreate.out || fail dbcreate dbcreate.out
grep -q "^created\.$" dbcreate.out || fail dbcreate dbcreate.out
seconds=$(since "$t")
rm positions.pos
mv book_white.db white.db
mv book_black.db black.db
white=$(($(stat -c %s white.db) / 54))
black=$(($(stat -c %s black.db) / 54))
echo "dbcreate:   $((white + black)) records ($white white to move, $black black to move)," \
  "$seconds s: $(rate $((2 * positions)) "$seconds") lines/s read, $(rate $((white + black)) "$seconds") records/s$peak"

t=$(now)
tool bookcreate bookcreate.out || fail bookcreate bookcreate.out
grep -q "^created\.$" bookcreate.out || fail bookcreate bookcreate.out
grep -q -E "Cannot|error" bookcreate.out && fail bookcreate bookcreate.out
seconds=$(since "$t")
after_black=$(($(stat -c %s bookbtm.mbk) / 6))
after_white=$(($(stat -c %s bookwtm.mbk) / 6))
echo "bookcreate: $((after_black + after_white)) book positions ($after_black after a white move," \
  "$after_white after a black move), $seconds s: $(rate $((white + black)) "$seconds") records/s$peak"

mkdir -p "$book"
incoming=$(mktemp -d "$book/.incoming-XXXXXX")
cp "${book_files[@]}" "$incoming/"
for file in "${book_files[@]}"; do mv "$incoming/$file" "$book/$file"; done
rmdir "$incoming"
if [ -n "$databases" ]; then
  mkdir -p "$databases"
  mv white.db black.db "$databases/"
fi
size=$(cd "$book" && du -cb "${book_files[@]}" | tail -1 | cut -f1)
echo "book:       $book, $size bytes, built in $(since "$start") s"
