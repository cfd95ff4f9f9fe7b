// Deep perft against the published counts (every depth of the table), leaving the board as it
// found it. Under the address sanitizer the deepest depth of each position is left out.
#include <cstring>
#include <numeric>
#include "search_support.h"

using namespace search_test;

namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr size_t DepthsLeftOut = 1;
#else
constexpr size_t DepthsLeftOut = 0;
#endif

class PerftDeep : public testing::TestWithParam<size_t> {};

}  // namespace

TEST_P(PerftDeep, MatchesPublishedCounts) {
  const PerftCase& c = PublishedPerft[GetParam()];
  ASSERT_TRUE(SetupGame(c.fen));
  const PositionState before = Position;
  int depth = static_cast<int>(c.leaves.size() - DepthsLeftOut);
  // PerftCount counts the leaves of every ply up to depth.
  EXPECT_EQ(CountFromRoot(depth), std::accumulate(c.leaves.begin(), c.leaves.begin() + depth, uint64_t(0))) << c.fen;
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0);
  EXPECT_EQ(HistoryTop, 0);
}

INSTANTIATE_TEST_SUITE_P(PublishedPositions, PerftDeep, testing::Range<size_t>(0, PublishedPerft.size()));
