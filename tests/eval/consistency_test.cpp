// Evaluation against itself: colour-flipped positions, positions reached by moves against fresh
// setups, and the pawn cache against an empty one.
#include <algorithm>
#include <cctype>
#include "../movegen/movegen_helpers.h"

using namespace movegen_test;

namespace {

// The position with ranks mirrored, colours swapped and the other side to move.
std::string ColourFlipped(const std::string& fen) {
  std::istringstream fields(fen);
  std::string placement, side, castling, ep, flipped;
  fields >> placement >> side >> castling >> ep;
  std::istringstream rows(placement);
  for (std::string rank; std::getline(rows, rank, '/');) flipped = rank + (flipped.empty() ? "" : "/") + flipped;
  auto swapCase = [](std::string text) {
    for (char& c : text) c = std::isupper(c) ? std::tolower(c) : std::toupper(c);
    return text;
  };
  if (ep != "-") ep[1] = static_cast<char>('1' + '8' - ep[1]);
  return swapCase(flipped) + (side == "w" ? " b " : " w ") + swapCase(castling) + " " + ep;
}

std::string WithSideToMove(std::string fen, char side) {
  fen[fen.find(' ') + 1] = side;
  return fen;
}

}  // namespace

// The flipped image must score the same for the side to move. A few tables are not mirror images
// (the first bishop table, rows of the king and last pawn tables) and the rook reads the own pawn
// with the highest square number; these positions keep their pieces where that does not matter.
TEST(EvaluateSymmetry, ColourFlippedPositionsScoreTheSame) {
  const char* fens[] = {
      "r2q1rk1/pp1n1ppp/4pn2/2pp4/3P4/4PN2/PPPN1PPP/R2QR1K1 w - -",  // kings sheltered on g1/g8
      "1r3rk1/p4p1p/1pn3p1/3q4/3Q4/2N2N2/PPP2PPP/1K1R3R w - -",      // open files near both kings
      "r2q1rk1/1p1nqppp/4pn2/2pp4/3P4/4PN2/1PPNQPPP/R2QR1K1 w - -",  // two queens each
      "1k6/2R2R2/8/p7/8/1P4p1/b4PPP/6K1 w - -",                      // seventh-rank rooks, a trapped bishop
      "8/5k2/1p2p1p1/p2nP2p/P2P3P/2N3P1/5PK1/3R4 w - -",             // isolated, attacked and passed pawns
      "8/2p2k2/1p1p3p/p4p2/P1P2P2/1P4PP/6K1/8 w - -",                // pawn ending
      "8/8/3k4/3p4/8/2N5/4K3/8 w - -",                               // a knight against a pawn
      "6k1/5ppp/b7/8/1P6/7P/5PPP/1R3NK1 w - -",                      // doubled pawns, knight against bishop
      "3rr1k1/5ppp/8/8/8/8/5PPP/3QB1K1 w - -",                       // queen and bishop against two rooks
  };
  for (const char* fen : fens) {
    const std::string flipped = ColourFlipped(fen);
    EXPECT_EQ(EvaluateFen(fen), EvaluateFen(flipped)) << fen << " | " << flipped;
    EXPECT_EQ(EvaluateFen(WithSideToMove(fen, 'b')), EvaluateFen(WithSideToMove(flipped, 'w'))) << fen;
  }
}

// Where the tables are not mirror images, the flipped position differs by the known amount.
TEST(EvaluateSymmetry, KnownAsymmetries) {
  struct Case { const char* fen; int difference; const char* why; };  // score of fen minus its image's
  const Case cases[] = {
      {"rnbqk1nr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 6, "black bishops, first table: c8 as f1, f8 as c1"},
      {"r2q1rk1/1p1nqppp/4pn2/2pp4/3P4/4PN2/1PPNQPPP/R1KQR3 w - -", 2, "kings read the table unmirrored: c1 -2, c8 -4"},
      {"8/4k3/8/3P4/8/8/8/4K3 w - -", 2, "last pawn table: d5 30, the black pawn on d4 reads e5 28"},
      {"r3k3/p7/1P6/8/p7/8/8/4K3 b - -", 20, "Black's rook takes its foremost pawn (a4, passed), White's its rearmost"},
  };
  for (const Case& c : cases) EXPECT_EQ(EvaluateFen(c.fen) - EvaluateFen(ColourFlipped(c.fen)), c.difference) << c.why;
}

// Every position reached along random games (every move kind, both colours) scores as a fresh
// setup of its FEN with an empty pawn cache: incremental fields that drift or a pawn cache word
// reused would show here.
TEST(EvaluatePlayouts, PositionsReachedByMovesScoreAsFreshSetups) {
  std::vector<std::pair<std::string, int>> reached;
  PlayoutsFromEveryStart(300, 150, [&] { reached.emplace_back(Fen(), Evaluate()); });
  for (const auto& [fen, score] : reached) ASSERT_EQ(EvaluateFen(fen), score) << fen;
}

// A cache word left by another pawn structure on the slot this position uses is not trusted.
TEST(PawnCache, WordsOfOtherStructuresAreNotTrusted) {
  auto slotOf = [](const char* fen, uint32_t& word) {
    EvaluateFen(fen);  // the setup empties the cache: the evaluation fills one slot
    uint32_t* slot = std::find_if(PawnCache, PawnCache + PawnCacheSize, [](uint32_t w) { return w != 0; });
    word = *slot;
    return slot - PawnCache;
  };
  uint32_t stranger, own;
  const auto from = slotOf("2k5/8/2p1p3/2PpP3/3P4/8/8/4K3 w - -", stranger);
  const auto to = slotOf("3k4/8/8/3p4/2P1P3/8/8/3K4 w - -", own);
  ASSERT_NE(from, to);
  const int fresh = Evaluate();
  PawnCache[to] = stranger;
  EXPECT_EQ(Evaluate(), fresh);
  EXPECT_EQ(PawnCache[to], own);
}
