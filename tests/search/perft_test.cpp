// Perft at shallow depths against published counts, and the printed table of the "perft" command.
#include <cstring>
#include <regex>
#include "search_support.h"

using namespace search_test;

namespace {

// The output of Perft(n) with the duration column (the second field) replaced by "*".
std::string PrintedTable(int n) {
  testing::internal::CaptureStdout();
  Perft(n);
  std::string text = testing::internal::GetCapturedStdout();
  return std::regex_replace(text, std::regex("\n(\\d+)\t[0-9.]+\t"), "\n$1\t*\t");
}

}  // namespace

TEST(Perft, ShallowPublishedCountsLeaveTheBoardAsFound) {
  const int depths[] = {4, 3, 5, 3, 3, 3, 3};
  for (size_t i = 0; i < PublishedPerft.size(); i++) {
    const PerftCase& c = PublishedPerft[i];
    ASSERT_TRUE(SetupGame(c.fen)) << c.fen;
    const PositionState before = Position;
    const PlyRecord* record = CurrentPly;
    for (int d = 1; d <= depths[i]; d++) EXPECT_EQ(CountFromRoot(d), CumulativeLeaves(c, d)) << c.fen << " depth " << d;
    EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0) << c.fen;
    EXPECT_EQ(CurrentPly, record);
    EXPECT_EQ(HistoryTop, 0);
  }
}

TEST(Perft, PrintsTheTableOfCumulativeCounts) {
  ASSERT_TRUE(SetupGame(InitialFen));
  EXPECT_EQ(PrintedTable(3),
            "ply\tduration\tnodes\n1\t*\t20\n2\t*\t420\n3\t*\t9322\ntotal nodes: 9762\n(total moves[32]: 9762)\n");
  EXPECT_EQ(PrintedTable(0), "ply\tduration\tnodes\ntotal nodes: 0\n(total moves[32]: 0)\n");
  // Fool's mate: White is mated. A huge depth runs 127 depths, each at once 0.
  ASSERT_TRUE(SetupGame("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -"));
  std::string mated = PrintedTable(200);
  EXPECT_NE(mated.find("\n127\t*\t0\n"), std::string::npos);
  EXPECT_EQ(mated.find("\n128\t"), std::string::npos);
  EXPECT_NE(mated.find("total nodes: 0\n"), std::string::npos);
}
