// Perft at shallow depths against published counts, the printed table, and the
// "perft" command through the real binary.
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include "../movegen/movegen_helpers.h"
#include "search/search.h"
#include "../support/engine_process.h"

using namespace movegen_test;

namespace {

// Cumulative count of depth through the ply records, as the command runs it.
uint64_t CountFromRoot(int depth) {
  PlyRecord* start = CurrentPly;
  start->ListEnd = MoveStack;
  CurrentPly = start + 1;
  StopSearch = false;
  NextPollAt = UINT32_MAX;  // counted without looking at the input
  uint64_t n = PerftCount(depth);
  CurrentPly = start;
  return n;
}

std::string CapturePerft(int n) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  Perft(n);
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// Lines of text with the duration column (the second field) replaced by "*".
std::string WithoutDurations(const std::string& text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end - at);
    size_t tab1 = line.find('\t'), tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 != std::string::npos && line.rfind("ply", 0) != 0) line = line.substr(0, tab1 + 1) + "*" + line.substr(tab2);
    out += line + "\n";
    at = end + 1;
  }
  return out;
}

}  // namespace

TEST(Perft, ShallowPublishedCounts) {
  const int depths[] = {4, 3, 5, 3, 3, 3};
  for (size_t i = 0; i < PublishedPerft.size(); i++) {
    const PerftCase& c = PublishedPerft[i];
    ASSERT_TRUE(SetupGame(c.fen)) << c.fen;
    for (int d = 1; d <= depths[i]; d++) EXPECT_EQ(CountFromRoot(d), CumulativeLeaves(c, d)) << c.fen << " depth " << d;
  }
}

TEST(Perft, ColoursMirrorEachOther) {
  // The published position with promotions and castling, mirrored with Black to move.
  ASSERT_TRUE(SetupGame("r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1"));
  EXPECT_EQ(CountFromRoot(3), 6u + 264 + 9467);
}

TEST(Perft, CountsMovesMadeIncludingIllegalOnes) {
  // Kiwipete depth 1: 48 legal moves; the pinned and king moves refused afterwards are still made.
  ASSERT_TRUE(SetupGame(PublishedPerft[1].fen));
  NodeCount = 0;
  EXPECT_EQ(CountFromRoot(2), 48u + 2039);
  EXPECT_GT(NodeCount, 48u + 2039);
}

TEST(Perft, PrintsTheTableOfCumulativeCounts) {
  ASSERT_TRUE(SetupGame(InitialFen));
  std::string out = CapturePerft(3);
  EXPECT_EQ(WithoutDurations(out),
            "ply\tduration\tnodes\n1\t*\t20\n2\t*\t420\n3\t*\t9322\ntotal nodes: 9762\n(total moves[32]: 9762)\n");
  ASSERT_TRUE(SetupGame(InitialFen));
  EXPECT_EQ(WithoutDurations(CapturePerft(1)), "ply\tduration\tnodes\n1\t*\t20\ntotal nodes: 20\n(total moves[32]: 20)\n");
  EXPECT_EQ(CapturePerft(0), "ply\tduration\tnodes\ntotal nodes: 0\n(total moves[32]: 0)\n");
}

TEST(Perft, CheckmatedSideCountsNothingAtEveryDepth) {
  // Fool's mate: White is mated. A huge depth runs 127 depths, each instantly 0.
  ASSERT_TRUE(SetupGame("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -"));
  std::string out = WithoutDurations(CapturePerft(200));
  EXPECT_NE(out.find("\n127\t*\t0\n"), std::string::npos);
  EXPECT_EQ(out.find("\n128\t"), std::string::npos);
  EXPECT_NE(out.find("total nodes: 0\n"), std::string::npos);
}

TEST(Perft, LeavesTheBoardAndTheRecordPointerAsFound) {
  ASSERT_TRUE(SetupGame(PublishedPerft[3].fen));
  PositionState before;
  std::memcpy(&before, &Position, sizeof before);
  PlyRecord* record = CurrentPly;
  int top = HistoryTop;
  CapturePerft(3);
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0);
  EXPECT_EQ(CurrentPly, record);
  EXPECT_EQ(HistoryTop, top);
}

TEST(Perft, CommandThroughTheEngine) {
  EngineRun run = RunEngine(std::string(XboardHandshake) + "new\nperft 3\nquit\n");
  EXPECT_EQ(run.status, 0);
  std::regex table(
      "ply\tduration\tnodes\n"
      "1\t[0-9]+\\.[0-9]\t20\n"
      "2\t[0-9]+\\.[0-9]\t420\n"
      "3\t[0-9]+\\.[0-9]\t9322\n"
      "total nodes: 9762\n"
      "\\(total moves\\[32\\]: 9762\\)\n");
  EXPECT_TRUE(std::regex_search(run.out, table)) << run.out;
}
