// Iterative deepening and the alpha-beta search on positions with known answers, the thinking line,
// restoration of the position after every search, and determinism from a fresh state.
#include <cstdlib>
#include <cstring>
#include <regex>
#include "search_support.h"

using namespace search_test;

namespace {

struct KnownMate {
  const char* Fen;
  int Plies;        // the mated side is mated at this ply: the root sees 8100 - Plies
  const char* Key;  // the only move that mates that fast
  int Depth;
};

// Mates confirmed independently: mate in 1 on the back rank, a Legal-style mate in 2, two mates in 3.
constexpr KnownMate Mates[] = {
    {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", 1, "a1a8", 3},
    {"r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq -", 3, "d5f6", 4},
    {"r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -", 5, "f8c5", 6},
    {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - -", 5, "f6a6", 6},
};

TEST(IterativeDeepening, FindsKnownMatesWithTheirDistance) {
  for (const KnownMate& mate : Mates) {
    SearchRun run = SearchFen(mate.Fen, mate.Depth);
    EXPECT_EQ(run.Score, ScoreMate - mate.Plies) << mate.Fen;
    EXPECT_EQ(MoveText(run.Best), mate.Key) << mate.Fen;
    EXPECT_EQ(MoveBudget, 1000000000) << "time granted to aspiration re-searches is given back";
  }
}

TEST(IterativeDeepening, ReportsStalemateAndCheckmateAtTheRoot) {
  SearchRun stalemate = SearchFen("7k/5Q2/6K1/8/8/8/8/8 b - -", 4);
  EXPECT_EQ(stalemate.Score, 0);
  EXPECT_EQ(stalemate.Best, MarkerStalemate);

  SearchRun mated = SearchFen("R5k1/5ppp/8/8/8/8/8/6K1 b - -", 4);
  EXPECT_EQ(mated.Score, -ScoreMate);
  EXPECT_EQ(mated.Best, MarkerCheckmated);
}

TEST(IterativeDeepening, RootRepeatedTwiceIsADrawWithoutSearch) {
  InitOnce();
  ASSERT_TRUE(SetupGame(InitialFen));
  const Move shuffle[4] = {MakeMoveWord(G1, F3, KindQuiet), MakeMoveWord(G8, F6, KindQuiet),
                           MakeMoveWord(F3, G1, KindQuiet), MakeMoveWord(F6, G8, KindQuiet)};
  for (int round = 0; round < 2; ++round)
    for (Move m : shuffle) ASSERT_TRUE(MakeRealMove(m));
  SearchRun run = SearchCurrent(4);
  EXPECT_EQ(run.Score, -9999);
  EXPECT_EQ(run.Best, MarkerRepetition);
  EXPECT_EQ(run.Nodes, 0u);
  EXPECT_TRUE(run.Output.empty());
}

TEST(IterativeDeepening, WinsAHangingQueenAtDepthTwo) {
  SearchRun run = SearchFen("4k3/8/8/3q4/8/8/6P1/3RK3 w - -", 2);
  EXPECT_EQ(MoveText(run.Best), "d1d5");
  EXPECT_GT(run.Score, 400);
}

TEST(IterativeDeepening, PrintsOneThinkingLinePerIteration) {
  SearchRun run = SearchFen("4k3/8/8/3q4/8/8/6P1/3RK3 w - -", 3);
  // Iterations 2 and 3, then the closing line with the last completed depth.
  std::regex line("    (\\d+)     (-?\\d+)     (\\d+)     (\\d+)  (\\S.*)\n");
  std::smatch m;
  std::string rest = run.Output;
  int depths[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(std::regex_search(rest, m, line)) << run.Output;
    EXPECT_EQ(m.position(0), 0) << "no text before a thinking line: " << run.Output;
    depths[i] = std::stoi(m[1]);
    if (i == 1) {
      EXPECT_EQ(std::stoi(m[2]), run.Score);
      EXPECT_EQ(std::stoul(m[4]), run.Nodes);
      EXPECT_EQ(m[5].str().rfind("d1d5 ", 0), 0u) << "the variation starts with the best move";
    }
    rest = m.suffix();
  }
  EXPECT_EQ(depths[0], 2);
  EXPECT_EQ(depths[1], 3);
  EXPECT_EQ(depths[2], 3);
}

// Positions that exercise checks, null moves, reductions, internal deepening, castling, en passant
// and promotions.
constexpr const char* Busy[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",
};

TEST(Search, LeavesThePositionAndHistoryAsTheyWere) {
  InitOnce();
  for (const char* fen : Busy) {
    ASSERT_TRUE(SetupGame(fen));
    PositionState before;
    std::memcpy(&before, &Position, sizeof before);
    int top = HistoryTop;
    KeyHistoryEntry entry = KeyHistory[top];
    SearchRun run = SearchCurrent(6);
    EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0) << fen;
    EXPECT_EQ(HistoryTop, top) << fen;
    EXPECT_EQ(KeyHistory[top].Key, entry.Key) << fen;
    EXPECT_EQ(KeyHistory[top].HalfmoveClock, entry.HalfmoveClock) << fen;
    EXPECT_TRUE(PositionIsConsistent()) << fen;
    EXPECT_TRUE(MoveIsLegal(run.Best)) << fen;
    EXPECT_EQ(CheckCount[Black] + CheckCount[White], 0u) << fen;
  }
}

TEST(Search, StopsOnTheClockWithTheBoardIntactAndACompletedResult) {
  InitOnce();
  for (int64_t budget : {0, 30}) {
    ASSERT_TRUE(SetupGame(Busy[0]));
    PositionState before;
    std::memcpy(&before, &Position, sizeof before);
    int top = HistoryTop;
    SearchRun run = SearchCurrent(127, budget);
    EXPECT_TRUE(StopSearch) << budget;
    EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0) << budget;
    EXPECT_EQ(HistoryTop, top);
    EXPECT_EQ(CheckCount[Black] + CheckCount[White], 0u);
    EXPECT_TRUE(MoveIsLegal(run.Best)) << budget;
    EXPECT_LT(std::abs(run.Score), 1000) << budget;
    if (budget == 0) {
      EXPECT_NE(run.Output.find("fixing move..."), std::string::npos) << "the clock restarts once";
    }
  }
}

TEST(Search, SameDepthFromAFreshStateGivesTheSameTree) {
  SearchRun first = SearchFen(Busy[0], 6);
  SearchRun second = SearchFen(Busy[0], 6);
  EXPECT_EQ(first.Nodes, second.Nodes);
  EXPECT_EQ(first.Best, second.Best);
  EXPECT_EQ(first.Score, second.Score);
  EXPECT_GT(first.Nodes, 1000u);
}

// Prepares a direct search of the current position inside an iteration of the given depth.
void PrepareNode(int iteration) {
  PrepareRootSearch();
  IterationDepth = iteration;
  StopSearch = false;
}

int SearchNode(const char* fen, int depth, int ply, int iteration) {
  InitOnce();
  EXPECT_TRUE(SetupGame(fen));
  PrepareNode(iteration);
  return Search(depth, ply, -ScoreMate, ScoreMate, 2);
}

TEST(Search, ScoresMateByPlyAndStalemateAsZeroWithTheirMarkers) {
  EXPECT_EQ(SearchNode("R5k1/5ppp/8/8/8/8/8/6K1 b - -", 2, 5, 6), 5 - ScoreMate);
  const TTSlot* mate = ProbeTT(Position.PositionKey, Position.SideToMove);
  ASSERT_NE(mate, nullptr);
  EXPECT_EQ(TTMove(mate), MarkerCheckmated);
  EXPECT_EQ(TTBound(mate), BoundExact);
  EXPECT_EQ(TTScore(mate), 5 - ScoreMate);

  EXPECT_EQ(SearchNode("7k/5Q2/6K1/8/8/8/8/8 b - -", 2, 5, 6), 0);
  const TTSlot* stalemate = ProbeTT(Position.PositionKey, Position.SideToMove);
  ASSERT_NE(stalemate, nullptr);
  EXPECT_EQ(TTMove(stalemate), MarkerStalemate);
  EXPECT_EQ(TTScore(stalemate), 0);
}

// The table answers a node only with a score strictly inside +-5000, or deeper than ply 8 and half
// the iteration depth for any score.
TEST(Search, TableCutoffNeedsAModestScoreOrADeepPly) {
  struct Case {
    int Score, Ply;
    bool Cuts;
  };
  const Case cases[] = {{5000, 3, false}, {5000, 9, true}, {4999, 3, true}, {-5000, 3, false}, {-4999, 1, true}};
  InitOnce();
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupGame("4k3/pppp4/8/8/8/8/PPPP4/4K3 w - -"));
    StoreTT(Position.PositionKey, Position.SideToMove, MakeMoveWord(A2, A3, KindQuiet), c.Score, 5, BoundExact);
    PrepareNode(10);
    int score = Search(4, c.Ply, -ScoreMate, ScoreMate, 2);
    if (c.Cuts) {
      EXPECT_EQ(score, c.Score) << c.Score << " at ply " << c.Ply;
      EXPECT_EQ(NodeCount, 0u);
    } else {
      EXPECT_LT(std::abs(score), 1000) << c.Score << " at ply " << c.Ply;
      EXPECT_GT(NodeCount, 0u);
    }
  }
}

}  // namespace
