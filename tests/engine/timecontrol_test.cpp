// Time control: the move budget from the interface's clocks, the hard limit that keeps a
// move within the engine's clock, the stop rule; and the bitbase score conversion.
#include <gtest/gtest.h>
#include "engine/engine.h"
#include "eval/eval.h"
#include "search/search.h"

namespace {

const bool Initialised = (InitTables(), InitPhaseTables(), true);

// Sets the time-control globals the way level and new leave them.
void Control(int movesPerControl, int64_t increment, int gamePly) {
  MovesPerControl = movesPerControl;
  Increment = increment;
  GamePly = static_cast<uint16_t>(gamePly);
}

TEST(MoveBudget, MovesPerControlDividesTheClockAndKeepsAMarginOnTheLastMove) {
  Control(40, 0, 1);
  ComputeMoveBudget(60000, 0);
  EXPECT_EQ(MovesToGo, 40);
  EXPECT_EQ(MoveBudget, 14000);  // 1500 - 100 centiseconds
  EXPECT_EQ(LastOwnClock, 600000);
  Control(40, 0, 79);  // 39 moves played
  ComputeMoveBudget(60000, 0);
  EXPECT_EQ(MovesToGo, 1);
  EXPECT_EQ(MoveBudget, 539100);  // nine tenths of 59900 centiseconds
}

TEST(MoveBudget, WholeGameControlsDivideByThirtyThreeAndAddTheIncrement) {
  Control(0, 12000, 30);
  ComputeMoveBudget(3000, 0);
  EXPECT_EQ(MovesToGo, 33);
  EXPECT_EQ(MoveBudget, 12900);
}

TEST(MoveBudget, SafetyMarginsStartAt220And500Centiseconds) {
  Control(0, 0, 1);
  ComputeMoveBudget(220 * 33, 0);
  EXPECT_EQ(MoveBudget, 1700);
  ComputeMoveBudget(219 * 33, 0);
  EXPECT_EQ(MoveBudget, 2190);
  ComputeMoveBudget(500 * 33, 0);
  EXPECT_EQ(MoveBudget, 4000);
}

TEST(MoveBudget, TheTestCommandsUnlimitedClockNeedsSixtyFourBits) {
  Control(1, 0, 1);
  ComputeMoveBudget(999999999, 1);
  EXPECT_EQ(MoveBudget, int64_t(999999899) * 9);
}

TEST(HardTimeLimit, NeverReachesTheClock) {
  for (int movesPerControl : {0, 1, 40}) {
    Control(movesPerControl, 1000, 1);
    for (int64_t clock : {300, 1000, 5000, 60000, 3600000}) {
      ComputeMoveBudget(static_cast<int>(clock / 10), 0);
      EXPECT_LT(HardTimeLimit(clock), clock - 100) << clock;
      EXPECT_GT(HardTimeLimit(clock), 0) << clock;
    }
  }
}

TEST(HardTimeLimit, SeveralMovesToGoLeaveTwoThirdsOfTheClock) {
  Control(0, 0, 1);
  ComputeMoveBudget(6000, 0);
  EXPECT_LE(HardTimeLimit(60000), 20000);
  Control(1, 0, 1);
  ComputeMoveBudget(6000, 0);
  EXPECT_GT(HardTimeLimit(60000), 50000);  // the last move of a control may use the clock
}

struct StopRule : ::testing::Test {
  void SetUp() override {
    EngineState = Thinking;
    MoveDeadline = -1;
    MoveBudget = 500;
    SearchStart = Now() - 1000;
  }
  void TearDown() override { EngineState = Waiting; }
};

TEST_F(StopRule, TheBudgetEndsTheSearchOnlyAfterDepthTwo) {
  IterationDepth = 2;
  EXPECT_FALSE(TimeUp());
  IterationDepth = 3;
  EXPECT_TRUE(TimeUp());
  MoveBudget = 1000000;
  EXPECT_FALSE(TimeUp());
}

TEST_F(StopRule, TheHardLimitEndsTheSearchAtAnyDepth) {
  IterationDepth = 1;
  MoveDeadline = Now();
  EXPECT_TRUE(TimeUp());
  MoveDeadline = Now() + 1000000;
  EXPECT_FALSE(TimeUp());
}

TEST_F(StopRule, PonderingHasNoLimit) {
  EngineState = Pondering;
  IterationDepth = 10;
  MoveDeadline = Now();
  EXPECT_FALSE(TimeUp());
}

TEST(BitbaseScore, ScoresBeyondSevenThousandAreSqueezedBelowTheMateRange) {
  EXPECT_EQ(ConvertBitbaseScore(7500), 7050);
  EXPECT_EQ(ConvertBitbaseScore(17000), 8000);
  EXPECT_EQ(ConvertBitbaseScore(17010), 8001);
  EXPECT_EQ(ConvertBitbaseScore(-17010), -8001);
  EXPECT_EQ(ConvertBitbaseScore(-7500), -7050);
  EXPECT_EQ(ConvertBitbaseScore(0), 0);
  EXPECT_EQ(ConvertBitbaseScore(7000), 7000);
  EXPECT_EQ(ConvertBitbaseScore(99999), 99999);
}

}  // namespace
