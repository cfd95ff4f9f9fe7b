#!/bin/sh
# tirvex: starts the Tirvex chess engine in the right working directory.
#
# The engine reads Tirvex.ini and writes Tirvex.log in its working directory. When the
# current directory holds a Tirvex.ini the engine runs there; otherwise it runs in the
# per-user folder $XDG_DATA_HOME/tirvex (~/.local/share/tirvex), whose Tirvex.ini is made on
# first use from the installed defaults and names the installed book and endgame tables.
# The installed files are found from this script's own place (PREFIX/games/tirvex), so that
# a tree staged with DESTDIR or moved elsewhere works as well.

prefix=$(dirname "$(dirname "$(readlink -f "$0")")")
engine="$prefix/lib/games/tirvex/tirvex"
data="$prefix/share/games/tirvex"

# Writes folder/Tirvex.ini from the installed defaults with the book and tables found here;
# under a temporary name first, so that two engines started at once (an engine-against-engine
# game) never read a half-written file.
make_settings() {
  quoted=$(printf '%s\n' "$data" | sed 's/[|&\\]/\\&/g')
  mkdir -p "$1" &&
    sed -e "s|^BOOK_PATH=.*|BOOK_PATH=$quoted/book|" -e "s|^EGBB_PATH=.*|EGBB_PATH=$quoted/egbb|" \
      "$data/Tirvex.ini" > "$1/Tirvex.ini.$$" &&
    mv "$1/Tirvex.ini.$$" "$1/Tirvex.ini" || { rm -f "$1/Tirvex.ini.$$"; return 1; }
}

if [ ! -f Tirvex.ini ]; then
  case "${XDG_DATA_HOME:-}" in
    /*) folder="$XDG_DATA_HOME/tirvex" ;;
    *) folder="${HOME:+$HOME/.local/share/tirvex}" ;;
  esac
  if [ -n "$folder" ] && { [ -f "$folder/Tirvex.ini" ] || make_settings "$folder" 2> /dev/null; }; then
    cd "$folder" || exit 1
  else
    # The engine still plays, without book and tables, in the directory it was given.
    echo "tirvex: cannot create $folder/Tirvex.ini; running in $PWD" >&2
  fi
fi
exec "$engine" "$@"
