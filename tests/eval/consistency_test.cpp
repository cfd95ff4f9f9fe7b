// Evaluation of positions reached by moves against the same positions set up from FEN, and
// the colour symmetry of the evaluation.
#include <gtest/gtest.h>
#include <cctype>
#include <sstream>
#include <vector>
#include "engine/engine.h"
#include "eval_helpers.h"

namespace {

const bool Initialised = (InitTables(), InitPhaseTables(), true);

// Plays coordinate moves as game moves from fen; after every move records the FEN text and
// the score, then checks each score against a fresh setup of that FEN. Returns the last FEN.
std::string PlayAndCompare(const char* fen, const char* moves) {
  EXPECT_TRUE(SetupGame(fen));
  std::vector<std::pair<std::string, int>> reached;
  std::istringstream words(moves);
  for (std::string word; words >> word;) {
    const Move move = ReadCoordinateMove(word.c_str());
    EXPECT_TRUE(move != 0 && MakeRealMove(move)) << word;
    reached.emplace_back(CurrentFen(), Evaluate());
  }
  for (const auto& [reachedFen, score] : reached) EXPECT_EQ(EvaluateFen(reachedFen), score) << reachedFen;
  return reached.empty() ? fen : reached.back().first;
}

// The position with ranks mirrored, colours swapped and the other side to move.
std::string ColourFlipped(const std::string& fen) {
  std::istringstream fields(fen);
  std::string placement, side, castling, ep;
  fields >> placement >> side >> castling >> ep;
  std::vector<std::string> ranks;
  std::istringstream rows(placement);
  for (std::string rank; std::getline(rows, rank, '/');) ranks.insert(ranks.begin(), rank);
  std::string flipped;
  for (const std::string& rank : ranks) flipped += (flipped.empty() ? "" : "/") + rank;
  auto swapCase = [](std::string text) {
    for (char& c : text) c = std::isupper(c) ? std::tolower(c) : std::toupper(c);
    return text;
  };
  if (ep != "-") ep[1] = static_cast<char>('1' + '8' - ep[1]);
  return swapCase(flipped) + (side == "w" ? " b " : " w ") + swapCase(castling) + " " + ep;
}

}  // namespace

TEST(EvaluateAfterMoves, CastlingShortAndCaptures) {
  const std::string last = PlayAndCompare(
      InitialFen,
      "e2e4 e7e5 g1f3 b8c6 f1c4 f8c5 e1g1 g8f6 c2c3 e8g8 d2d4 e5d4 c3d4 c5b4 b1c3 f6e4 c3e4 d7d5 "
      "c4d5 d8d5 e4c3 b4c3 b2c3");
  EXPECT_EQ(last, "r1b2rk1/ppp2ppp/2n5/3q4/3P4/2P2N2/P4PPP/R1BQ1RK1 b - -");
}

TEST(EvaluateAfterMoves, CastlingLongAndEnPassantForBothColours) {
  const std::string last = PlayAndCompare(
      InitialFen, "e2e4 a7a6 e4e5 d7d5 e5d6 d8d6 d2d4 b8c6 b1c3 c8f5 c1e3 e8c8 d1d2 e7e5 e1c1 e5e4 f2f4 e4f3 g2f3");
  EXPECT_EQ(last, "2kr1bnr/1pp2ppp/p1nq4/5b2/3P4/2N1BP2/PPPQ3P/2KR1BNR b - -");
}

TEST(EvaluateAfterMoves, PromotionsWithAndWithoutCapture) {
  const std::string last = PlayAndCompare("r3k2r/1PP5/8/5p2/5P2/8/1p4p1/R3K2R w KQkq - 0 1",
                                          "b7a8q e8e7 c7c8r g2h1q e1d2 b2a1b a8a1 h8h2 d2d3");
  EXPECT_EQ(last, "2R5/4k3/8/5p2/5P2/3K4/7r/Q6q b - -");
  PlayAndCompare("4k3/8/8/8/8/8/1p5P/R3K3 b Q - 0 1", "b2a1n h2h4 a1c2 e1d2 c2d4 h4h5 e8f7 h5h6 f7g6 h6h7 g6g7 h7h8n");
}

TEST(EvaluateAfterMoves, MakeAndUnmakeThroughPlyRecords) {
  // Every kind of move from positions that allow them; each score after the move must equal a
  // fresh setup of the position reached, and unmaking must give back the first score.
  struct Case {
    const char* fen;
    const char* moves;
  };
  const Case cases[] = {
      {"r3k2r/pPpp1ppp/8/3Pp3/8/8/P1PP1PpP/R3K2R w KQkq e6 0 1",
       "d5e6 d5d6 b7a8q b7a8n b7b8r b7b8b e1g1 e1c1 a1b1 h1g1 e1d1 a2a4"},
      {"r3k2r/p1p2ppp/8/3Pp3/3pP3/8/P1PP1PpP/R3K2R b KQkq e3 0 1",
       "d4e3 g2h1q g2g1n g2h1b e8g8 e8c8 a8b8 h8f8 e8e7 c7c5"},
  };
  for (const Case& c : cases) {
    std::istringstream words(c.moves);
    for (std::string word; words >> word;) {
      ASSERT_TRUE(SetupGame(c.fen));
      const int before = Evaluate();
      const Move move = ReadCoordinateMove(word.c_str());
      ASSERT_NE(move, 0) << word;
      PlyRecord& record = PlyRecords[1];
      SaveBoardState(&record);
      MakeMove(move, &record);
      const int after = Evaluate();
      const std::string reached = CurrentFen();
      UnmakeMove(move, &record);
      EXPECT_EQ(Evaluate(), before) << c.fen << " " << word;
      EXPECT_EQ(EvaluateFen(reached), after) << c.fen << " " << word;
    }
  }
}

// Positions whose colour-flipped image must score the same for the side to move. The flip
// mirrors ranks; every non-king piece then reads its table at the file-mirrored square of the
// original (black pieces read 63 - s), and both kings read the king table at their own square.
// So each position keeps its pieces on squares where the selected tables agree with their
// file mirror, and its kings on squares where the king table agrees with its rank mirror:
// - no bishop in the opening phase (the first bishop table is asymmetric almost everywhere),
//   and no bishop on c3, f3, c6 or f6 in the second (7 against 8 on f6 and c6);
// - no pawn on c3, f3, c6, f6 with the first pawn table; with the last pawn table no white pawn
//   on b5, d5, e5, g5 nor black pawn on b4, d4, e4, g4 (its fifth rank is asymmetric);
// - kings on the g- or b-file of their back ranks in the first two king tables (the c- and
//   f-files and the second and third ranks differ there), anywhere with the last two;
// - at most one own pawn on a rook's file (the rook reads the pawn with the highest square
//   number for both colours, which is the rearmost white pawn but the foremost black pawn).
// Shelter, openness, traps, seventh-rank rooks and imbalance are mirror images by rule.
TEST(EvaluateSymmetry, ColourFlippedPositionsScoreTheSame) {
  const char* fens[] = {
      // Queens, rooks and knights with both kings sheltered on g1/g8 (second tables).
      "r2q1rk1/pp1n1ppp/4pn2/2pp4/3P4/4PN2/PPPN1PPP/R2QR1K1 w - -",
      // Queens facing each other, White castled long, open files near both kings (third pawn table).
      "1r3rk1/p4p1p/1pn3p1/3q4/3Q4/2N2N2/PPP2PPP/1K1R3R w - -",
      // Two queens each (the a-pawns promoted): the opening tables with no bishop on the board.
      "r2q1rk1/1p1nqppp/4pn2/2pp4/3P4/4PN2/1PPNQPPP/R2QR1K1 w - -",
      // Two rooks on the seventh against a king on the eighth, and a trapped bishop on a2.
      "1k6/2R2R2/8/p7/8/1P4p1/b4PPP/6K1 w - -",
      // Rook and knight against knight with isolated, attacked and passed pawns.
      "8/5k2/1p2p1p1/p2nP2p/P2P3P/2N3P1/5PK1/3R4 w - -",
      // Pawn ending under the last pawn table, pawns kept off its asymmetric squares.
      "8/2p2k2/1p1p3p/p4p2/P1P2P2/1P4PP/6K1/8 w - -",
      // A knight against a pawn: the no-win rule for the side to move.
      "8/8/3k4/3p4/8/2N5/4K3/8 w - -",
      // Doubled h-pawns, a rook behind a passer, knight against bishop on a6.
      "6k1/5ppp/b7/8/1P6/7P/5PPP/1R3NK1 w - -",
  };
  for (const char* fen : fens) {
    const std::string flipped = ColourFlipped(fen);
    EXPECT_EQ(EvaluateFen(fen), EvaluateFen(flipped)) << fen << " | " << flipped;
    EXPECT_EQ(EvaluateFen(WithSideToMove(fen, 'b')), EvaluateFen(WithSideToMove(flipped, 'w'))) << fen;
  }
}

// Where the design is deliberately asymmetric, the flipped position differs by the known amount.
TEST(EvaluateSymmetry, KnownAsymmetries) {
  struct Case {
    const char* fen;
    int difference;  // score of fen minus score of its flipped image
    const char* why;
  };
  const Case cases[] = {
      // Black bishops read the first bishop table at 63 - s: c8 counts as f1 (-18), f8 as c1 (-12).
      {"rnbqk1nr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 6, "bishop table half-turn"},
      // Both kings read the king table unmirrored: c1 is -2, c8 is -4.
      {"r2q1rk1/1p1nqppp/4pn2/2pp4/3P4/4PN2/1PPNQPPP/R1KQR3 w - -", 2, "king table unmirrored"},
      // The last pawn table's fifth rank: d5 is 30, the black pawn on d4 reads e5 = 28.
      {"8/4k3/8/3P4/8/8/8/4K3 w - -", 2, "last pawn table fifth rank"},
      // Black's rook takes its foremost pawn (a4, passed) and is behind it: +20; White's flipped
      // rook takes its rearmost pawn (a2), which the pawn on b3 stops.
      {"r3k3/p7/1P6/8/p7/8/8/4K3 b - -", 20, "rook reads the highest-numbered own pawn"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EvaluateFen(c.fen) - EvaluateFen(ColourFlipped(c.fen)), c.difference) << c.why;
}
