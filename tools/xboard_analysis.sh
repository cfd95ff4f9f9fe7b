#!/bin/bash
# Analysis under the real xboard interface, headless under xvfb: xboard loads a position with a
# mate in one (Ra8#) and starts in its Analysis mode; after a few seconds xboard is ended and
# its debug file read back. Tirvex must have sent thinking lines on that position, the mate as
# xboard reads mates (100000 + moves) with a1a8 first, and no move.
#
#   tools/xboard_analysis.sh <tirvex binary> [seconds=8]
#
# Exits 77 when xboard or xvfb-run is missing, except under CI (CI=true), where that is a failure.
set -u
binary=$(realpath "$1")
seconds=${2:-8}
export PATH="$PATH:/usr/games"
for tool in xboard xvfb-run; do
  if ! command -v "$tool" > /dev/null; then
    echo "analysis: $tool is not installed (make test installs it)"
    [ "${CI:-}" = true ] && exit 1
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/engine" "$work/home"
echo "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1" > "$work/position.fen"
HOME="$work/home" timeout "$seconds" xvfb-run -a xboard -fcp "$binary" -fd "$work/engine" \
  -lpf "$work/position.fen" -mode Analysis -debug -nameOfDebugFile "$work/debug.txt" > "$work/xboard.out" 2>&1

faults=0
fail() {
  echo "analysis: $1"
  faults=1
}
grep -q '>first : analyze' "$work/debug.txt" 2> /dev/null || fail "xboard did not start the analysis"
# The engine's lines as xboard received them: "<first : depth score time nodes moves".
thinking=$(sed -n 's/^[0-9]* <first : *\([0-9]\+ \+-\?[0-9]\+ \+[0-9]\+ \+[0-9]\+ \+.*\)/\1/p' "$work/debug.txt")
echo "$thinking" | head -5
[ -n "$thinking" ] || fail "no thinking lines reached xboard"
echo "$thinking" | grep -qE '^[0-9]+ +100001 +[0-9]+ +[0-9]+ +a1a8' || fail "the mate in one was not reported as 100001 with a1a8"
if grep -E '<first : (move |Illegal|Error)' "$work/debug.txt"; then
  fail "the engine moved or complained during the analysis"
fi
exit $faults
