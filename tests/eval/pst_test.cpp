// Piece-square tables: the selection by material phase and spot values of the tables.
#include <gtest/gtest.h>
#include "engine/engine.h"
#include "eval/eval.h"

namespace {

const bool Initialised = (InitTables(), InitPhaseTables(), true);

// The six tables selected for a material phase, in PstKind order.
struct Selection {
  int phase;
  const int16_t* tables[6];
};

}  // namespace

TEST(PhaseTables, SelectionAtEveryStepBoundary) {
  const Selection cases[] = {
      {191, {KingPst1, PawnPst1, KnightPst1, BishopPst1, RookPst1, QueenPst1}},
      {78, {KingPst1, PawnPst1, KnightPst1, BishopPst1, RookPst1, QueenPst1}},
      {71, {KingPst1, PawnPst1, KnightPst1, BishopPst1, RookPst1, QueenPst1}},
      {70, {KingPst2, PawnPst2, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
      {63, {KingPst2, PawnPst2, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
      {62, {KingPst2, PawnPst3, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
      {47, {KingPst2, PawnPst3, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
      {46, {KingPst3, PawnPst3, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
      {15, {KingPst3, PawnPst3, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
      {14, {KingPst4, PawnPst4, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
      {0, {KingPst4, PawnPst4, KnightPst2, BishopPst2, RookPst2, QueenPst2}},
  };
  for (const Selection& c : cases)
    for (int kind = 0; kind < 6; kind++)
      EXPECT_EQ(PhaseTables[kind][c.phase], c.tables[kind]) << "phase " << c.phase << " kind " << kind;
}

TEST(PhaseTables, InitialPositionIsTheOpeningStep) {
  ASSERT_TRUE(SetupGame(InitialFen));
  EXPECT_EQ(MaterialPhase(), 78);
  EXPECT_EQ(PhaseTables[PstKing][MaterialPhase()], KingPst1);
  EXPECT_EQ(PhaseTables[PstBishop][MaterialPhase()], BishopPst1);
}

TEST(PhaseTables, MaterialBeyondTheTableReadsAsTheLastPhase) {
  // Every pawn promoted to a queen on both sides: 2 x 103 units.
  ASSERT_TRUE(SetupGame("kqqqqqqq/qqrrbbnn/8/8/8/8/NNBBRRQQ/QQQQQQQK w - -"));
  EXPECT_GT(Position.TotalMaterial, MaxMaterialPhase);
  EXPECT_EQ(MaterialPhase(), MaxMaterialPhase);
}

TEST(PhaseTables, SpotValues) {
  EXPECT_EQ(KingPst1[G1], 12);
  EXPECT_EQ(KingPst2[G1], 6);
  EXPECT_EQ(PawnPst1[E7], 40);
  EXPECT_EQ(PawnPst4[E7], 104);
  // Corners and the rows that differ from their mirror images.
  EXPECT_EQ(KingPst1[C1], -2);
  EXPECT_EQ(KingPst1[C8], -4);
  EXPECT_EQ(KingPst4[A1], -26);
  EXPECT_EQ(PawnPst1[C3], 1);
  EXPECT_EQ(PawnPst1[F3], -1);
  EXPECT_EQ(PawnPst4[D5], 30);
  EXPECT_EQ(PawnPst4[E5], 28);
  EXPECT_EQ(PawnPst4[G5], 30);
  EXPECT_EQ(PawnPst2[A8], 199);
  EXPECT_EQ(PawnPst3[H8], 299);
  EXPECT_EQ(BishopPst1[H8], -31);
  EXPECT_EQ(BishopPst1[H1], 0);
  EXPECT_EQ(BishopPst1[G2], -12);
  EXPECT_EQ(BishopPst2[F6], 7);
  EXPECT_EQ(BishopPst2[C6], 8);
  EXPECT_EQ(KnightPst1[B2], -6);
  EXPECT_EQ(KnightPst1[B7], -5);
  EXPECT_EQ(RookPst1[A1], -13);
  EXPECT_EQ(RookPst2[A1], -8);
  EXPECT_EQ(QueenPst1[D1], 9);
  EXPECT_EQ(QueenPst2[D1], 1);
}

TEST(PhaseTables, PawnCacheSaltFollowsThePawnTable) {
  // Phases share a salt exactly when they share a pawn table; the opening table's salt leaves
  // PawnKey as it is.
  EXPECT_EQ(PawnCacheSalt[78], 0u);
  for (int phase = 0; phase <= MaxMaterialPhase; phase++)
    for (int other = 0; other <= MaxMaterialPhase; other++)
      EXPECT_EQ(PhaseTables[PstPawn][phase] == PhaseTables[PstPawn][other], PawnCacheSalt[phase] == PawnCacheSalt[other])
          << phase << " " << other;
}
