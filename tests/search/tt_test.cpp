// Transposition table: what a probe gives back, the replacement rules of one bucket, and the
// maintenance passes between moves.
#include <algorithm>
#include "search_support.h"

using namespace search_test;

namespace {

// X, Y and W share a bucket; Z lies in another. Each key is stored with its own move.
struct Key { char name; uint64_t key; Move move; };
constexpr Key Keys[] = {{'X', 0x1111111100012345ull, MakeMoveWord(E2, E4, KindQuiet)},
                        {'Y', 0x2222222200012345ull, MakeMoveWord(D2, D4, KindQuiet)},
                        {'W', 0x3333333300012345ull, MakeMoveWord(C2, C4, KindQuiet)},
                        {'Z', 0x4444444400054321ull, MakeMoveWord(B2, B4, KindQuiet)}};
const Key& K(char name) { return Keys[name == 'X' ? 0 : name == 'Y' ? 1 : name == 'W' ? 2 : 3]; }

// The bucket of X as "X10 Y20 -": the key whose move a slot holds and its score, "-" when empty.
std::string Bucket() {
  std::string out;
  for (const TTSlot& s : TTHalves[White][K('X').key & (TTBucketCount - 1)].Slot) {
    std::string text = "-";
    for (const Key& k : Keys)
      if (TTMove(&s) == k.move) text = k.name + std::to_string(TTScore(&s));
    out += (out.empty() ? "" : " ") + text;
  }
  return out;
}

class Table : public testing::Test {
 protected:
  void SetUp() override { ClearTT(); SearchAge = 1; }
  void TearDown() override { ClearTT(); }
};

// Scores beyond the 14-bit field (evaluations of several extra queens) are stored at its ends,
// never wrapped to the other sign.
TEST_F(Table, ProbeGivesBackWhatWasStored) {
  struct Case { int score, read, depth, bound, age; };
  const Case cases[] = {{-8190, -8190, 127, BoundUpper, 300}, {8190, 8190, 0, BoundLower, 1},
                        {0, 0, 64, BoundExact, 511},          {9000, 8193, 3, BoundExact, 1},
                        {8193, 8193, 3, BoundExact, 1},       {-9000, -8190, 3, BoundExact, 1}};
  for (const Case& c : cases) {
    SearchAge = static_cast<uint16_t>(c.age);
    StoreTT(K('Z').key, White, MarkerStandPat, c.score, c.depth, c.bound);
    const TTSlot* s = ProbeTT(K('Z').key, White);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Entry(TTMove(s), TTBound(s), TTScore(s)), Entry(MarkerStandPat, c.bound, c.read)) << c.score;
    EXPECT_EQ(TTDepth(s), c.depth);
    EXPECT_EQ(TTAge(s), c.age);
    ClearTT();
  }
  StoreTT(K('X').key, White, K('X').move, 25, 3, BoundExact);
  EXPECT_EQ(ProbeTT(K('X').key, Black), nullptr) << "each side to move has its own half";
  EXPECT_EQ(ProbeTT(K('X').key ^ (1ull << 40), White), nullptr) << "another key in the same bucket";
}

// Stores in turn, each followed by the bucket expected and the score a probe of the key then finds.
// The position's own first slot is rewritten only by a deeper result or an equally deep one with a
// stronger bound (exact, then lower, then upper); another position's slot gives way when SearchAge
// - age - depth + new depth is at least 1, or 0 with a weaker bound; the first slot that gives way
// passes its entry down to the second.
TEST_F(Table, ReplacementInABucket) {
  struct Step { int age; char key; int depth, bound, score; bool root; const char* bucket; int probed; };
  const std::vector<std::vector<Step>> scripts = {
      {{1, 'X', 5, BoundUpper, 10, false, "X10 - -", 10},
       {1, 'X', 4, BoundExact, 20, false, "X10 - -", 10},  // shallower
       {1, 'X', 5, BoundLower, 30, false, "X30 - -", 30},  // as deep, stronger bound
       {1, 'X', 5, BoundUpper, 40, false, "X30 - -", 30},  // as deep, weaker bound
       {1, 'X', 5, BoundExact, 50, false, "X50 - -", 50}},
      {{1, 'X', 5, BoundExact, 10, false, "X10 - -", 10},
       {1, 'Y', 10, BoundExact, 20, false, "Y20 X10 -", 20},
       {1, 'X', 4, BoundExact, 30, false, "Y20 X10 X30", 10}},  // the store looks at X's first slot only
      {{1, 'X', 6, BoundExact, 10, false, "X10 - -", 10},
       {4, 'Y', 3, BoundExact, 20, false, "X10 Y20 -", 20},   // (4 - 1) - 6 + 3 = 0, equal bounds
       {5, 'Y', 3, BoundExact, 21, false, "Y21 X10 -", 21}},  // now 1
      {{1, 'X', 4, BoundUpper, 10, false, "X10 - -", 10},
       {1, 'Y', 4, BoundExact, 20, false, "Y20 X10 -", 20}},  // 0 with a weaker bound
      {{1, 'X', 10, BoundExact, 10, false, "X10 - -", 10},
       {1, 'Y', 2, BoundExact, 20, false, "X10 Y20 -", 20},
       {1, 'W', 3, BoundExact, 30, false, "X10 W30 -", 30},
       {1, 'Y', 2, BoundExact, 40, false, "X10 W30 Y40", 40}},  // neither slot gives way: the third
      {{1, 'Y', 12, BoundExact, 20, false, "Y20 - -", 20},
       {1, 'X', 1, BoundUpper, 10, true, "X10 Y20 -", 10},  // the root takes the first slot whatever is there
       {1, 'X', 0, BoundExact, 30, true, "X10 Y20 -", 10},
       {1, 'X', 1, BoundExact, 31, true, "X31 Y20 -", 31}},
  };
  for (const auto& script : scripts) {
    ClearTT();
    for (const Step& s : script) {
      SearchAge = static_cast<uint16_t>(s.age);
      (s.root ? StoreRootTT : StoreTT)(K(s.key).key, White, K(s.key).move, s.score, s.depth, s.bound);
      EXPECT_EQ(Bucket(), s.bucket) << s.key << s.score;
      EXPECT_EQ(TTScore(ProbeTT(K(s.key).key, White)), s.probed) << s.key << s.score;
    }
  }
}

// Between moves: renormalising brings the age back to 64 (entries of the current search stay
// current), shrinking lowers depths by n - 4 and ages; the rest of an entry stays.
TEST_F(Table, MaintenancePasses) {
  SearchAge = 300;
  StoreTT(K('Z').key, White, K('Z').move, 10, 3, BoundLower);
  SearchAge = 400;
  StoreTT(K('X').key, White, K('X').move, -77, 8, BoundUpper);
  const TTSlot *x = ProbeTT(K('X').key, White), *z = ProbeTT(K('Z').key, White);
  RenormaliseAge();
  EXPECT_EQ(SearchAge, 64);
  EXPECT_EQ(TTAge(x), 64);
  EXPECT_EQ(TTAge(z), 0);
  SearchAge = 384;
  RenormaliseAge();
  EXPECT_EQ(SearchAge, 384) << "only above 384";
  EXPECT_EQ(TTAge(x), 64);
  ShrinkTT(4);
  EXPECT_EQ(TTDepth(x), 8) << "no change up to 4";
  ShrinkTT(10);
  EXPECT_EQ(TTDepth(x), 2);
  EXPECT_EQ(TTDepth(z), 0);
  EXPECT_LT(TTAge(x), 64);
  EXPECT_EQ(Entry(TTMove(x), TTBound(x), TTScore(x)), Entry(K('X').move, BoundUpper, -77));
  EXPECT_EQ(SearchAge, 384);
}

// A clear empties every bucket written since the last one: a few, rewritten one by one, or more
// than its list holds (16,384), by the whole table.
TEST_F(Table, ClearEmptiesEveryWrittenBucket) {
  for (int stores : {3, 20000}) {
    uint64_t key = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < stores; i++, key = key * 6364136223846793005ull + 1442695040888963407ull)
      StoreTT(key, i & 1, K('X').move, i, 1 + i % 60, BoundExact);
    ClearTT();
    for (const TTBucket* half : TTHalves) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(half);
      const std::ptrdiff_t size = std::ptrdiff_t(TTBucketCount) * sizeof(TTBucket);
      EXPECT_EQ(std::count(bytes, bytes + size, 0), size) << stores << " stores";
    }
  }
}

}  // namespace
