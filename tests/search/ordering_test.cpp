// Move ordering: lifting, the two selection phases, and learning from cut-offs.
#include <limits>
#include <vector>
#include "search_support.h"

using namespace search_test;

namespace {

constexpr Move Knight = MakeMoveWord(G1, F3, KindQuiet);
constexpr Move Knight2 = MakeMoveWord(B1, C3, KindQuiet);
constexpr Move PawnPush = MakeMoveWord(E2, E4, KindQuiet);
constexpr Move PawnPush2 = MakeMoveWord(D2, D4, KindQuiet);
constexpr Move Castle = MakeMoveWord(E1, G1, KindWhiteShortCastle);
constexpr Move Capture = MakeMoveWord(D1, D7, KindCapture);
constexpr Move Searched = MakeMoveWord(A2, A3, KindQuiet);

class Ordering : public testing::Test {
 protected:
  PlyRecord* r = &PlyRecords[6];

  void SetUp() override {
    InitOnce();
    ASSERT_TRUE(SetupGame(InitialFen));  // white to move; statistics, history and killers reset
  }

  void SetList(const std::vector<MoveEntry>& entries) {
    r->ListStart = MoveStack;
    r->ListEnd = MoveStack + entries.size();
    for (size_t i = 0; i < entries.size(); ++i) MoveStack[i] = entries[i];
    BeginSelection(r);
  }

  int16_t ScoreOf(Move m) const {
    for (MoveEntry* e = r->ListStart; e < r->ListEnd; ++e)
      if (e->Move == m) return e->Score;
    return 0;
  }

  std::vector<Move> SelectAll() {
    std::vector<Move> order;
    bool historyPhase = false;
    while (MoveEntry* e = SelectMove(r, historyPhase)) order.push_back(e->Move);
    return order;
  }
};

TEST_F(Ordering, LiftsHashAndKillersOnlyAmongUnsearchedEntries) {
  r->HashMove = Knight;
  r->Killer1 = PawnPush;
  r->Killer2 = Castle;
  SetList({{-30000, Knight}, {-30000, PawnPush}, {-29000, Castle}, {-9500, Capture}, {-30000, Knight2}});
  LiftHashAndKillers(r, LiftLimit);
  EXPECT_EQ(ScoreOf(Knight), ScoreHashMove);
  EXPECT_EQ(ScoreOf(PawnPush), ScoreKiller1);
  EXPECT_EQ(ScoreOf(Castle), ScoreKiller2);
  EXPECT_EQ(ScoreOf(Capture), -9500);
  EXPECT_EQ(ScoreOf(Knight2), -30000);

  // A hash move that already carries a search result above -8100 keeps it.
  SetList({{-30000, PawnPush2}, {120, Knight}});
  LiftHashAndKillers(r, LiftLimit);
  EXPECT_EQ(ScoreOf(Knight), 120);

  // The root lifts whatever the score.
  SetList({{-30000, PawnPush2}, {120, Knight}});
  LiftHashAndKillers(r, std::numeric_limits<int16_t>::max());
  EXPECT_EQ(ScoreOf(Knight), ScoreHashMove);
}

TEST_F(Ordering, QuiescenceKillersKeepTheirScorePlusABonus) {
  r->HashMove = Capture;
  r->Killer1 = Knight;
  r->Killer2 = PawnPush;
  SetList({{-9500, Capture}, {-9000, Knight}, {-8600, PawnPush}, {-7000, Searched}});
  LiftQuiesceMoves(r);
  EXPECT_EQ(ScoreOf(Capture), ScoreHashMove);
  EXPECT_EQ(ScoreOf(Knight), -7500);
  EXPECT_EQ(ScoreOf(PawnPush), -7600);
  EXPECT_EQ(ScoreOf(Searched), -7000);
}

TEST_F(Ordering, SelectsByScoreThenKillersThenByHistory) {
  HistoryTable[White][PawnPush2 & 0xFFF] = 2000;  // outweighs the castling's 1000 generator lead
  HistoryTable[White][Knight2 & 0xFFF] = 500;
  SetList({{-30000, Knight2},
           {-29000, Castle},
           {-30000, PawnPush2},
           {ScoreKiller2, PawnPush},
           {-9500, Capture},
           {ScoreKiller1, Knight},
           {ScoreHashMove, Searched},
           {-30000, MakeMoveWord(H2, H3, KindQuiet)}});
  std::vector<Move> expected = {Searched, Capture, Knight, PawnPush, PawnPush2, Castle, Knight2,
                                MakeMoveWord(H2, H3, KindQuiet)};
  EXPECT_EQ(SelectAll(), expected);
}

TEST_F(Ordering, EqualScoresGoInListOrder) {
  SetList({{-9500, Capture}, {-9500, Knight}, {-9500, PawnPush}});
  EXPECT_EQ(SelectAll(), (std::vector<Move>{Capture, Knight, PawnPush}));
  SetList({{-30000, Knight2}, {-30000, Knight}, {-30000, PawnPush}});
  EXPECT_EQ(SelectAll(), (std::vector<Move>{Knight2, Knight, PawnPush}));
  SetList({{-9500, Capture}, {-9400, Knight}});
  MoveEntry* first = SelectByScore(r);
  EXPECT_EQ(first->Move, Knight);
  EXPECT_EQ(SelectByScore(r)->Move, Capture);
  EXPECT_EQ(SelectByScore(r), nullptr);
}

TEST_F(Ordering, QuietCutoffTeachesKillersHistoryAndStatistics) {
  SetList({{0, PawnPush}, {-8190, PawnPush2}, {35, Knight}});
  LearnCutoff(r, r->ListStart + 2, 3, true);
  EXPECT_EQ(r->Killer1, Knight);
  EXPECT_EQ(r->Killer2, 0);
  EXPECT_EQ(HistoryTable[White][Knight & 0xFFF], 9);
  EXPECT_EQ(CutoffCount[WhiteKnight - 1][F3], 2u);
  EXPECT_EQ(TryCount[WhiteKnight - 1][F3], 2u);
  EXPECT_EQ(TryCount[WhitePawn - 1][E4], 2u) << "searched before the cut-off";
  EXPECT_EQ(TryCount[WhitePawn - 1][D4], 1u) << "illegal moves are not tries";
  EXPECT_EQ(CutoffCount[WhitePawn - 1][E4], 1u);

  SetList({{0, PawnPush}});
  LearnCutoff(r, r->ListStart, 2, true);
  EXPECT_EQ(r->Killer1, PawnPush);
  EXPECT_EQ(r->Killer2, Knight);
  LearnCutoff(r, r->ListStart, 2, true);
  EXPECT_EQ(r->Killer2, Knight) << "the same killer again shifts nothing";
}

TEST_F(Ordering, CaptureCutoffRaisesHistoryButLeavesTheKillers) {
  ASSERT_TRUE(SetupGame("4k3/3r4/8/8/8/8/8/3QK3 w - -"));
  r->Killer1 = Knight;
  r->Killer2 = PawnPush;
  SetList({{-9000, Capture}});
  LearnCutoff(r, r->ListStart, 4, true);
  EXPECT_EQ(r->Killer1, Knight);
  EXPECT_EQ(r->Killer2, PawnPush);
  EXPECT_EQ(HistoryTable[White][Capture & 0xFFF], 16);
  EXPECT_EQ(CutoffCount[WhiteQueen - 1][D7], 2u);

  LearnKiller(r, Capture, true);  // the quiescence search learns every kind
  EXPECT_EQ(r->Killer1, Capture);
  EXPECT_EQ(r->Killer2, Knight);
}

TEST_F(Ordering, RootCutoffCountsOnlyTheCuttingMove) {
  SetList({{0, PawnPush}, {35, Knight}});
  LearnCutoff(r, r->ListStart + 1, 5, false);
  EXPECT_EQ(TryCount[WhitePawn - 1][E4], 1u);
  EXPECT_EQ(TryCount[WhiteKnight - 1][F3], 2u);
  EXPECT_EQ(HistoryTable[White][Knight & 0xFFF], 25);
}

// Searches to depth 127 in quiet positions add 16129 a cut-off: the history stops at its top.
TEST_F(Ordering, HistoryStopsAtItsTopInsteadOfWrapping) {
  SetList({{0, Knight}});
  HistoryTable[White][Knight & 0xFFF] = INT32_MAX - 10000;
  LearnCutoff(r, r->ListStart, 127, true);
  EXPECT_EQ(HistoryTable[White][Knight & 0xFFF], HistoryLimit);
}

TEST_F(Ordering, SaturatedCountersAreQuartered) {
  TryCount[WhiteKnight - 1][F3] = std::numeric_limits<uint64_t>::max();
  CutoffCount[WhiteKnight - 1][F3] = 1000;
  TryCount[BlackRook - 1][A1] = 400;
  CutoffCount[BlackRook - 1][A1] = 100;
  SetList({{0, Knight}});
  LearnCutoff(r, r->ListStart, 1, true);
  EXPECT_EQ(TryCount[WhiteKnight - 1][F3], std::numeric_limits<uint64_t>::max() / 4 + 1);
  EXPECT_EQ(CutoffCount[WhiteKnight - 1][F3], 251u);
  EXPECT_EQ(TryCount[BlackRook - 1][A1], 100u);
  EXPECT_EQ(CutoffCount[BlackRook - 1][A1], 25u);
}

TEST_F(Ordering, ReducesMovesWithALowCutoffRate) {
  EXPECT_TRUE(ReduceByStatistics(WhiteKnight, F3)) << "never tried";
  CutoffCount[WhiteKnight - 1][F3] = 60;
  TryCount[WhiteKnight - 1][F3] = 100;
  EXPECT_FALSE(ReduceByStatistics(WhiteKnight, F3));
  CutoffCount[WhiteKnight - 1][F3] = 59;
  EXPECT_TRUE(ReduceByStatistics(WhiteKnight, F3));
}

TEST_F(Ordering, SetupAndGameMovesResetTheStatistics) {
  HistoryTable[White][5] = 7;
  TryCount[0][0] = 9;
  PlyRecords[3].Killer1 = Knight;
  ASSERT_TRUE(PlayGameMove(PawnPush));
  EXPECT_EQ(HistoryTable[White][5], 0);
  EXPECT_EQ(TryCount[0][0], 1u);
  EXPECT_EQ(PlyRecords[3].Killer1, Knight) << "killers survive a game move";
  ASSERT_TRUE(SetupGame(InitialFen));
  EXPECT_EQ(PlyRecords[3].Killer1, 0);
}

}  // namespace
