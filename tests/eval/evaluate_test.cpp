// Static evaluation of known positions: whole scores, and the draw and no-win rules.
#include "../movegen/movegen_helpers.h"

using namespace movegen_test;

// Scores worked out by hand or, for the positions aimed at single terms, with a separate mailbox
// evaluator (ray walks instead of attack tables, square lists instead of masks) written from the
// same rules; the note names what each position pins down.
TEST(Evaluate, ScoresOfKnownPositions) {
  struct Case { const char* fen; int score; };
  const Case cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 0},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -", 0},
      {"R7/8/8/6p1/8/b7/4k3/K7 w - - 0 1", 94},
      {"r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -", 21},
      {"rnbq1rk1/ppp2ppp/3p1n2/4p3/1bPP4/2N1P3/PP3PPP/R1BQKBNR w KQ -", -103},
      {"8/8/4k3/8/8/4K3/4P3/8 w - -", 85},  // e2: 100 - 9 from the table, passer 16, isolated unopposed -22
      {"3k4/8/8/3p4/2P1P3/8/8/3K4 w - -", 92},
      {"3k4/8/8/3p4/2P1P3/8/8/3K4 b - -", -92},
      {"2k5/8/2p1p3/2PpP3/3P4/8/8/4K3 w - -", 54},
      {"4k3/8/8/8/8/8/8/4K2Q w - -", 964},
      {"4k3/8/8/8/8/8/8/4K2Q b - -", -964},
      {"4k3/4p3/8/8/8/8/8/3BK3 b - -", -245},
      {"4k3/8/8/8/8/8/8/R2RK3 w - -", 1141},
      {"1k6/RR6/8/8/8/8/8/4K3 b - -", -1262},  // with White to move Black would stand in check
      {"r3k3/8/8/8/8/8/8/1NB1K3 w - -", 209},
      {"r3k3/8/8/8/8/8/8/2N1K3 w - -", -272},
      {"q3k3/8/8/8/8/8/8/R2RK3 w - -", 76},
      {"4k3/6p1/8/8/8/8/8/3NNK2 w - -", 621},
      {"4k3/7B/6p1/8/8/8/P7/4K3 w - -", 70},  // the bishop on h7 is trapped
      {"4k3/B7/6p1/8/8/8/P7/4K3 w - -", 305},
      {"4k3/8/8/8/8/8/8/3NNK2 w - -", 713},  // kings -12 - -9, knights 2 x 308, a minor piece ahead +100
      {"4k3/8/8/8/8/8/8/3NNK2 b - -", -713},
      {"2kr3r/ppp2ppp/2n5/2b1q3/8/2NB1N2/PPP2PPP/R2QR1K1 w - -", 408},   // c8 sheltered by a7, b7, c7
      {"r1b2rk1/pp3ppp/2n5/q2p4/3Q4/2P2N2/P4PPP/R1B1KB1R w KQ -", 292},  // open e-file, doubled c-pawns
      {"r1b2r2/pp3pkp/2n3p1/3qN1Q1/3P4/8/PP3PPP/R4RK1 w - -", -87},      // 15 attack units, openness 5
      {"2rr2k1/5ppp/2n5/8/8/2N5/5PPP/3Q2K1 w - -", -5},                 // only White has a queen: +60
      {"3rr1k1/5ppp/8/8/8/8/5PPP/3QB1K1 w - -", 230},                   // a minor up, a major down
      {"4k3/ppp2ppp/8/8/8/8/PPP1BPPP/4KB2 w - -", 711},                 // light bishops: no pair bonus
      {"4k3/8/2p1p3/3P4/2P1P3/8/8/4K3 w - -", 181},                     // d5 attacked twice, defended twice
      {"r4rk1/ppp2ppp/2n5/3q4/8/P1N5/1PP2PPP/1K1R3R w - -", -1013},     // b1 behind b2, c2, a3: 9 + 9 + 4
      {"6k1/5ppp/8/8/8/8/rr3PPP/6K1 w - -", -1248},                     // rooks on the second rank
      {"r5k1/5ppp/1Q6/8/8/8/5PPP/1r1R2K1 b - -", -519},                 // queen against rook, proximity
      {"r2q1rk1/pb3p1p/1p2pBp1/2p5/2P5/P2Q4/1P3PPP/R4RK1 w - -", -48},  // a bishop near the king zone
      {"1k2r3/ppp5/6p1/2b5/7n/2N5/PPPr1P2/3QR1K1 w - -", -51},          // the file right of the king first
      {"r4rk1/1b3ppp/2n5/8/8/3Q4/PPP5/3RR1K1 w - -", 228},              // openness 3 plus 1 for the queen
      {"3r2k1/5ppp/8/8/5n2/8/r4PPP/6K1 w - -", -1415},                  // 13 units: no attack units
      {"5rk1/p4p1p/6p1/3q4/3Q4/8/P4PPP/5RK1 w - -", 4},                 // phase exactly 36: shelter counts
      {"r4rk1/1b3ppp/2n5/8/6P1/3Q4/PPP5/3RR1K1 w - -", 385},            // half-open neighbour files
  };
  for (const Case& c : cases) EXPECT_EQ(EvaluateFen(c.fen), c.score) << c.fen;
}

// Material that cannot win scores 0 for both sides to move; the no-win rule zeroes only the
// score of a side to move that is ahead with less than a rook's worth of pieces and no pawn.
TEST(Evaluate, DrawAndNoWinRules) {
  struct Case { const char* fen; int sign; };  // the sign of the score: 0, 1 or -1
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/3BK3 w - -", 0},   {"4k3/8/8/8/8/8/8/3BK3 b - -", 0},   // bishop alone
      {"4k3/8/8/8/8/8/8/4KN2 w - -", 0},   {"4k3/8/8/8/8/8/8/4KN2 b - -", 0},   // knight alone
      {"4k3/8/8/8/8/8/8/4K3 w - -", 0},    {"4k3/8/8/8/8/8/8/4K3 b - -", 0},    // bare kings
      {"r3k3/8/8/8/8/8/8/R1N1K3 w - -", 0}, {"r3k3/8/8/8/8/8/8/R1N1K3 b - -", 0},  // rook and knight v rook
      {"r3k3/8/8/8/8/8/8/R1B1K3 b - -", 0}, {"r2bk3/8/8/8/8/8/8/R3K3 w - -", 0},  // rook and bishop v rook
      {"r3k3/8/8/8/8/8/P7/R1N1K3 w - -", 1},   // with a pawn on the board
      {"1n2k3/8/8/8/8/8/8/R2RK3 w - -", 1},    // thirteen units, but Black has no rook
      {"4k3/4p3/8/8/8/8/8/3BK3 w - -", 0},     // a bishop up against a pawn: nothing for White to move
      {"4k3/4p3/8/8/8/8/8/3BK3 b - -", -1},    // the full deficit for Black
      {"4k3/4p3/8/8/8/8/8/3RK3 w - -", 1},     // a rook is enough
      {"4k3/4p3/8/8/8/8/8/3NK3 b - -", -1},    // the side behind keeps its score
  };
  for (const Case& c : cases) {
    int score = EvaluateFen(c.fen);
    EXPECT_EQ((score > 0) - (score < 0), c.sign) << c.fen << ": " << score;
  }
}

TEST(Evaluate, MaterialBeyondThePhaseTablesReadsAsTheLastPhase) {
  // Every pawn promoted on both sides: more than the 191 units the tables cover.
  ASSERT_TRUE(SetupGame("kqqqqqqq/qqrrbbnn/8/8/8/8/NNBBRRQQ/QQQQQQQK w - -"));
  EXPECT_GT(Position.TotalMaterial, MaxMaterialPhase);
  EXPECT_EQ(MaterialPhase(), MaxMaterialPhase);
  EXPECT_EQ(Evaluate(), Evaluate());
}
