// Move ordering: lifting of the hash move and the killers, the selection order, and what beta
// cut-offs teach (killers, history, cut-off statistics).
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
constexpr Move Promotion = MakeMoveWord(B7, B8, KindPromoQueen);
constexpr Move Searched = MakeMoveWord(A2, A3, KindQuiet);

class Ordering : public testing::Test {
 protected:
  PlyRecord* r = &PlyRecords[6];

  void SetUp() override { ASSERT_TRUE(SetupGame(InitialFen)); }  // statistics, history and killers reset

  void SetList(const std::vector<MoveEntry>& entries) {
    r->ListStart = MoveStack;
    r->ListEnd = MoveStack + entries.size();
    std::copy(entries.begin(), entries.end(), MoveStack);
    BeginSelection(r);
  }

  std::vector<Move> SelectAll(bool byScoreOnly = false) {
    std::vector<Move> order;
    bool historyPhase = false;
    while (MoveEntry* e = byScoreOnly ? SelectByScore(r) : SelectMove(r, historyPhase)) order.push_back(e->Move);
    return order;
  }
};

// Lifting gives the hash move and the killers their scores among entries still carrying their
// generator score (an entry holding a search result above -8100 keeps it, save at the root); then the
// selection takes scores first, and below -10000 the generator score plus the history, which a
// deeper cut-off raises more. Equal keys go in list order. Hash move Knight, killers PawnPush, Castle.
TEST_F(Ordering, LiftingAndSelectionOrder) {
  struct Case { std::vector<MoveEntry> list; int limit; std::vector<Move> order; };
  const Case cases[] = {
      {{{-30000, Knight2}, {-30000, Promotion}, {-30000, PawnPush2}, {-30000, PawnPush}, {-9500, Capture},
        {-29000, Castle}, {-30000, Knight}, {-29000, Searched}},
       LiftLimit, {Knight, Capture, PawnPush, Castle, Searched, PawnPush2, Knight2, Promotion}},
      {{{-30000, Knight2}, {-30000, PawnPush2}, {-30000, Promotion}}, LiftLimit, {PawnPush2, Knight2, Promotion}},
      {{{-30000, Searched}, {-8000, Knight}, {-7000, Capture}}, LiftLimit, {Capture, Knight, Searched}},
      {{{120, Searched}, {-30000, PawnPush2}, {100, Knight}}, 32767, {Knight, Searched, PawnPush2}},
      {{{-9500, Capture}, {-9500, Searched}, {-9500, Promotion}}, LiftLimit, {Capture, Searched, Promotion}},
      {{{-30000, Promotion}, {-30000, Searched}, {-30000, Capture}}, LiftLimit, {Promotion, Searched, Capture}},
  };
  for (auto [move, depth] : {std::pair{Knight2, 2}, {PawnPush2, 5}}) {
    SetList({{0, move}});
    LearnCutoff(r, r->ListStart, depth, true);
  }
  for (const Case& c : cases) {
    r->HashMove = Knight, r->Killer1 = PawnPush, r->Killer2 = Castle;
    SetList(c.list);
    LiftHashAndKillers(r, c.limit);
    EXPECT_EQ(SelectAll(), c.order);
  }
}

// The quiescence search tries the hash move first and its killers before other moves of equal score.
TEST_F(Ordering, QuiescenceLiftsTheHashMoveAndTheKillers) {
  r->HashMove = Promotion, r->Killer1 = Knight, r->Killer2 = PawnPush;
  SetList({{-9500, Capture}, {-9500, PawnPush}, {-9500, Knight}, {-9500, Promotion}, {-7000, Searched}});
  LiftQuiesceMoves(r);
  EXPECT_EQ(SelectAll(true), (std::vector<Move>{Promotion, Searched, Knight, PawnPush, Capture}));
}

// Cut-offs in turn: quiet moves and castling become killers (the old first killer moves to the
// second slot); other kinds only in the quiescence search, which learns every kind.
TEST_F(Ordering, CutoffsTeachKillers) {
  struct Step { Move move; bool quiescence; Move killer1, killer2; };
  const Step steps[] = {
      {Knight, false, Knight, 0},          {PawnPush, false, PawnPush, Knight}, {PawnPush, false, PawnPush, Knight},
      {Castle, false, Castle, PawnPush},   {Capture, false, Castle, PawnPush},  {Promotion, false, Castle, PawnPush},
      {Capture, true, Capture, Castle},
  };
  for (const Step& s : steps) {
    SetList({{0, s.move}});
    if (s.quiescence) LearnKiller(r, s.move, true);
    else LearnCutoff(r, r->ListStart, 3, true);
    EXPECT_EQ(r->Killer1, s.killer1) << Text(s.move);
    EXPECT_EQ(r->Killer2, s.killer2) << Text(s.move);
  }
}

// A cut-off counts a try and a cut-off for its piece and square; with countEarlier also a try for each
// move searched before it (scored above -8100; lower scores are illegal moves).
TEST_F(Ordering, CutoffStatistics) {
  for (bool countEarlier : {true, false}) {
    ResetOrderingStatistics();
    SetList({{0, PawnPush}, {-8190, PawnPush2}, {35, Knight}});
    LearnCutoff(r, r->ListStart + 2, 3, countEarlier);
    EXPECT_EQ(TryCount[WhiteKnight - 1][F3], 2u);
    EXPECT_EQ(CutoffCount[WhiteKnight - 1][F3], 2u);
    EXPECT_EQ(TryCount[WhitePawn - 1][E4], countEarlier ? 2u : 1u);
    EXPECT_EQ(TryCount[WhitePawn - 1][D4], 1u);
    EXPECT_EQ(CutoffCount[WhitePawn - 1][E4], 1u);
  }
  // Reduced: untried, or cut-offs in less than 60 percent of the tries.
  EXPECT_TRUE(ReduceByStatistics(WhiteBishop, C4));
  for (auto [cutoffs, reduced] : {std::pair{60u, false}, {59u, true}}) {
    CutoffCount[WhiteKnight - 1][F3] = cutoffs;
    TryCount[WhiteKnight - 1][F3] = 100;
    EXPECT_EQ(ReduceByStatistics(WhiteKnight, F3), reduced) << cutoffs;
  }
}

TEST_F(Ordering, GameMovesRenewTheStatisticsAndSetupsClearTheKillers) {
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

// Searches to depth 127 in quiet positions add 16129 a cut-off: the history stops at its top.
TEST_F(Ordering, HistoryStopsAtItsTopInsteadOfWrapping) {
  SetList({{0, Knight}});
  HistoryTable[White][Knight & 0xFFF] = INT32_MAX - 10000;
  LearnCutoff(r, r->ListStart, 127, true);
  EXPECT_EQ(HistoryTable[White][Knight & 0xFFF], HistoryLimit);
}

}  // namespace
