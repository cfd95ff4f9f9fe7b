// The four-man tables against the engine's own search and against known results of these
// endings: random positions of every table, searched with the board, move generator and
// search of the engine, which know nothing of the tables.
#include <random>
#include <string>
#include "../search/search_support.h"
#include "egbb/egbb.h"

namespace {

using search_test::SearchFen;

// Kings first; library squares and codes, and the library's answer.
struct Placement { int side, square[4], code[4], score; };

// FEN of a placement: the library counts squares from a1, FEN lists rank 8 first.
std::string Fen(const Placement& p) {
  std::string board(64, '1'), fen;
  for (int m = 0; m < 4; m++) board[p.square[m] ^ 56] = "?KQRBNPkqrbnp"[p.code[m]];
  for (int rank = 0; rank < 8; rank++) fen += board.substr(8 * rank, 8) + (rank < 7 ? "/" : "");
  for (int n = 8; n > 1; n--)  // runs of empty squares as their length
    for (size_t at; (at = fen.find(std::string(n, '1'))) != std::string::npos;) fen.replace(at, n, 1, char('0' + n));
  return fen + (p.side ? " b - -" : " w - -");
}

// Random placements of a table's men that the library answers (legal positions).
std::vector<Placement> RandomPlacements(const EgbbTable& t, int count, std::mt19937& random) {
  std::vector<Placement> found;
  while (int(found.size()) < count) {
    Placement p{int(random() % 2), {}, {1, 7, t.code[0], t.code[1]}, 0};
    for (int& s : p.square) s = int(random() % 64);
    p.score = probe_egbb_5men(p.side, p.square[0], p.square[1], p.code[2], p.square[2], p.code[3], p.square[3], 0, 0);
    if (p.score != EgbbNoAnswer) found.push_back(p);
  }
  return found;
}

// Plies to mate in a table answer or a search score (positive: the side to move mates).
int TablePlies(int score) { return (17000 - std::abs(score)) / 10; }
int SearchPlies(int score) { return ScoreMate - std::abs(score); }

class FourMen : public testing::Test {
 protected:
  static void SetUpTestSuite() { load_egbb_5men(const_cast<char*>(TIRVEX_EGBB_TABLES), 256 << 20, 1); }
  std::mt19937 random{20240612};
};

// Every mate the search proves is one the table knows, and none shorter than the table's.
TEST_F(FourMen, SearchedMatesAreNeverShorterThanTheTables) {
  for (const EgbbTable& t : EgbbTables) {
    if (t.men != 2) continue;
    for (const Placement& p : RandomPlacements(t, 12, random)) {
      const std::string fen = Fen(p);
      const int score = SearchFen(fen.c_str(), 5).Score;
      if (std::abs(score) <= 8000) continue;
      EXPECT_EQ(score > 0, p.score > 0) << t.name << " " << fen << " search " << score << " table " << p.score;
      EXPECT_LE(TablePlies(p.score), SearchPlies(score)) << t.name << " " << fen;
    }
  }
}

// Wins within five plies: where a search deep enough finds a mate, it is at the table's
// distance; the search's pruning may miss a few of them, but not most.
TEST_F(FourMen, ShortWinsAreFoundByTheSearchAtTheTablesDistance) {
  int checked = 0, mates = 0;
  for (const EgbbTable& t : EgbbTables) {
    if (t.men != 2) continue;
    int found = 0;
    for (const Placement& p : RandomPlacements(t, 3000, random)) {
      if (p.score <= 0 || TablePlies(p.score) > 5 || found == 3) continue;
      found++, checked++;
      const std::string fen = Fen(p);
      const int score = SearchFen(fen.c_str(), TablePlies(p.score) + 2).Score;
      if (score <= 8000) continue;
      mates++;
      EXPECT_EQ(SearchPlies(score), TablePlies(p.score)) << t.name << " " << fen;
    }
  }
  EXPECT_GT(checked, 40);
  EXPECT_GT(mates, checked * 4 / 5);
}

// Share of the wins among random positions with the given side to move.
double WinShare(const char* name, int side, std::mt19937& random) {
  int n = 0, wins = 0;
  for (const Placement& p : RandomPlacements(EgbbTables[EgbbFindTable(name)], 20000, random))
    if (p.side == side) n++, wins += p.score > 0;
  return double(wins) / n;
}

// Known results: rook against a minor piece mostly drawn, queen against rook mostly won,
// two knights never force mate beyond a mate on the board in one move.
TEST_F(FourMen, KnownResultsHold) {
  EXPECT_LT(WinShare("krkb", 0, random), 0.5);
  EXPECT_LT(WinShare("krkn", 0, random), 0.5);
  EXPECT_GT(WinShare("kqkr", 0, random), 0.9);
  for (const Placement& p : RandomPlacements(EgbbTables[EgbbFindTable("knnk")], 20000, random))
    EXPECT_TRUE(p.score <= 0 || TablePlies(p.score) == 1) << Fen(p);
}

// KBNK: with white to move almost always won; with black to move drawn exactly where black
// wins a man at once (a capture, or a fork of both men), which the engine's search sees as
// the loss of white's material advantage.
TEST_F(FourMen, BishopAndKnightWinFromAllButTheImmediateDraws) {
  int whiteToMove = 0, whiteWins = 0, drawn = 0;
  for (const Placement& p : RandomPlacements(EgbbTables[EgbbFindTable("kbnk")], 1200, random)) {
    if (p.side == 0) {
      whiteToMove++, whiteWins += p.score > 0;
      continue;
    }
    const std::string fen = Fen(p);
    const bool keepsMaterial = SearchFen(fen.c_str(), 6).Score < -300;
    drawn += p.score == 0;
    EXPECT_EQ(p.score < 0, keepsMaterial) << fen << " table " << p.score;
  }
  EXPECT_GT(drawn, 0);
  EXPECT_GT(whiteWins, whiteToMove * 99 / 100);
}

}  // namespace
