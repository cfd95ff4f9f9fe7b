#!/bin/bash
# Installs Tirvex under DESTDIR/PREFIX laid out like Debian's chess engines, or removes what
# it installed:
#
#   tools/package/install.sh install <destdir> <prefix> <build dir> <book dir> <tables dir>
#   tools/package/install.sh uninstall <destdir> <prefix>
#
#   PREFIX/games/tirvex                        the launcher, the command users type
#   PREFIX/lib/games/tirvex/tirvex             the engine program
#   PREFIX/lib/games/tirvex/egbbdll.so         the endgame table library
#   PREFIX/share/games/tirvex/Tirvex.ini       defaults, naming the book and tables below
#   PREFIX/share/games/tirvex/book/            the opening book
#   PREFIX/share/games/tirvex/egbb/            the endgame tables, with a link to the library
#   PREFIX/share/games/plugins/xboard/tirvex.eng   xboard's engine-menu entry
#   PREFIX/share/man/man6/tirvex.6.gz          the man page
#   PREFIX/share/doc/tirvex/                   copyright and changelog
#
# The engine loads the library from the directory that EGBB_PATH names and gives the library
# that same directory for its tables. The tables are data for every architecture, so they
# live under share/ and the library, which is machine code, under lib/, with a link from the
# tables' directory to it. Directories named tirvex hold nothing else, so uninstall removes
# them whole, with the three files installed elsewhere; directories shared with other
# programs stay.
set -euo pipefail
umask 022  # files 0644 and directories 0755, whatever the caller's umask

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
package="$source_dir/tools/package"
mode=$1
destdir=$2
games="$3/games"
lib="$3/lib/games/tirvex"
share="$3/share/games/tirvex"
plugins="$3/share/games/plugins/xboard"
doc="$3/share/doc/tirvex"
man="$3/share/man/man6/tirvex.6.gz"
book_files=(bookwtm.mbx bookwtm.mbk bookbtm.mbx bookbtm.mbk)

if [ "$mode" = uninstall ]; then
  rm -f "$destdir$games/tirvex" "$destdir$man" "$destdir$plugins/tirvex.eng"
  rm -rf "$destdir$lib" "$destdir$share" "$destdir$doc"
  exit 0
fi

build=$4
book=$5
tables=$6
version=$(cat "$source_dir/VERSION")
# The release date: the last change of VERSION (the time now outside a git checkout).
seconds=$(git -C "$source_dir" log -1 --format=%ct -- VERSION 2> /dev/null || true)
seconds=${seconds:-$(date +%s)}
maintainer=$(sed -n 's/^Maintainer: //p' "$package/control")

mkdir -p "$destdir$games" "$destdir$lib" "$destdir$share/book" "$destdir$share/egbb" "$destdir$plugins" \
  "$destdir$doc" "$(dirname "$destdir$man")"
install -m 0755 "$package/tirvex.sh" "$destdir$games/tirvex"
install -m 0755 "$build/tirvex" "$destdir$lib/tirvex"
install -m 0644 "$package/tirvex.eng" "$destdir$plugins/tirvex.eng"
install -m 0644 "$package/copyright" "$destdir$doc/copyright"
for file in "${book_files[@]}"; do install -m 0644 "$book/$file" "$destdir$share/book/$file"; done
install -m 0644 "$build/egbbdll.so" "$destdir$lib/egbbdll.so"
install -m 0644 "$tables"/*.tvb "$destdir$share/egbb/"
ln -sfn "$(realpath -m --relative-to="$share/egbb" "$lib/egbbdll.so")" "$destdir$share/egbb/egbbdll.so"
# The defaults: run/Tirvex.ini with the absolute paths of the installed book and tables.
sed -e "s|^BOOK_PATH=.*|BOOK_PATH=$share/book|" -e "s|^EGBB_PATH=.*|EGBB_PATH=$share/egbb|" \
  "$source_dir/run/Tirvex.ini" > "$destdir$share/Tirvex.ini"

sed -e "s|@VERSION@|$version|g" -e "s|@DATE@|$(date -u -d "@$seconds" +%Y-%m-%d)|g" \
  -e "s|@GAMES@|$games|g" -e "s|@LIB@|$lib|g" -e "s|@SHARE@|$share|g" -e "s|@PLUGINS@|$plugins|g" \
  "$package/tirvex.6" | gzip -9n > "$destdir$man"
{
  printf 'tirvex (%s) unstable; urgency=medium\n\n' "$version"
  printf '  * Tirvex %s: the engine, its opening book and endgame tables, the tirvex\n' "$version"
  printf '    command, the man page and the entry of the xboard engine menu.\n\n'
  printf ' -- %s  %s\n' "$maintainer" "$(date -u -R -d "@$seconds")"
} | gzip -9n > "$destdir$doc/changelog.gz"
