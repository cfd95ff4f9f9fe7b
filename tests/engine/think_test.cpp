// Thinking and time control in the engine's own functions: the move budget from the
// interface's clocks, the hard limit that keeps a move within the engine's clock, the stop
// rule, the choice of the move after a search, and the bitbase score conversion.
#include <gtest/gtest.h>
#include "../support/game_support.h"
#include "search/search.h"

namespace {

// Sets the time-control globals the way level, the game and the engine's state leave them.
void Control(int movesPerControl, int64_t increment, int gamePly, int state = Waiting) {
  MovesPerControl = movesPerControl;
  Increment = increment;
  GamePly = static_cast<uint16_t>(gamePly);
  EngineState = state;
}

// The engine's k-th move of a control of 40 has 40 - (k - 1) moves to go, whether the clock
// comes while the opponent is to move (Waiting: before the opponent's move) or while the
// engine thinks; the budget is a tenth of the clock per move to go less a margin of 1 s
// (0.5 s from 2.2 s per move on), nine tenths of the clock on the last move, plus the increment.
struct BudgetCase { int movesPerControl, increment, gamePly, state, clock, movesToGo; int64_t budget; };
const BudgetCase BudgetCases[] = {
    {40, 0, 1, Waiting, 60000, 40, 14000},        // white's first move: 1500 cs a move less 100
    {40, 0, 79, Waiting, 60000, 1, 539100},       // before white's 40th move: 59900 cs x 9
    {40, 0, 79, Thinking, 60000, 1, 539100},      // white thinking on its 40th move
    {40, 0, 80, Thinking, 60000, 1, 539100},      // black thinking on its 40th move
    {40, 0, 2, Thinking, 60000, 40, 14000},       // black's first move
    {40, 0, 77, Waiting, 60000, 2, 299000},       // before white's 39th move, for black's 39th: 29900 cs x 10
    {40, 0, 81, Thinking, 60000, 40, 14000},      // white's 41st move opens the next control
    {0, 12000, 30, Waiting, 3000, 33, 12900},     // whole game: clock / 33 = 90 cs + 12 s
    {0, 0, 1, Waiting, 220 * 33, 33, 1700},       // 220 cs a move: 0.5 s margin
    {0, 0, 1, Waiting, 219 * 33, 33, 2190},       // 219 cs: no margin
    {0, 0, 1, Waiting, 500 * 33, 33, 4000},       // 500 cs: 1 s margin
    {1, 0, 1, Waiting, 999999999, 1, int64_t(999999899) * 9},  // the test command's clock
};

TEST(MoveBudget, CountsTheEnginesOwnMovesInTheControl) {
  for (const BudgetCase& c : BudgetCases) {
    Control(c.movesPerControl, c.increment, c.gamePly, c.state);
    ComputeMoveBudget(c.clock, 0);
    EXPECT_EQ(MovesToGo, c.movesToGo) << "ply " << c.gamePly << " state " << c.state;
    EXPECT_EQ(MoveBudget, c.budget) << "ply " << c.gamePly << " state " << c.state;
  }
  EngineState = Waiting;
}

TEST(HardTimeLimit, NeverReachesTheClockAndLeavesTwoThirdsWithMovesToGo) {
  for (int movesPerControl : {0, 1, 40}) {
    Control(movesPerControl, 1000, 1);
    for (int64_t clock : {300, 1000, 5000, 60000, 3600000}) {
      ComputeMoveBudget(static_cast<int>(clock / 10), 0);
      EXPECT_LT(HardTimeLimit(clock), clock - 100) << clock;
      EXPECT_GT(HardTimeLimit(clock), 0) << clock;
      if (MovesToGo > 1) {
        EXPECT_LE(HardTimeLimit(clock), clock / 3 + 1000) << clock;
      }
    }
  }
  Control(1, 0, 1);
  ComputeMoveBudget(6000, 0);
  EXPECT_GT(HardTimeLimit(60000), 50000);  // the last move of a control may use the clock
}

// The budget ends the search only after depth two; the hard limit at any depth, but not a
// pondering search. Deadlines in milliseconds from now (-1: none); every search began 1 s ago.
TEST(StopRule, TheBudgetAfterDepthTwoTheHardLimitAtAnyDepth) {
  struct Case { int depth, budget, deadline, state; bool stops; };
  const Case cases[] = {{2, 500, -1, Thinking, false}, {3, 500, -1, Thinking, true},   {3, 1000000, -1, Thinking, false},
                        {1, 500, 0, Thinking, true},   {1, 500, 0, Pondering, false},   {1, 500, 1000000, Thinking, false}};
  for (const Case& c : cases) {
    IterationDepth = c.depth;
    MoveBudget = c.budget;
    EngineState = c.state;
    SearchStart = Now() - 1000;
    MoveDeadline = c.deadline < 0 ? -1 : Now() + c.deadline;
    EXPECT_EQ(TimeUp(), c.stops) << c.depth << " " << c.budget << " " << c.deadline << " " << c.state;
  }
  EngineState = Waiting;
}

// A search stopped by the hard limit before its first iteration finished leaves no table entry
// and no result: the engine still plays the move its ordering rates best, here the rook taking
// the undefended queen, not the first legal move generated (the queen taking a defended pawn).
TEST(Decision, ASearchCutShortStillPlaysTheBestOrderedMove) {
  ASSERT_TRUE(SetupGame("3rk3/3p4/8/7q/8/8/3Q4/4K2R w - -"));
  SearchResult = 0xFFFF & static_cast<uint16_t>(-9999);
  PlyRecords[1].BestMove = MarkerNoBestMove;
  EXPECT_EQ(Text(DecideMove(ProbeTT(Position.PositionKey, Position.SideToMove)).move), "h1h5");
}

TEST(BitbaseScore, ScoresBeyondSevenThousandAreSqueezedBelowTheMateRange) {
  const int cases[][2] = {{7500, 7050}, {17000, 8000}, {17010, 8001}, {-17010, -8001},
                          {-7500, -7050}, {0, 0}, {7000, 7000}, {99999, 99999}};
  for (const auto& c : cases) EXPECT_EQ(ConvertBitbaseScore(c[0]), c[1]) << c[0];
}

}  // namespace
