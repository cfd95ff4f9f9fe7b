// Quiescence search: king captures, stand-pat, table stores, bare material, the depth limit and mate
// in check.
#include "search_support.h"

using namespace search_test;

namespace {

// Sets up fen and prepares the records for a quiescence search of it at ply 1.
void Prepare(const char* fen) {
  ASSERT_TRUE(SetupGame(fen)) << fen;
  PrepareRootSearch();
}

}  // namespace

TEST(Quiesce, ScoresAndTableEntries) {
  constexpr int StandPat = 1, Nothing = -1;
  struct Case { const char* fen; int beta, score; Move stored; int bound; const char* why; };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/R3K3 w - -", -100, StandPat, MarkerStandPat, BoundLower, "stand-pat at or above beta"},
      {"4k3/8/8/2p5/3p4/8/8/3QK3 w - -", ScoreMate, StandPat, 0, Nothing, "the only capture loses the queen"},
      {"8/8/8/8/8/8/1r6/K6k w - -", ScoreMate, 0, MakeMoveWord(A1, B2, KindCapture), BoundExact, "bare kings"},
  };
  for (const Case& c : cases) {
    Prepare(c.fen);
    const int standPat = Evaluate();
    const int score = Quiesce(0, 1, -ScoreMate, c.beta);
    EXPECT_EQ(score, c.score == StandPat ? standPat : c.score) << c.why;
    EXPECT_EQ(Stored(), c.bound == Nothing ? "nothing" : Entry(c.stored, c.bound, score)) << c.why;
  }
}

TEST(Quiesce, CapturingTheKingRefutesTheMoveBefore) {
  Prepare("4k3/4r3/8/8/8/8/4R3/4K3 b - -");
  // The pinned rook steps aside: an illegal move that the quiescence search refutes.
  const Move illegal = MakeMoveWord(E7, D7, KindQuiet);
  PlyRecord* root = CurrentPly;
  root->ListEnd = root->ListStart = MoveStack;
  SaveBoardState(root);
  MakeMove(illegal, root);
  CurrentPly = root + 1;
  EXPECT_EQ(Quiesce(0, 1, -ScoreMate, ScoreMate), ScoreInfinity);
  EXPECT_EQ(Stored(), Entry(MakeMoveWord(E2, E8, KindCapture), BoundExact, ScoreInfinity));
  CurrentPly = root;
  UnmakeMove(illegal, root);
}

TEST(Quiesce, BelowDepthMinusSixTheEvaluationScoresEachCapture) {
  const char* fen = "4k3/8/4p3/3q4/8/8/6P1/3RK3 w - -";
  Prepare(fen);
  PlyRecord scratch;
  const Move take = MakeMoveWord(D1, D5, KindCapture);
  SaveBoardState(&scratch);
  MakeMove(take, &scratch);
  const int afterCapture = -Evaluate();
  UnmakeMove(take, &scratch);
  EXPECT_EQ(Quiesce(-7, 1, -ScoreMate, ScoreMate), afterCapture);
  Prepare(fen);
  EXPECT_LT(Quiesce(0, 1, -ScoreMate, ScoreMate), afterCapture) << "one level up the recapture is seen";
}

TEST(Quiesce, SideKnownInCheckWithoutEvasionIsMatedAtItsPly) {
  Prepare("R5k1/5ppp/8/8/8/8/8/6K1 b - -");
  CheckCount[Black] = 1;
  EXPECT_EQ(Quiesce(0, 4, -ScoreMate, ScoreMate), 4 - ScoreMate);
  CheckCount[Black] = 0;
  EXPECT_EQ(Stored(), Entry(MarkerCheckmated, BoundExact, 4 - ScoreMate));
}
