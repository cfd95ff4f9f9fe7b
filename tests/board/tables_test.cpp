// Sliding attack lookups through the rotated occupancies against a square-by-square ray walk.
#include <gtest/gtest.h>
#include <random>
#include "board/board.h"

namespace {

const bool Initialised = (InitTables(), true);

Bitboard Sq(int r, int f) { return 0x8000000000000000ULL >> (8 * r + f); }

// Squares reached from s in the given directions, each ray stopping at the first occupied square.
Bitboard Walk(int s, Bitboard occ, std::initializer_list<std::pair<int, int>> dirs) {
  Bitboard out = 0;
  for (auto [dr, df] : dirs)
    for (int r = RankIndex(s) + dr, f = FileIndex(s) + df; r >= 0 && r < 8 && f >= 0 && f < 8; r += dr, f += df) {
      out |= Sq(r, f);
      if (occ & Sq(r, f)) break;
    }
  return out;
}

void SetOccupancy(Bitboard occ) {
  Position.Occupied = occ;
  Position.OccupiedR90 = RotateR90(occ);
  Position.OccupiedR45 = RotateR45(occ);
  Position.OccupiedL45 = RotateL45(occ);
}

struct Line { const char* name; Bitboard (*lookup)(int); std::pair<int, int> dir; };
const Line Lines[] = {{"rank", RankAttacksFrom, {0, 1}},
                      {"file", FileAttacksFrom, {1, 0}},
                      {"a1-h8 diagonal", DiagR45AttacksFrom, {1, -1}},
                      {"a8-h1 diagonal", DiagL45AttacksFrom, {1, 1}}};

}  // namespace

// Every subset of the squares of every line through every square, with random pieces off the line.
TEST(Tables, SlidingLookupsMatchTheRayWalk) {
  std::mt19937_64 rng(7);
  for (int s = 0; s < 64; s++)
    for (const Line& line : Lines) {
      auto [dr, df] = line.dir;
      Bitboard on = Walk(s, 0, {{dr, df}, {-dr, -df}});
      Bitboard subset = 0;
      do {
        Bitboard occ = subset | (rng() & rng() & ~on) | SquareMask[s];
        SetOccupancy(occ);
        ASSERT_EQ(line.lookup(s), Walk(s, occ, {{dr, df}, {-dr, -df}})) << line.name << ", square " << s;
        subset = (subset - on) & on;
      } while (subset);
    }
}
