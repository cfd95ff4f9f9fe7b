// Static exchange scorer: the outcome of worked exchanges (won material, an even trade, a loss)
// read from where the score places the capture on the ordering scale.
#include "movegen_helpers.h"

using namespace movegen_test;

namespace {

int Exchange(int from, int to) {
  const Bitboard* pb = Position.PieceBoard;
  Bitboard queens = pb[WhiteQueen] | pb[BlackQueen];
  return ExchangeScore(from, Position.Board[from], to, pb[WhiteRook] | pb[BlackRook] | queens,
                       pb[WhiteBishop] | pb[BlackBishop] | queens);
}

constexpr int Refused = -1, Loses = -2, Even = 0;  // otherwise: the material won, in centipawns

// Winning captures sit among the good captures (their gain on top of -9500, give or take up to
// 100 for the piece-square terms), an even trade just above the quiet moves (-30000), losing ones
// below them.
int Outcome(int score) {
  if (score == -32767) return Refused;
  if (score > -12000) return score + 9500;
  if (score > -30000 && score < -29900) return Even;
  return score < -30000 ? Loses : score;
}

}  // namespace

TEST(ExchangeScore, WorkedExchanges) {
  struct Case { const char* fen; int from, to, outcome; const char* sequence; };
  const Case cases[] = {
      {"7k/8/8/1b6/8/8/3nn3/4K3 w - -", E1, E2, Refused, "the bishop on b5 defends e2"},
      {"7k/8/8/1b6/8/8/3nn3/4K3 w - -", E1, D2, 320, "Kxd2, undefended"},
      {"7k/8/8/1p6/8/2N5/8/7K w - -", C3, B5, 100, "Nxb5, undefended"},
      {"7k/8/4p3/3p4/8/2N5/8/7K w - -", C3, D5, Loses, "Nxd5 exd5"},
      {"7k/8/5n2/3p4/8/8/8/3R3K w - -", D1, D5, Loses, "Rxd5 Nxd5"},
      {"7k/8/3n4/8/4n3/2N5/8/7K w - -", C3, E4, Even, "Nxe4 Nxe4"},
      {"8/P6k/8/8/8/8/8/7K w - -", A7, A8, 800, "a8=Q counts as a queen"},
      {"7k/8/8/8/8/8/7p/K7 b - -", H2, H1, 800, "h1=Q counts as a queen"},
      {"4k3/P7/8/8/r7/8/8/R3K3 w - -", A7, A8, 350, "a8=Q Rxa8 Rxa8: the rook behind the pawn joins"},
      {"4r2k/8/4p3/8/8/8/4R3/4R2K w - -", E2, E6, 100, "Rxe6 Rxe6 Rxe6"},
      {"4r2k/8/4p3/8/8/8/4R3/7K w - -", E2, E6, Loses, "Rxe6 Rxe6: no second rook"},
      {"3r3r/8/1k6/8/7P/5K2/P7/Q6R w - -", A1, H8, Loses, "Qxh8 Rxh8: the h1 rook is not on the diagonal"},
      {"7k/3Q4/8/8/n1qr1R2/8/8/R6K w - -", A1, A4, 320, "Rxa4 Qxa4 Qxa4 Rxa4 Rxa4: f4 joins after d4"},
      {"4q2k/6b1/8/RQ2n3/8/8/8/4R2K w - -", E1, E5, 145, "Rxe5 Bxe5 Qxe5 Qxe5 Rxe5: a5 joins after b5"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupGame(c.fen));
    int outcome = Outcome(Exchange(c.from, c.to));
    if (c.outcome > 0) {
      EXPECT_NEAR(outcome, c.outcome, 100) << c.sequence;
    } else {
      EXPECT_EQ(outcome, c.outcome) << c.sequence;
    }
  }
}
