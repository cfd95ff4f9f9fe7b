// Transposition table: slot layout, the store and replacement rules, and the maintenance passes.
#include "search_support.h"

using namespace search_test;

namespace {

// Two positions sharing a bucket (same low word) and a third in another bucket.
constexpr uint64_t KeyX = 0x1111111100012345ull;
constexpr uint64_t KeyY = 0x2222222200012345ull;
constexpr uint64_t KeyZ = 0x3333333300054321ull;
constexpr Move MoveA = MakeMoveWord(E2, E4, KindQuiet);
constexpr Move MoveB = MakeMoveWord(D2, D4, KindQuiet);

TTSlot* BucketSlots(uint64_t key, int side) { return TranspositionTable[side][key & (TTBucketCount - 1)].Slot; }

class Table : public testing::Test {
 protected:
  void SetUp() override {
    InitOnce();
    ClearTT();
    SearchAge = 1;
  }
  void TearDown() override { ClearTT(); }
};

TEST_F(Table, KeepsTheTwoSidesApart) {
  StoreTT(KeyX, White, MoveA, 25, 3, BoundExact);
  EXPECT_NE(ProbeTT(KeyX, White), nullptr);
  EXPECT_EQ(ProbeTT(KeyX, Black), nullptr);
  StoreTT(KeyX, Black, MoveB, -40, 2, BoundUpper);
  EXPECT_EQ(TTMove(ProbeTT(KeyX, White)), MoveA);
  EXPECT_EQ(TTMove(ProbeTT(KeyX, Black)), MoveB);
}

TEST_F(Table, SlotsHoldEveryFieldOfTheLayout) {
  SearchAge = 300;
  StoreTT(KeyX, White, MoveA, -8190, 127, BoundUpper);
  StoreTT(KeyZ, White, MarkerStandPat, 8190, 0, BoundLower);
  const TTSlot* x = ProbeTT(KeyX, White);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(TTMove(x), MoveA);
  EXPECT_EQ(TTScore(x), -8190);
  EXPECT_EQ(TTDepth(x), 127);
  EXPECT_EQ(TTBound(x), BoundUpper);
  EXPECT_EQ(TTAge(x), 300);
  EXPECT_EQ(x->Word0 >> 16, (KeyX & 0xFFFFFFFF) >> 16);
  EXPECT_EQ(x->Word1, KeyX >> 32);
  const TTSlot* z = ProbeTT(KeyZ, White);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(TTMove(z), MarkerStandPat);
  EXPECT_EQ(TTScore(z), 8190);
  EXPECT_EQ(TTBound(z), BoundLower);
  // Key bits 16-18 select the bucket; from bit 19 on the key is compared.
  EXPECT_EQ(ProbeTT(KeyZ ^ 0x70000, White), nullptr) << "different bucket";
  EXPECT_EQ(ProbeTT(KeyZ ^ 0x80000, White), nullptr) << "bit 19 is compared";
}

TEST_F(Table, SlotZeroOfThePositionTakesOnlyDeeperOrStrongerResults) {
  StoreTT(KeyX, White, MoveA, 10, 5, BoundUpper);
  StoreTT(KeyX, White, MoveB, 20, 4, BoundExact);  // shallower: refused
  TTSlot* slot = BucketSlots(KeyX, White);
  EXPECT_EQ(TTMove(&slot[0]), MoveA);
  EXPECT_EQ(TTDepth(&slot[0]), 5);
  EXPECT_EQ(slot[1].Word1, 0u);
  EXPECT_EQ(slot[2].Word1, 0u);

  StoreTT(KeyX, White, MoveB, 30, 5, BoundLower);  // same depth, stronger bound: taken in place
  EXPECT_EQ(TTMove(&slot[0]), MoveB);
  EXPECT_EQ(TTBound(&slot[0]), BoundLower);
  StoreTT(KeyX, White, MoveA, 40, 5, BoundUpper);  // same depth, weaker bound: refused
  EXPECT_EQ(TTScore(&slot[0]), 30);
  StoreTT(KeyX, White, MoveA, 50, 5, BoundExact);
  EXPECT_EQ(TTScore(&slot[0]), 50);
  EXPECT_EQ(slot[1].Word1, 0u) << "an update in place moves nothing";
}

TEST_F(Table, AMatchInSlotOneIsIgnoredByTheStore) {
  StoreTT(KeyX, White, MoveA, 10, 5, BoundExact);
  StoreTT(KeyY, White, MoveB, 20, 10, BoundExact);  // X gives way to the deeper Y and moves to slot 1
  TTSlot* slot = BucketSlots(KeyX, White);
  EXPECT_EQ(slot[0].Word1, KeyY >> 32);
  EXPECT_EQ(slot[1].Word1, KeyX >> 32);

  StoreTT(KeyX, White, MoveB, 30, 4, BoundExact);  // neither slot 0 nor slot 1 gives way: slot 2
  EXPECT_EQ(slot[2].Word1, KeyX >> 32);
  EXPECT_EQ(TTScore(&slot[2]), 30);
  EXPECT_EQ(TTScore(&slot[1]), 10);
  EXPECT_EQ(ProbeTT(KeyX, White), &slot[1]) << "the probe finds the lower slot";
}

TEST_F(Table, OlderEntriesGiveWayByAge) {
  StoreTT(KeyX, White, MoveA, 10, 6, BoundExact);
  SearchAge = 4;
  StoreTT(KeyY, White, MoveB, 20, 3, BoundExact);  // (4 - 1) - 6 + 3 = 0 and equal bounds: X stays
  TTSlot* slot = BucketSlots(KeyX, White);
  EXPECT_EQ(slot[0].Word1, KeyX >> 32);
  EXPECT_EQ(slot[1].Word1, KeyY >> 32);
  SearchAge = 5;
  StoreTT(KeyY, White, MoveB, 20, 3, BoundExact);  // now 1: X gives way, copied over the old Y
  EXPECT_EQ(slot[0].Word1, KeyY >> 32);
  EXPECT_EQ(slot[1].Word1, KeyX >> 32);
}

TEST_F(Table, RootStoreReplacesAnotherPositionInSlotZeroUnconditionally) {
  StoreTT(KeyY, White, MoveB, 20, 12, BoundExact);
  StoreRootTT(KeyX, White, MoveA, 10, 1, BoundUpper);
  TTSlot* slot = BucketSlots(KeyX, White);
  EXPECT_EQ(slot[0].Word1, KeyX >> 32);
  EXPECT_EQ(slot[1].Word1, KeyY >> 32);
  StoreRootTT(KeyX, White, MoveB, 30, 0, BoundExact);  // its own slot: only deeper or stronger
  EXPECT_EQ(TTMove(&slot[0]), MoveA);
  StoreRootTT(KeyX, White, MoveB, 30, 1, BoundExact);
  EXPECT_EQ(TTMove(&slot[0]), MoveB);
}

TEST_F(Table, RenormalisationBringsTheAgeBackTo64) {
  SearchAge = 300;
  StoreTT(KeyZ, White, MoveA, 10, 3, BoundExact);
  SearchAge = 400;
  StoreTT(KeyX, Black, MoveA, 10, 3, BoundExact);
  RenormaliseAge();
  EXPECT_EQ(SearchAge, 64);
  EXPECT_EQ(TTAge(ProbeTT(KeyX, Black)), 64);
  EXPECT_EQ(TTAge(ProbeTT(KeyZ, White)), 0);
  EXPECT_EQ(TTDepth(ProbeTT(KeyX, Black)), 3);
  EXPECT_EQ(TTScore(ProbeTT(KeyX, Black)), 10);

  SearchAge = 384;
  RenormaliseAge();
  EXPECT_EQ(SearchAge, 384) << "only above 384";
}

TEST_F(Table, ShrinkLowersDepthsAndAges) {
  SearchAge = 10;
  StoreTT(KeyZ, White, MoveA, 10, 3, BoundLower);
  SearchAge = 20;
  StoreTT(KeyX, White, MoveB, -77, 8, BoundUpper);

  ShrinkTT(4);
  EXPECT_EQ(TTDepth(ProbeTT(KeyX, White)), 8);
  EXPECT_EQ(TTAge(ProbeTT(KeyX, White)), 20);

  ShrinkTT(10);  // depths lose 6, ages lose 3 x 20 / 4 = 15
  const TTSlot* x = ProbeTT(KeyX, White);
  const TTSlot* z = ProbeTT(KeyZ, White);
  EXPECT_EQ(TTDepth(x), 2);
  EXPECT_EQ(TTDepth(z), 0);
  EXPECT_EQ(TTAge(x), 5);
  EXPECT_EQ(TTAge(z), 0);
  EXPECT_EQ(TTScore(x), -77);
  EXPECT_EQ(TTBound(x), BoundUpper);
  EXPECT_EQ(TTMove(x), MoveB);
  EXPECT_EQ(SearchAge, 20);
}

TEST_F(Table, ClearEmptiesBothHalves) {
  StoreTT(KeyX, White, MoveA, 10, 3, BoundExact);
  StoreTT(KeyX, Black, MoveA, 10, 3, BoundExact);
  ClearTT();
  EXPECT_EQ(ProbeTT(KeyX, White), nullptr);
  EXPECT_EQ(ProbeTT(KeyX, Black), nullptr);
}

// Evaluations of several extra queens pass the 14-bit score field: they are stored at its
// ends, never wrapped to the other sign.
TEST_F(Table, ScoresBeyondTheFieldKeepTheirSign) {
  const int scores[][2] = {{9000, 8193}, {-9000, -8190}, {8193, 8193}, {-8190, -8190}};
  for (const auto& c : scores) {
    StoreTT(KeyX, White, MoveA, c[0], 3, BoundExact);
    EXPECT_EQ(TTScore(ProbeTT(KeyX, White)), c[1]) << c[0];
    ClearTT();
  }
}

}  // namespace
