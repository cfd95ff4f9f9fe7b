// Static exchange scorer: the worked examples of the ordering scale, plus hidden
// attackers that must (or must not) take part in the exchange.
#include "eval/eval.h"
#include "movegen_helpers.h"

using namespace movegen_test;

namespace {

int Exchange(int from, int to) {
  const Bitboard* pb = Position.PieceBoard;
  Bitboard queens = pb[WhiteQueen] | pb[BlackQueen];
  return ExchangeScore(from, Position.Board[from], to, pb[WhiteRook] | pb[BlackRook] | queens,
                       pb[WhiteBishop] | pb[BlackBishop] | queens);
}

// The piece-square part of a move: the mover leaves from and arrives on to (as `arriving`).
int Placement(int from, int to, int arriving) {
  return PieceSquareValue(arriving, to) - PieceSquareValue(Position.Board[from], from);
}
int Placement(int from, int to) { return Placement(from, to, Position.Board[from]); }

int16_t Wrapped(int v) { return static_cast<int16_t>(v); }

// Expected score of a capture from..to that wins gain after the exchange.
int16_t Winning(int from, int to, int gain) {
  return Wrapped(Placement(from, to) + PieceSquareValue(Position.Board[to], to) + gain - 9500);
}

}  // namespace

TEST(ExchangeScore, KingMayNotCaptureADefendedPiece) {
  ASSERT_TRUE(SetupGame("7k/8/8/1b6/8/8/3nn3/4K3 w - -"));
  EXPECT_EQ(Exchange(E1, E2), -32767);  // the bishop on b5 defends e2
  EXPECT_EQ(Exchange(E1, D2), Winning(E1, D2, 320));
}

TEST(ExchangeScore, UndefendedPawnWinsItsValue) {
  ASSERT_TRUE(SetupGame("7k/8/8/1p6/8/2N5/8/7K w - -"));
  EXPECT_EQ(Exchange(C3, B5), Winning(C3, B5, 100));
}

TEST(ExchangeScore, KnightTakingAPawnDefendedByAPawnStopsEarly) {
  // G[1] = 320 - 100 = 220 and 220 - 100 > 50: the defender's side stops ahead.
  ASSERT_TRUE(SetupGame("7k/8/4p3/3p4/8/2N5/8/7K w - -"));
  EXPECT_EQ(Exchange(C3, D5), Wrapped(Placement(C3, D5) - 30170));
}

TEST(ExchangeScore, RookTakingAPawnDefendedByAKnight) {
  ASSERT_TRUE(SetupGame("7k/8/5n2/3p4/8/8/8/3R3K w - -"));
  EXPECT_EQ(Exchange(D1, D5), Wrapped(Placement(D1, D5) + 160 - 400 - 30000));
}

TEST(ExchangeScore, PromotionPushCountsAsAQueen) {
  ASSERT_TRUE(SetupGame("8/P6k/8/8/8/8/8/7K w - -"));
  EXPECT_EQ(Exchange(A7, A8), Wrapped(Placement(A7, A8, WhiteQueen) + 800 - 9500));
  ASSERT_TRUE(SetupGame("7k/8/8/8/8/8/7p/K7 b - -"));
  EXPECT_EQ(Exchange(H2, H1), Wrapped(Placement(H2, H1, BlackQueen) + 800 - 9500));
}

TEST(ExchangeScore, PromotionPushUncoversTheRookBehindThePawn) {
  // a8=Q, Rxa8 (the black rook on a4 sees a8 once the pawn has left a7), Rxa8: +350.
  ASSERT_TRUE(SetupGame("4k3/P7/8/8/r7/8/8/R3K3 w - -"));
  EXPECT_EQ(Exchange(A7, A8), Wrapped(Placement(A7, A8, WhiteQueen) + 350 - 9500));
}

TEST(ExchangeScore, SecondRookBehindTheFirstRecaptures) {
  // Rxe6 Rxe6 Rxe6 wins the pawn; without the rook on e1 the first rook is lost for it.
  ASSERT_TRUE(SetupGame("4r2k/8/4p3/8/8/8/4R3/4R2K w - -"));
  EXPECT_EQ(Exchange(E2, E6), Winning(E2, E6, 100));
  ASSERT_TRUE(SetupGame("4r2k/8/4p3/8/8/8/4R3/7K w - -"));
  EXPECT_EQ(Exchange(E2, E6), Wrapped(Placement(E2, E6) - 400 - 30000));
}

TEST(ExchangeScore, EvenTradeSitsJustAboveQuietMoves) {
  // Nxe4 Nxe4: a knight for a knight resolves to exactly 0.
  ASSERT_TRUE(SetupGame("7k/8/3n4/8/4n3/2N5/8/7K w - -"));
  EXPECT_EQ(Exchange(C3, E4), Wrapped(Placement(C3, E4) - 29985));
}

TEST(ExchangeScore, QueenCapturingDiagonallyUncoversNothingAcrossTheCorner) {
  // Qxh8 Rxh8: the rook on h1 is blocked by the h4 pawn and is not on the a1-h8 line, so it
  // never joins the exchange; the queen is lost for the rook.
  ASSERT_TRUE(SetupGame("3r3r/8/1k6/8/7P/5K2/P7/Q6R w - -"));
  EXPECT_EQ(Exchange(A1, H8), Wrapped(Placement(A1, H8) - 450 - 30000));
}

TEST(ExchangeScore, UncoveredRookJoinsAfterItsSideUsedTheQueen) {
  // Rxa4 Qxa4 Qxa4 Rxa4 Rxa4: the white rook on f4 appears only when the black rook on d4
  // has captured, after White already recaptured with the queen; it still takes part. +320.
  ASSERT_TRUE(SetupGame("7k/3Q4/8/8/n1qr1R2/8/8/R6K w - -"));
  EXPECT_EQ(Exchange(A1, A4), Winning(A1, A4, 320));
}

TEST(ExchangeScore, QueenRecaptureLetsTheRookBehindItJoin) {
  // Rxe5 Bxe5 Qxe5 Qxe5 Rxe5: the rook on a5 joins only after its own queen has captured from b5,
  // though its side had already moved past the rooks. +145.
  ASSERT_TRUE(SetupGame("4q2k/6b1/8/RQ2n3/8/8/8/4R2K w - -"));
  EXPECT_EQ(Exchange(E1, E5), Winning(E1, E5, 145));
}
