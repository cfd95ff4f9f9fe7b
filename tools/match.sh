#!/bin/bash
# Plays a match of Tirvex against fairymax under the real xboard interface, headless under
# xvfb, with pondering on, and prints Tirvex's score.
#
#   tools/match.sh <tirvex binary> [games=20] [time per control=1] [increment=1] [keep dir] [moves per control]
#
# The time is xboard's: minutes, or minutes:seconds; the increment is in seconds and may have
# decimals. With a number of moves per control the increment is not used: the time comes
# again after every control.
#
# Exits 1 when a game ended by an illegal move, a time forfeit, a false result claim, a
# crash or a disconnect, when Tirvex.log shows that a move was refused ("MakeRealMove
# ILLEGAL") or no book move followed by a search, when no prediction came true while
# pondering ("GOOD PONDER"), or when Tirvex scored no point at all (a sign error would lose
# every game). Exits 77 when xboard, xvfb-run or fairymax is missing, except under CI
# (CI=true), where that is a failure.
# The games, xboard's debug file and the engine's log are kept in the fifth argument's
# directory when one is given (otherwise in a temporary directory that is removed).
set -u

binary=$(realpath "$1")
games=${2:-20}
control=${3:-1}
increment=${4:-1}
keep=${5:-}
moves_per_control=${6:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
export PATH="$PATH:/usr/games"

for tool in xboard xvfb-run fairymax; do
  if ! command -v "$tool" > /dev/null; then
    echo "match: $tool is not installed (make test installs it)"
    [ "${CI:-}" = true ] && exit 1
    exit 77
  fi
done

if [ -n "$keep" ]; then
  work=$(realpath -m "$keep")
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/engine" "$work/home"
rm -f "$work/games.pgn" "$work/debug.txt" "$work/engine/Tirvex.log"
cp "$source_dir/run/Tirvex.ini" "$work/engine/Tirvex.ini"
# Tirvex plays from the default book, built from the shipped games when missing.
"$source_dir/tools/makebook.sh" --missing "$binary" "$source_dir/data/masters_5000.pgn.gz" "$source_dir/run/book" ||
  { echo "match: the default book could not be built"; exit 1; }
ln -sfn "$source_dir/run/book" "$work/engine/book"

# A game of at most 200 moves a side lasts at most both clocks with their increments or new
# controls; the limit doubles that and adds time for xboard to start the engines.
limit=$(echo "$control $increment $games ${moves_per_control:-0}" | awk '{
  n = split($1, part, ":"); seconds = part[1] * 60 + (n > 1 ? part[2] : 0)
  side = $4 > 0 ? seconds * (int(200 / $4) + 1) : seconds + 200 * $2
  print int($3 * 2 * (2 * side + 10) + 60) }')
if [ -n "$moves_per_control" ]; then
  clock=(-mps "$moves_per_control" -tc "$control")
else
  clock=(-tc "$control" -inc "$increment")
fi
HOME="$work/home" timeout "$limit" xvfb-run -a xboard \
  -fcp "$binary" -fd "$work/engine" -scp fairymax -sd "$work" \
  -matchGames "$games" "${clock[@]}" -ponder -autoCallFlag true -testClaims true \
  -sgf "$work/games.pgn" -xexit -debug -nameOfDebugFile "$work/debug.txt" > "$work/xboard.out" 2>&1
status=$?

faults=0
fail() {
  echo "match: $1"
  faults=1
}
[ $status -eq 0 ] || fail "xboard ended with status $status"
[ -f "$work/games.pgn" ] || fail "no games were saved"
played=$(grep -c '^\[Result "\(1-0\|0-1\|1/2-1/2\)"\]' "$work/games.pgn" 2> /dev/null)
[ "${played:-0}" -eq "$games" ] || fail "${played:-0} of $games games finished with a result"
if grep -E -i 'forfeit|wins on time|flag fell|false .*claim|illegal|exited unexpectedly|connection' \
  "$work/games.pgn" 2> /dev/null; then
  fail "a game ended by a fault (see the lines above)"
fi
if grep -E 'exited unexpectedly|Illegal move|rejected by' "$work/debug.txt" 2> /dev/null | head -5 | grep .; then
  fail "xboard reported an engine fault (see the lines above)"
fi
if grep -h 'MakeRealMove ILLEGAL' "$work/engine/Tirvex.log" 2> /dev/null; then
  fail "Tirvex refused a move (see the lines above)"
fi
# The log shows book moves and then the search taking over.
if ! awk '/^move \(book\)/ { book = 1 } book && /^start engine/ { found = 1 } END { exit !found }' \
  "$work/engine/Tirvex.log" 2> /dev/null; then
  fail "Tirvex.log shows no book move followed by a search"
fi

if ! grep -q 'GOOD PONDER' "$work/engine/Tirvex.log" 2> /dev/null; then
  fail "no prediction came true while pondering"
fi

# Tirvex's points from the White, Black and Result tags of every game.
points=$(awk '
  /^\[White / { white = $0 }
  /^\[Result / {
    tirvexWhite = tolower(white) ~ /tirvex/  # "Tirvex VERSION", as the engine names itself
    if ($0 ~ /"1-0"/) points += tirvexWhite ? 1 : 0
    else if ($0 ~ /"0-1"/) points += tirvexWhite ? 0 : 1
    else if ($0 ~ /"1\/2-1\/2"/) points += 0.5
  }
  END { print points + 0 }
' "$work/games.pgn" 2> /dev/null)
echo "Tirvex scored ${points:-0} of ${played:-0} against fairymax"
awk -v p="${points:-0}" 'BEGIN { exit !(p >= 1) }' || fail "Tirvex scored no point"

exit $faults
