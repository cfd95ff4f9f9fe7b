# Cuts every game of a PGN file into many shorter games, for measuring the tools on large
# collections: each game gives its own first n plies for n from its length down, `cuts` a game
# (a short game gives what it has, and the next games make up for it), so that a collection
# of a given size is made from a few thousand real games. No cut is shorter than 30 plies,
# where master games seldom still agree, so that nearly all games differ. Tags are kept; move
# text is SAN numbered anew, without comments, variations or NAGs.
#
#   awk -v cuts=40 -v games=200000 -f tools/cut_games.awk masters.pgn > cut.pgn
BEGIN { RS = ""; made = 0; owed = 0 }
/^\[/ { tags = $0; next }
{
  n = 0
  text = $0
  gsub(/\{[^}]*\}/, " ", text)
  while (gsub(/\([^()]*\)/, " ", text)) {}
  count = split(text, words, /[ \t\n]+/)
  for (i = 1; i <= count; i++) {
    w = words[i]
    if (w == "" || w ~ /^[0-9]+\.+$/ || w ~ /^\$/ || w ~ /^(1-0|0-1|1\/2-1\/2|\*)$/) continue
    sub(/^[0-9]+\.+/, "", w)
    plies[++n] = w
  }
  result = "*"
  if (match(tags, /\[Result "[^"]*"\]/)) result = substr(tags, RSTART + 9, RLENGTH - 11)
  want = cuts + owed
  for (length_ = n; length_ >= 30 && want > 0 && made < games; length_--) {
    line = ""
    for (p = 1; p <= length_; p++) line = line (p % 2 ? int((p + 1) / 2) ". " : "") plies[p] " "
    printf "%s\n\n%s%s\n\n", tags, line, result
    want--
    made++
  }
  owed = want
}
