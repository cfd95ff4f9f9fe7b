// Iterative deepening and the alpha-beta search on positions with known answers, the thinking line,
// restoration of the position after every search, determinism from a fresh state; the quiescence
// search: king captures, stand-pat, table stores, bare material, the depth limit and mate in check;
// and the printed table of the "perft" command (the counts are checked against published ones by
// the slow suite).
#include <cstring>
#include <regex>
#include "search_support.h"

using namespace search_test;

namespace {

// Positions with a known answer. Mates were confirmed independently; the mated side is mated at ply
// `plies` from the root, which sees 8100 - plies. Root draws and mates are reported with markers.
TEST(IterativeDeepening, KnownAnswers) {
  struct Case { const char* fen; const char* moves; int depth, score; const char* best; };
  const Case cases[] = {
      {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", "", 3, ScoreMate - 1, "a1a8"},  // back-rank mate in 1
      {"r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq -", "", 4, ScoreMate - 3, "d5f6"},  // in 2
      {"r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -", "", 6, ScoreMate - 5, "f8c5"},   // in 3
      {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - -", "", 6, ScoreMate - 5, "f6a6"},                          // in 3
      {"7k/5Q2/6K1/8/8/8/8/8 b - -", "", 4, 0, "stalemate"},
      {"R5k1/5ppp/8/8/8/8/8/6K1 b - -", "", 4, -ScoreMate, "checkmated"},
      {InitialFen, "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8", 4, -9999, "repetition"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupGame(c.fen));
    ASSERT_TRUE(Play(c.moves));
    SearchRun run = SearchCurrent(c.depth);
    EXPECT_EQ(run.Score, c.score) << c.fen;
    std::string best = run.Best == MarkerStalemate    ? "stalemate"
                       : run.Best == MarkerCheckmated ? "checkmated"
                       : run.Best == MarkerRepetition ? "repetition"
                                                      : Text(run.Best);
    EXPECT_EQ(best, c.best) << c.fen;
    EXPECT_EQ(run.Nodes == 0, IsMarker(run.Best)) << "root results are reported without a search";
    EXPECT_EQ(MoveBudget, 1000000000) << "time granted to aspiration re-searches is given back";
  }
}

TEST(IterativeDeepening, OneThinkingLinePerIterationAndAClosingLine) {
  SearchRun run = SearchFen("4k3/8/8/3q4/8/8/6P1/3RK3 w - -", 3);
  EXPECT_GT(run.Score, 400) << "the hanging queen is won";
  const std::regex line("    (\\d+)     (-?\\d+)     (\\d+)     (\\d+)  (\\S.*)\n");
  std::smatch m;
  std::string rest = run.Output;
  for (int expectedDepth : {2, 3, 3}) {
    ASSERT_TRUE(std::regex_search(rest, m, line)) << run.Output;
    EXPECT_EQ(m.position(0), 0) << "no text before a thinking line: " << run.Output;
    EXPECT_EQ(std::stoi(m[1]), expectedDepth);
    EXPECT_EQ(m[5].str().rfind("d1d5 ", 0), 0u) << "the variation starts with the best move";
    if (m[1] == "3") {
      EXPECT_EQ(std::stoi(m[2]), run.Score);
      EXPECT_EQ(std::stoul(m[4]), run.Nodes);
    }
    rest = m.suffix();
  }
}

// Positions that exercise checks, null moves, reductions, internal deepening, castling, en passant
// and promotions. The search leaves the game as it found it and plays a legal move; searching again
// from a fresh state gives the same tree; stopped by the clock, it keeps a completed result.
TEST(Search, LeavesTheGameAsItFoundItAndRepeatsItself) {
  for (const char* fen : {PublishedPerft[1].fen, PublishedPerft[2].fen, PublishedPerft[3].fen, PublishedPerft[4].fen,
                          "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6"}) {
    SearchRun runs[3];
    for (int i = 0; i < 3; i++) {
      ASSERT_TRUE(SetupGame(fen));
      const PositionState before = Position;
      const KeyHistoryEntry entry = KeyHistory[0];
      runs[i] = i < 2 ? SearchCurrent(6) : SearchCurrent(127, 0);  // the last one without time
      EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0) << fen;
      EXPECT_EQ(HistoryTop, 0) << fen;
      EXPECT_EQ(KeyHistory[0].Key, entry.Key) << fen;
      EXPECT_EQ(KeyHistory[0].HalfmoveClock, entry.HalfmoveClock) << fen;
      EXPECT_TRUE(MoveIsLegal(runs[i].Best)) << fen;
      EXPECT_EQ(CheckCount[Black] + CheckCount[White], 0u) << fen;
    }
    EXPECT_EQ(runs[1].Nodes, runs[0].Nodes) << fen;
    EXPECT_EQ(runs[1].Best, runs[0].Best) << fen;
    EXPECT_EQ(runs[1].Score, runs[0].Score) << fen;
    EXPECT_TRUE(StopSearch) << fen;
    EXPECT_LT(std::abs(runs[2].Score), 1000) << fen;
    EXPECT_NE(runs[2].Output.find("fixing move..."), std::string::npos) << "the clock restarts once";
  }
}

// A search of the position on the board at ply, inside an iteration of depth 10.
int SearchNode(int depth, int ply) {
  PrepareRootSearch();
  IterationDepth = 10;
  StopSearch = false;
  return Search(depth, ply, -ScoreMate, ScoreMate, 2);
}

TEST(Search, MateAndStalemateBelowTheRootAreStoredWithTheirMarkers) {
  struct Case { const char* fen; int score; Move marker; };
  const Case cases[] = {{"R5k1/5ppp/8/8/8/8/8/6K1 b - -", 5 - ScoreMate, MarkerCheckmated},
                        {"7k/5Q2/6K1/8/8/8/8/8 b - -", 0, MarkerStalemate}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupGame(c.fen));
    EXPECT_EQ(SearchNode(2, 5), c.score) << c.fen;
    EXPECT_EQ(Stored(), Entry(c.marker, BoundExact, c.score)) << c.fen;
  }
}

// The table answers a node only with a score strictly inside +-5000, or deeper than ply 8 and half
// the iteration depth for any score.
TEST(Search, TableCutoffNeedsAModestScoreOrADeepPly) {
  struct Case { int score, ply; bool cuts; };
  const Case cases[] = {{5000, 3, false}, {5000, 9, true}, {4999, 3, true}, {-5000, 3, false}, {-4999, 1, true}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupGame("4k3/pppp4/8/8/8/8/PPPP4/4K3 w - -"));
    StoreTT(Position.PositionKey, Position.SideToMove, MakeMoveWord(A2, A3, KindQuiet), c.score, 5, BoundExact);
    int score = SearchNode(4, c.ply);
    EXPECT_EQ(score == c.score && NodeCount == 0, c.cuts) << c.score << " at ply " << c.ply;
    if (!c.cuts) {
      EXPECT_LT(std::abs(score), 1000) << c.score << " at ply " << c.ply;
    }
  }
}

// The output of Perft(n) with the duration column (the second field) replaced by "*".
std::string PrintedTable(int n) {
  testing::internal::CaptureStdout();
  Perft(n);
  std::string text = testing::internal::GetCapturedStdout();
  return std::regex_replace(text, std::regex("\n(\\d+)\t[0-9.]+\t"), "\n$1\t*\t");
}

TEST(Perft, PrintsTheTableOfCumulativeCounts) {
  ASSERT_TRUE(SetupGame(InitialFen));
  EXPECT_EQ(PrintedTable(3),
            "ply\tduration\tnodes\n1\t*\t20\n2\t*\t420\n3\t*\t9322\ntotal nodes: 9762\n(total moves[32]: 9762)\n");
  // Fool's mate: White is mated. A huge depth runs 127 depths, each at once 0.
  ASSERT_TRUE(SetupGame("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -"));
  std::string mated = PrintedTable(200);
  EXPECT_TRUE(Contains(mated, "\n127\t*\t0\n"));
  EXPECT_FALSE(Contains(mated, "\n128\t"));
  EXPECT_TRUE(Contains(mated, "total nodes: 0\n"));
}

// A harness's node limit ends a search and a perft at a clock reading past it, however deep
// they were asked to go: the search at the second at most (stopped before depth 6, iterative
// deepening starts over once and stops at the next reading).
TEST(Search, NodeLimitStopsSearchAndPerft) {
  const SearchLimitSettings engine = SearchLimits;
  SearchLimits = {32, 5, 300};
  ASSERT_TRUE(SetupGame(InitialFen));
  EXPECT_LE(SearchCurrent(40).Nodes, 300u + 2 * 32u);
  testing::internal::CaptureStdout();
  Perft(8);
  testing::internal::GetCapturedStdout();
  EXPECT_LE(NodeCount, 300u + 300u);
  SearchLimits = engine;
}

// Sets up fen and prepares the records for a quiescence search of it at ply 1.
void Prepare(const char* fen) {
  ASSERT_TRUE(SetupGame(fen)) << fen;
  PrepareRootSearch();
}

TEST(Quiesce, ScoresAndTableEntries) {
  constexpr int StandPat = 1, Nothing = -1;
  struct Case { const char* fen; int beta, score; Move stored; int bound; const char* why; };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/R3K3 w - -", -100, StandPat, MarkerStandPat, BoundLower, "stand-pat at or above beta"},
      {"4k3/8/8/2p5/3p4/8/8/3QK3 w - -", ScoreMate, StandPat, 0, Nothing, "the only capture loses the queen"},
      {"8/8/8/8/8/8/1r6/K6k w - -", ScoreMate, 0, MakeMoveWord(A1, B2, KindCapture), BoundExact, "bare kings"},
  };
  for (const Case& c : cases) {
    Prepare(c.fen);
    const int standPat = Evaluate();
    const int score = Quiesce(0, 1, -ScoreMate, c.beta);
    EXPECT_EQ(score, c.score == StandPat ? standPat : c.score) << c.why;
    EXPECT_EQ(Stored(), c.bound == Nothing ? "nothing" : Entry(c.stored, c.bound, score)) << c.why;
  }
}

TEST(Quiesce, CapturingTheKingRefutesTheMoveBefore) {
  Prepare("4k3/4r3/8/8/8/8/4R3/4K3 b - -");
  // The pinned rook steps aside: an illegal move that the quiescence search refutes.
  const Move illegal = MakeMoveWord(E7, D7, KindQuiet);
  PlyRecord* root = CurrentPly;
  root->ListEnd = root->ListStart = MoveStack;
  SaveBoardState(root);
  MakeMove(illegal, root);
  CurrentPly = root + 1;
  EXPECT_EQ(Quiesce(0, 1, -ScoreMate, ScoreMate), ScoreInfinity);
  EXPECT_EQ(Stored(), Entry(MakeMoveWord(E2, E8, KindCapture), BoundExact, ScoreInfinity));
  CurrentPly = root;
  UnmakeMove(illegal, root);
}

TEST(Quiesce, BelowDepthMinusSixTheEvaluationScoresEachCapture) {
  const char* fen = "4k3/8/4p3/3q4/8/8/6P1/3RK3 w - -";
  Prepare(fen);
  PlyRecord scratch;
  const Move take = MakeMoveWord(D1, D5, KindCapture);
  SaveBoardState(&scratch);
  MakeMove(take, &scratch);
  const int afterCapture = -Evaluate();
  UnmakeMove(take, &scratch);
  EXPECT_EQ(Quiesce(-7, 1, -ScoreMate, ScoreMate), afterCapture);
  Prepare(fen);
  EXPECT_LT(Quiesce(0, 1, -ScoreMate, ScoreMate), afterCapture) << "one level up the recapture is seen";
}

TEST(Quiesce, SideKnownInCheckWithoutEvasionIsMatedAtItsPly) {
  Prepare("R5k1/5ppp/8/8/8/8/8/6K1 b - -");
  CheckCount[Black] = 1;
  EXPECT_EQ(Quiesce(0, 4, -ScoreMate, ScoreMate), 4 - ScoreMate);
  CheckCount[Black] = 0;
  EXPECT_EQ(Stored(), Entry(MarkerCheckmated, BoundExact, 4 - ScoreMate));
}

}  // namespace
