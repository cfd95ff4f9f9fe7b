// Attack tables and rotated occupancies against independent slow constructions.
#include <gtest/gtest.h>
#include <random>
#include "board/board.h"

namespace {

const bool Initialised = (InitTables(), true);

Bitboard Sq(int s) { return 0x8000000000000000ULL >> s; }
int At(int r, int f) { return 8 * r + f; }

// Slider attacks by walking the board square by square in the given directions.
Bitboard SlowSlide(int s, Bitboard occ, std::initializer_list<std::pair<int, int>> dirs) {
  Bitboard out = 0;
  for (auto [dr, df] : dirs) {
    int r = RankIndex(s) + dr, f = FileIndex(s) + df;
    while (r >= 0 && r < 8 && f >= 0 && f < 8) {
      out |= Sq(At(r, f));
      if (occ & Sq(At(r, f))) break;
      r += dr, f += df;
    }
  }
  return out;
}

void SetOccupancy(Bitboard occ) {
  Position.Occupied = occ;
  Position.OccupiedR90 = RotateR90(occ);
  Position.OccupiedR45 = RotateR45(occ);
  Position.OccupiedL45 = RotateL45(occ);
}

// Every subset of the line through s (s excluded) as an occupancy.
template <typename F>
void ForEachLineOccupancy(int s, Bitboard line, F check) {
  Bitboard others = line & ~Sq(s);
  Bitboard subset = 0;
  do {
    check(subset | Sq(s));
    subset = (subset - others) & others;
  } while (subset);
}

Bitboard LineMask(int s, int dr, int df) {
  return SlowSlide(s, 0, {{dr, df}, {-dr, -df}}) | Sq(s);
}

}  // namespace

TEST(Tables, SlidingLookupsMatchRayWalkForEveryOccupancyOfEveryLine) {
  for (int s = 0; s < 64; s++) {
    ForEachLineOccupancy(s, LineMask(s, 0, 1), [&](Bitboard occ) {
      SetOccupancy(occ);
      ASSERT_EQ(RankAttacksFrom(s), SlowSlide(s, occ, {{0, 1}, {0, -1}})) << "rank, square " << s;
    });
    ForEachLineOccupancy(s, LineMask(s, 1, 0), [&](Bitboard occ) {
      SetOccupancy(occ);
      ASSERT_EQ(FileAttacksFrom(s), SlowSlide(s, occ, {{1, 0}, {-1, 0}})) << "file, square " << s;
    });
    ForEachLineOccupancy(s, LineMask(s, 1, -1), [&](Bitboard occ) {
      SetOccupancy(occ);
      ASSERT_EQ(DiagR45AttacksFrom(s), SlowSlide(s, occ, {{1, -1}, {-1, 1}})) << "a1-h8, square " << s;
    });
    ForEachLineOccupancy(s, LineMask(s, 1, 1), [&](Bitboard occ) {
      SetOccupancy(occ);
      ASSERT_EQ(DiagL45AttacksFrom(s), SlowSlide(s, occ, {{1, 1}, {-1, -1}})) << "a8-h1, square " << s;
    });
  }
}

TEST(Tables, SlidingLookupsIgnoreSquaresOffTheLine) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 2000; i++) {
    Bitboard occ = rng() & rng();
    int s = static_cast<int>(rng() % 64);
    SetOccupancy(occ);
    EXPECT_EQ(RookAttacksFrom(s), SlowSlide(s, occ, {{0, 1}, {0, -1}, {1, 0}, {-1, 0}}));
    EXPECT_EQ(BishopAttacksFrom(s), SlowSlide(s, occ, {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}));
  }
}

TEST(Tables, RotatedLayoutsFollowTheirSquareLists) {
  // R90: square s goes to square 56 - 8f + r of an ordinary board.
  // R45 lists diagonals r + f = 0..14 by increasing file; L45 lists 7 - f + r = 0..14 by increasing rank index.
  int r45[64], l45[64], k = 0;
  for (int d = 0; d <= 14; d++)
    for (int f = 0; f < 8; f++)
      if (d - f >= 0 && d - f < 8) r45[k++] = At(d - f, f);
  k = 0;
  for (int e = 0; e <= 14; e++)
    for (int r = 0; r < 8; r++)
      if (r + 7 - e >= 0 && r + 7 - e < 8) l45[k++] = At(r, r + 7 - e);
  EXPECT_EQ(r45[0], A8);
  EXPECT_EQ(r45[1], A7);
  EXPECT_EQ(r45[2], B8);
  EXPECT_EQ(l45[0], H8);
  EXPECT_EQ(l45[1], G8);
  EXPECT_EQ(l45[2], H7);
  std::mt19937_64 rng(11);
  for (int i = 0; i < 200; i++) {
    Bitboard b = rng();
    Bitboard r90 = 0, rr = 0, rl = 0;
    for (int s = 0; s < 64; s++)
      if (b & Sq(s)) r90 |= Sq(56 - 8 * FileIndex(s) + RankIndex(s));
    for (int j = 0; j < 64; j++) {
      if (b & Sq(r45[j])) rr |= 1ULL << (63 - j);
      if (b & Sq(l45[j])) rl |= 1ULL << (63 - j);
    }
    ASSERT_EQ(RotateR90(b), r90);
    ASSERT_EQ(RotateR45(b), rr);
    ASSERT_EQ(RotateL45(b), rl);
  }
}

TEST(Tables, SpotValues) {
  EXPECT_EQ(SquareMask[0], 0x8000000000000000ULL);
  EXPECT_EQ(SquareMask[63], 1ULL);
  EXPECT_EQ(LowestSquare(1), 63);
  EXPECT_EQ(LowestSquare(0x8000000000000000ULL), 0);
  EXPECT_EQ(LowestSquare(0), 63);
  for (int k = 0; k < 64; k++) EXPECT_EQ(LowestSquare(1ULL << k), 63 - k);
  EXPECT_EQ(KingAttacks[A8], Sq(B8) | Sq(A7) | Sq(B7));
  EXPECT_EQ(KnightAttacks[A8], Sq(C7) | Sq(B6));
  EXPECT_EQ(PawnAttacks[White][A2], Sq(B3));
  EXPECT_EQ(PawnAttacks[White][E8], 0u);
  EXPECT_EQ(PawnAttacks[Black][H7], Sq(G6));
  EXPECT_EQ(PopCount(KingAttacks[E4]), 8);
  EXPECT_EQ(PopCount(KnightAttacks[H1]), 2);
  EXPECT_EQ(R45Shift[A8], 63);
  EXPECT_EQ(R45Mask[A8], 1);
  EXPECT_EQ(R45Shift[H8], 28);
  EXPECT_EQ(R45Mask[H8], 255);
  EXPECT_EQ(L45Shift[A8], 28);
  EXPECT_EQ(L45Mask[A8], 255);
  EXPECT_EQ(L45Shift[H8], 63);

  SetOccupancy(Sq(A1) | Sq(E1) | Sq(H1));
  EXPECT_EQ(RankAttacksFrom(E1), Sq(A1) | Sq(B1) | Sq(C1) | Sq(D1) | Sq(F1) | Sq(G1) | Sq(H1));
  SetOccupancy(Sq(E4) | Sq(E6) | Sq(E2));
  EXPECT_EQ(FileAttacksFrom(E4), Sq(E5) | Sq(E6) | Sq(E3) | Sq(E2));
  SetOccupancy(Sq(A8) | Sq(H1));
  EXPECT_EQ(DiagR45AttacksFrom(A8), 0u);
  EXPECT_EQ(DiagR45AttacksFrom(H1), 0u);
}

TEST(Tables, FileAndSpanMasks) {
  for (int f = 0; f < 8; f++) {
    EXPECT_EQ(PassedSpan[White][f], 0u);
    EXPECT_EQ(PassedSpan[Black][56 + f], 0u);
    EXPECT_EQ(FrontSpan[White][f], 0u);
  }
  Bitboard expected = 0;
  for (int r = 0; r < 4; r++)
    for (int f = 3; f <= 5; f++) expected |= Sq(At(r, f));
  EXPECT_EQ(PassedSpan[White][E4], expected);
  EXPECT_EQ(FrontSpan[Black][E5], Sq(E4) | Sq(E3) | Sq(E2) | Sq(E1));
  EXPECT_EQ(AdjacentFiles[A4], 0x4040404040404040ULL);
  EXPECT_EQ(AdjacentFiles[H4], 0x0202020202020202ULL);
  EXPECT_EQ(FileMaskExcl[E4], (0x0808080808080808ULL) & ~Sq(E4));
  EXPECT_EQ(RookRays[A1], (0xFFULL | 0x8080808080808080ULL) & ~Sq(A1));
  EXPECT_EQ(QueenRays[D4], RookRays[D4] | BishopRays[D4]);
  EXPECT_EQ(EpToggleR90[E3], SquareMaskR90[E3] | SquareMaskR90[E4]);
  EXPECT_EQ(EpToggleL45[D6], SquareMaskL45[D6] | SquareMaskL45[D5]);
}
