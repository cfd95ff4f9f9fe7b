// Quiescence search: king captures, stand-pat, table stores, bare material, the depth limit and mate
// in check.
#include "eval/eval.h"
#include "search_support.h"

using namespace search_test;

namespace {

int QuiesceFen(const char* fen, int depth, int alpha, int beta) {
  InitOnce();
  EXPECT_TRUE(SetupGame(fen)) << fen;
  PrepareRootSearch();
  return Quiesce(depth, 1, alpha, beta);
}

const TTSlot* Entry() { return ProbeTT(Position.PositionKey, Position.SideToMove); }

TEST(Quiesce, CapturingTheKingScoresInfinityAndIsStored) {
  InitOnce();
  ASSERT_TRUE(SetupGame("4k3/4r3/8/8/8/8/4R3/4K3 b - -"));
  PrepareRootSearch();
  // The pinned rook steps aside: an illegal move that the quiescence search refutes.
  const Move illegal = MakeMoveWord(E7, D7, KindQuiet);
  PlyRecord* root = CurrentPly;
  root->ListEnd = root->ListStart = MoveStack;
  SaveBoardState(root);
  MakeMove(illegal, root);
  CurrentPly = root + 1;
  EXPECT_EQ(Quiesce(0, 1, -ScoreMate, ScoreMate), ScoreInfinity);
  const TTSlot* e = Entry();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(TTMove(e), MakeMoveWord(E2, E8, KindCapture));
  EXPECT_EQ(TTBound(e), BoundExact);
  EXPECT_EQ(TTScore(e), ScoreInfinity);
  EXPECT_EQ(TTDepth(e), 0);
  CurrentPly = root;
  UnmakeMove(illegal, root);
}

TEST(Quiesce, StandPatAtOrAboveBetaIsStoredAsALowerBound) {
  int score = QuiesceFen("4k3/8/8/8/8/8/8/R3K3 w - -", 0, -ScoreMate, -100);
  EXPECT_EQ(score, Evaluate());
  const TTSlot* e = Entry();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(TTMove(e), MarkerStandPat);
  EXPECT_EQ(TTBound(e), BoundLower);
  EXPECT_EQ(TTScore(e), score);
}

TEST(Quiesce, UnbeatenStandPatIsReturnedAndNotStored) {
  // The only capture gives the queen for a defended pawn.
  int score = QuiesceFen("4k3/8/8/2p5/3p4/8/8/3QK3 w - -", 0, -ScoreMate, ScoreMate);
  EXPECT_EQ(score, Evaluate());
  EXPECT_EQ(Entry(), nullptr);
}

TEST(Quiesce, CaptureToBareKingsIsADraw) {
  EXPECT_EQ(QuiesceFen("8/8/8/8/8/8/1r6/K6k w - -", 0, -ScoreMate, ScoreMate), 0);
  const TTSlot* e = Entry();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(TTMove(e), MakeMoveWord(A1, B2, KindCapture));
  EXPECT_EQ(TTBound(e), BoundExact);
}

TEST(Quiesce, BelowDepthMinusSixTheEvaluationScoresEachCapture) {
  const char* fen = "4k3/8/4p3/3q4/8/8/6P1/3RK3 w - -";
  const Move take = MakeMoveWord(D1, D5, KindCapture);
  InitOnce();
  ASSERT_TRUE(SetupGame(fen));
  int standPat = Evaluate();
  PlyRecord scratch;
  SaveBoardState(&scratch);
  MakeMove(take, &scratch);
  int afterCapture = -Evaluate();
  UnmakeMove(take, &scratch);
  ASSERT_GT(afterCapture, standPat);

  EXPECT_EQ(QuiesceFen(fen, -7, -ScoreMate, ScoreMate), afterCapture);
  // One level up the recapture on d5 is seen.
  EXPECT_LT(QuiesceFen(fen, 0, -ScoreMate, ScoreMate), afterCapture);
}

TEST(Quiesce, SideKnownInCheckWithoutEvasionIsMatedAtItsPly) {
  InitOnce();
  ASSERT_TRUE(SetupGame("R5k1/5ppp/8/8/8/8/8/6K1 b - -"));
  PrepareRootSearch();
  CheckCount[Black] = 1;
  EXPECT_EQ(Quiesce(0, 4, -ScoreMate, ScoreMate), 4 - ScoreMate);
  CheckCount[Black] = 0;
  const TTSlot* e = Entry();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(TTMove(e), MarkerCheckmated);
  EXPECT_EQ(TTBound(e), BoundExact);
}

}  // namespace
