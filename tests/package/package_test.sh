#!/bin/bash
# The installed Tirvex: a staged `make install`, its launcher started from folders with and
# without a Tirvex.ini, `make uninstall`, and the Debian package of `make deb` (its fields, its
# contents against the staged install, lintian). Under CI (CI=true, a disposable machine) the
# package is also installed with apt-get, plays a game against fairymax under xboard started
# as `xboard -fcp tirvex`, and is removed.
#
#   tests/package/package_test.sh <build dir>
set -u

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$PATH:/usr/games"
faults=0
fail() {
  echo "package: $1"
  faults=1
}
run_make() { make -s --no-print-directory -C "$source_dir" BUILD="$build" "$@"; }

# ---- Staged install ----
stage="$work/stage"
run_make install DESTDIR="$stage" PREFIX=/usr > "$work/install.out" 2>&1 ||
  { cat "$work/install.out"; fail "make install failed"; exit 1; }

# Runs the staged launcher in folder ($1) with the environment settings that follow, feeding it
# a game start; its output goes to $work/out.
handshake='xboard\nprotover 2\naccepted done\naccepted setboard\naccepted done\nnew\ngo\n'
launch() {
  local folder=$1
  shift
  (cd "$folder" && printf "$handshake" | timeout 60 env -u XDG_DATA_HOME "$@" "$stage/usr/games/tirvex") \
    > "$work/out" 2>&1
}
# Whether Tirvex.ini file ($2) names the book and tables installed under prefix ($1).
names_data() {
  grep -q "^BOOK_PATH=$1/share/games/tirvex/book$" "$2" && grep -q "^EGBB_PATH=$1/share/games/tirvex/egbb$" "$2" ||
    fail "$2 does not name the book and tables in $1"
}

# Cases: {folder, environment, where the log must appear}. Expected: the engine runs in a
# folder given a Tirvex.ini, otherwise in the per-user folder of the XDG base directory rules
# (XDG_DATA_HOME when absolute, else ~/.local/share), whose Tirvex.ini it makes on first use.
home="$work/home"
defaults="$stage/usr/share/games/tirvex/Tirvex.ini"
names_data /usr "$defaults"
grep -q '^# POLYGLOT_BOOK=/usr/share/games/gnuchess/book.bin$' "$defaults" ||
  fail "$defaults does not show how to name Debian's Polyglot book"
mkdir -p "$work/empty" "$work/own" "$home"
sed "s|=/usr/|=$stage/usr/|" "$defaults" > "$work/own/Tirvex.ini"
while read -r folder environment expected; do
  environment=${environment//WORK/$work}
  [ "$environment" = - ] && environment=
  launch "$work/$folder" HOME="$home" $environment
  grep -q '^feature done=1' "$work/out" || fail "$folder $environment: no handshake"
  grep -q '^move ' "$work/out" || fail "$folder $environment: no move"
  grep -E '^(BOOK|EGBB) ERROR' "$work/out" && fail "$folder $environment: book or tables not loaded"
  grep -q '^EGBB_LOAD=' "$work/out" || fail "$folder $environment: tables not reported loaded"
  grep -q '^move (book)' "$work/$expected/Tirvex.log" 2> /dev/null ||
    fail "$folder $environment: no book move logged in $expected"
  rm -f "$work/$expected/Tirvex.log"
done << 'CASES'
empty - home/.local/share/tirvex
empty XDG_DATA_HOME=relative home/.local/share/tirvex
empty XDG_DATA_HOME=WORK/data data/tirvex
own - own
CASES
[ -z "$(ls -A "$work/empty")" ] || fail "the launcher wrote into the empty folder"
ini="$home/.local/share/tirvex/Tirvex.ini"
names_data "$stage/usr" "$ini"
# A per-user Tirvex.ini that exists is the user's: it is never written over.
sed -i 's/^EGBB_CACHE=.*/EGBB_CACHE=7/' "$ini"
launch "$work/empty" HOME="$home"
grep -q '^EGBB_CACHE=7' "$work/out" || fail "the user's Tirvex.ini was not used"

# ---- The Debian package ----
deb=$(run_make deb 2> "$work/deb.err" | tail -1)
[ -f "$deb" ] || { cat "$work/deb.err"; fail "make deb made no package"; exit 1; }
field() { dpkg-deb --field "$deb" "$1"; }
version=$(cat "$source_dir/VERSION")
for expected in "Package tirvex" "Version $version" "Architecture $(dpkg --print-architecture)"; do
  [ "$(field "${expected% *}")" = "${expected#* }" ] || fail "${expected% *}: $(field "${expected% *}")"
done
[ "$(field Suggests)" = "xboard, gnuchess-book" ] || fail "Suggests: $(field Suggests)"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# Every shared library the programs need comes from a package named in Depends (dpkg -S knows
# which package owns a library).
for program in "$stage"/usr/lib/games/tirvex/*; do
  for library in $(objdump -p "$program" | awk '/NEEDED/ { print $2 }'); do
    owner=$(dpkg -S "*/$library" 2> /dev/null | grep "/$multiarch/$library\$" | head -1 | cut -d: -f1)
    [ -n "$owner" ] || fail "no package holds $library"
    field Depends | tr ',' '\n' | awk '{ print $1 }' | grep -q -x -F "$owner" ||
      fail "Depends lacks $owner, which holds $library for ${program#"$stage"}"
  done
done
# --contents lists what the staged install holds: modes, paths and link targets.
dpkg-deb --contents "$deb" |
  awk '{ path = $6; sub("/$", "", path); if (path != ".") print $1, path ($7 == "->" ? " " $8 : "") }' |
  sort > "$work/package.list"
(cd "$stage" && find . -mindepth 1 -printf '%M %p %l\n') | sed 's/ $//' | sort > "$work/install.list"
diff "$work/install.list" "$work/package.list" || fail "package and install differ"
lintian --fail-on error "$deb" > "$work/lintian.out" 2>&1 || { cat "$work/lintian.out"; fail "lintian reports errors"; }

# ---- Uninstall: nothing that was installed is left, and nothing else is removed ----
touch "$stage/usr/share/games/plugins/xboard/other.eng"
run_make uninstall DESTDIR="$stage" PREFIX=/usr
left=$(cd "$stage" && find . ! -type d)
[ "$left" = ./usr/share/games/plugins/xboard/other.eng ] || fail "after make uninstall: ${left:-nothing}"

# ---- Installed from the package on a disposable machine ----
if [ "${CI:-}" = true ]; then
  apt-get install -y -qq "$deb" > "$work/apt.out" 2>&1 || { cat "$work/apt.out"; fail "apt-get install failed"; }
  mkdir -p "$work/xboard" "$work/xhome"
  # No -fd: the engine is started in xboard's own folder, which holds no Tirvex.ini.
  (cd "$work/xboard" && HOME="$work/xhome" timeout 300 xvfb-run -a xboard -fcp tirvex -scp fairymax \
    -sd "$work" -matchGames 1 -tc 0:30 -inc 0.3 -sgf "$work/game.pgn" -xexit > "$work/xboard.out" 2>&1) ||
    fail "xboard ended with status $?"
  grep -q '^\[Result "\(1-0\|0-1\|1/2-1/2\)"\]' "$work/game.pgn" 2> /dev/null ||
    fail "the game under xboard did not finish"
  grep -q '^move (book)' "$work/xhome/.local/share/tirvex/Tirvex.log" 2> /dev/null ||
    fail "no book move in the per-user log of the installed engine"
  [ -z "$(ls -A "$work/xboard")" ] || fail "the installed engine wrote into xboard's folder"
  # The engine menu: xboard adds installed engines to its list at start, and -fe picks one
  # of the list by name (an unknown name starts fairymax instead).
  (cd "$work/xboard" && HOME="$work/xhome" timeout 120 xvfb-run -a xboard -fe tirvex -scp fairymax \
    -sd "$work" -matchGames 1 -tc 0:03 -sgf "$work/menu.pgn" -xexit -debug -nameOfDebugFile "$work/menu.txt" \
    > /dev/null 2>&1)
  grep -q '^StartChildProcess (dir=".") tirvex' "$work/menu.txt" 2> /dev/null ||
    fail "tirvex is not in xboard's engine menu"
  apt-get purge -y -qq tirvex > "$work/apt.out" 2>&1 || { cat "$work/apt.out"; fail "apt-get purge failed"; }
  ! dpkg -s tirvex > /dev/null 2>&1 && [ ! -e /usr/games/tirvex ] || fail "the package was not removed"
fi
exit $faults
