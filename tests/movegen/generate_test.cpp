// Move generators: lists and ordering scores of known positions, and single entries that must be
// there (with their score) or must not. Perft with published counts checks what they generate.
#include <algorithm>
#include <cstring>
#include "movegen_helpers.h"

using namespace movegen_test;

namespace {

enum Generator { All, Quiescence, Evading };

std::vector<MoveEntry> Generate(Generator g) {
  return g == All ? AllMoves() : g == Quiescence ? Captures() : Evasions();
}

// "text:score" of every entry (just the texts when withScores is false), blank-separated.
std::string Render(const std::vector<MoveEntry>& list, bool withScores) {
  std::string out;
  for (const MoveEntry& e : list) {
    if (!out.empty()) out += ' ';
    out += Text(e.Move);
    if (withScores) out += ':' + std::to_string(e.Score);
  }
  return out;
}

}  // namespace

// Whole lists in generation order. Scores: quiet moves -30000; a pawn capture the victim's value
// - 9600; a piece taking a victim worth at least about its own value the victim's value minus
// 9820 (knight), 9825 (bishop), 10000 (rook), 10450 (queen); promotions the victim's value plus
// -9401 (queen), -30005 (knight), -30025 (rook), -30050 (bishop); en passant -9500; interpositions
// -30320 (knight), -30325 (bishop), -30500 (rook), -30950 (queen); pieces from the highest square
// number down, each piece's targets likewise.
TEST(Generators, WholeListsInOrder) {
  struct Case { Generator generator; const char* fen; const char* expected; };
  const Case cases[] = {
      {All, InitialFen,
       "g1h3:-30000 g1f3:-30000 b1c3:-30000 b1a3:-30000 h2h4:-30000 g2g4:-30000 f2f4:-30000 e2e4:-30000 "
       "d2d4:-30000 c2c4:-30000 b2b4:-30000 a2a4:-30000 h2h3:-30000 g2g3:-30000 f2f3:-30000 e2e3:-30000 "
       "d2d3:-30000 c2c3:-30000 b2b3:-30000 a2a3:-30000"},
      // Pawn captures, knights, queens, rooks, bishops, pawn pushes, the king, castling.
      {All, "r3k3/1P6/8/8/8/8/8/4K3 w - -",
       "b7a8q:-8901 b7a8n:-29505 b7a8r:-29525 b7a8b:-29550 b7b8q:-9401 b7b8n:-30005 b7b8r:-30025 "
       "b7b8b:-30050 e1f1:-30000 e1d1:-30000 e1f2:-30000 e1e2:-30000 e1d2:-30000"},
      {All, "4k3/8/8/8/3p4/2N1B3/8/4K3 b - -", "d4c3:-9280 d4e3:-9275 d4d3:-30000 e8f7:-30000 e8e7:-30000 "
                                               "e8d7:-30000 e8f8:-30000 e8d8:-30000"},
      {All, "7k/8/8/8/8/1p6/1P6/1NQRBK2 w - -",
       "b1d2 b1c3 b1a3 c1d2 c1c2 c1e3 c1c3 c1f4 c1c4 c1g5 c1c5 c1h6 c1c6 c1c7 c1c8 d1d2 d1d3 d1d4 d1d5 d1d6 "
       "d1d7 d1d8 e1f2 e1d2 e1g3 e1c3 e1h4 e1b4 e1a5 f1g1 f1g2 f1f2 f1e2"},
      // Pawn captures, promotions, knights, bishops, rooks, queens, the king: one capture each.
      {Quiescence, "7k/P7/6rq/2r1n3/bP3N2/7Q/1B3n2/R5K1 w - -", "b4c5 a7a8q f4g6 b2e5 a1a4 h3h6 g1f2"},
      // Captures of the checker and interpositions by pawns, knights, bishops, rooks and queens, then the king.
      {Evading, "Q7/3B4/4N2k/8/r6K/1P3P2/1NPP1B2/R5R1 w - -",
       "b3a4:-9100 b2a4:-9320 b2c4:-30320 e6f4:-30320 e6d4:-30320 d7a4:-9325 f2d4:-30325 a1a4:-9500 "
       "g1g4:-30500 a8a4:-9950 a8e4:-30950 d2d4:-30000 c2c4:-30000 f3f4:-30000 b3b4:-30000 h4h3:-30000 "
       "h4g3:-30000"},
      {Evading, "4r1k1/8/8/8/8/8/5N2/4K3 w - -", "f2e4:-30320 e1f1:-30000 e1d1:-30000 e1d2:-30000"},
      {Evading, "K6r/2P5/3N4/8/8/8/8/7k w - -",
       "d6e8:-30320 d6c8:-30320 c7c8q:-9401 c7c8n:-30005 c7c8r:-30025 c7c8b:-30050 a8b7:-30000 a8a7:-30000"},
      // En passant takes the checking pawn: the pawn towards the a-file first.
      {Evading, "4k3/8/8/2PpP3/4K3/8/8/8 w - d6", "c5d6 e5d6 e4d5 e4f3 e4e3 e4d3 e4f4 e4d4 e4f5"},
      {Evading, "4r1k1/8/8/8/8/R2n4/8/Q3K3 w - -", "e1f1 e1d1 e1f2 e1e2 e1d2"},  // double check: the king alone
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupGame(c.fen));
    EXPECT_EQ(Render(Generate(c.generator), std::strchr(c.expected, ':')), c.expected) << c.fen;
  }
}

// One move of a generator's list: its score, or Absent when the generator must leave it out.
TEST(Generators, SingleEntries) {
  constexpr int Absent = 1, Listed = 2;  // Listed: with the exchange scorer's estimate
  struct Case { Generator generator; const char* fen; const char* move; int score; const char* why; };
  const char* inCheck = "4k3/8/8/4r3/8/8/8/R3K2R w KQ -";
  const char* knight = "4k3/P7/4p3/1p1p4/r7/2N5/8/R3K2R w KQ -";
  const Case cases[] = {
      {All, "r3k2r/8/b7/8/8/8/8/R3K2R w KQkq -", "e1g1", -29000, "attacks on the path are left to the legality test"},
      {All, "r3k2r/8/b7/8/8/8/8/R3K2R w KQkq -", "e1c1", -29500, "long castling"},
      {All, "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8c8", -29500, "black long castling"},
      {All, "4k3/8/8/8/8/8/8/RN2K2R w KQ -", "e1c1", Absent, "b1 occupied"},
      {All, inCheck, "e1g1", -29000, "the full generator lists castling out of check"},
      {Evading, inCheck, "e1g1", Absent, "evasions never castle"},
      {Quiescence, inCheck, "e1g1", Absent, "nor does the quiescence generator"},
      {All, "8/8/8/1b6/8/8/3nn3/4K2k w - -", "e1e2", Absent, "the king takes no defended piece"},
      {All, "8/8/8/1b6/8/8/3nn3/4K2k w - -", "e1d2", Listed, "an undefended knight"},
      {All, "8/8/8/8/8/4k3/3nn3/4K3 w - -", "e1d2", Absent, "next to the other king"},
      {All, "4k3/8/8/3r4/q7/2N5/8/3QK3 w - -", "c3d5", -9320, "knight takes rook"},
      {All, "4k3/8/8/3r4/q7/2N5/8/3QK3 w - -", "d1a4", -9500, "queen takes queen"},
      {All, "4k3/8/8/3r4/q7/2N5/8/3QK3 w - -", "d1d5", Listed, "a queen takes a rook after the exchange"},
      {Evading, "4k3/8/8/2PpP3/4K3/8/8/8 w - d6", "e5d6", -9500, "en passant out of check"},
      {Evading, "8/8/8/4k3/2pPp3/8/8/4K3 b - d3", "c4d3", -9500, "black en passant out of check"},
      {Quiescence, knight, "c3a4", -9320, "a rook for a knight is always worth trying"},
      {Quiescence, knight, "c3b5", Listed, "an undefended pawn"},
      {Quiescence, knight, "c3d5", Absent, "a pawn defended by a pawn"},
      {All, knight, "c3d5", Listed, "the full generator keeps losing captures"},
      {Quiescence, knight, "a7a8q", Listed, "the rooks exchange on a8 and White stays a queen up"},
      {Quiescence, "7r/P6k/8/8/8/8/8/K7 w - -", "a7a8q", Absent, "the new queen is lost for nothing"},
      {All, "7r/P6k/8/8/8/8/8/K7 w - -", "a7a8q", -9401, "the full generator lists every promotion"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupGame(c.fen));
    std::vector<MoveEntry> list = Generate(c.generator);
    auto at = std::find_if(list.begin(), list.end(), [&](const MoveEntry& e) { return Text(e.Move) == c.move; });
    int score = at == list.end() ? Absent : c.score == Listed ? Listed : at->Score;
    EXPECT_EQ(score, c.score) << c.move << ": " << c.why;
  }
}
