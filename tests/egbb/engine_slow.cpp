// The tables through the real engine: loaded at start-up from EGBB_PATH, and won endings
// played out by Tirvex against itself as the defender, mated within the fifty-move rule.
#include <gtest/gtest.h>
#include <regex>
#include <filesystem>
#include "../search/search_support.h"

namespace {

namespace fs = std::filesystem;

// egbb/ in the engine's directory: the library and the test tables, linked.
void LinkTables(const EngineProcess& engine) {
  const fs::path egbb = fs::path(engine.Directory()) / "egbb";
  fs::create_directories(egbb);
  fs::create_symlink(EGBB_LIBRARY, egbb / "egbbdll.so");
  for (const auto& file : fs::directory_iterator(TIRVEX_EGBB_TABLES))
    if (file.path().extension() == ".tvb") fs::create_symlink(file.path(), egbb / file.path().filename());
}

// A table entry for the root stored by an earlier search that did not use the bitbases (the
// opponent's search, with every move lost, searches on without them) names a winning move that
// is not the nearest to mate: the engine still keeps to the nearest. Cases: a shallow exact
// entry; a deep one with the clock stopping the search at once (the search must not start, and
// stop, beyond depth 2); a deep lower bound where a mate in one ends the search in iterations
// whose window leaves the bitbases out.
struct StaleCase { const char* fen; int depth, bound, budget; };
constexpr StaleCase StaleCases[] = {
    {"8/8/8/3rk3/8/8/8/1Q2K3 w - - 0 1", 6, BoundExact, 1000000000},
    {"8/8/8/3rk3/8/8/8/1Q2K3 w - - 0 1", 40, BoundExact, 0},
    {"8/8/5K1k/8/8/6Q1/8/8 w - - 0 1", 40, BoundLower, 1000000000},
};

TEST(EgbbEngine, AStaleTableEntryDoesNotOverruleTheBitbases) {
  EngineProcess scratch;
  LinkTables(scratch);
  ASSERT_TRUE(LoadBitbases((scratch.Directory() + "egbb/").c_str(), 4, 1));
  auto opponentScore = [](Move m) {
    SaveBoardState(&PlyRecords[0]);
    MakeMove(m, &PlyRecords[0]);
    int score = ProbeBitbases();
    UnmakeMove(m, &PlyRecords[0]);
    return score;
  };
  for (const StaleCase& c : StaleCases) {
    SCOPED_TRACE(c.fen);
    ASSERT_TRUE(SetupGame(c.fen));
    Move nearest = 0, slower = 0;
    for (Move m : LegalMoves())
      if (!nearest || opponentScore(m) < opponentScore(nearest)) nearest = m;
    for (Move m : LegalMoves())
      if (opponentScore(m) < 0 && opponentScore(m) > opponentScore(nearest)) slower = m;
    ASSERT_NE(slower, 0);
    StoreTT(Position.PositionKey, Position.SideToMove, slower, 900, c.depth, c.bound);
    SearchResult = search_test::SearchCurrent(c.budget ? 6 : 60, c.budget).Best << 16;
    Decision decision = DecideMove(ProbeTT(Position.PositionKey, Position.SideToMove));
    EXPECT_EQ(opponentScore(decision.move), opponentScore(nearest)) << "depth " << c.depth;
  }
  BitbasesLoaded = false;
}

// Wins for white to move, far from mate: the defending king in the centre (KBNK: the wrong
// corner's side).
struct Ending { const char *name, *fen; };
constexpr Ending Endings[] = {
    {"KQK", "8/8/8/4k3/8/8/8/1Q2K3 w - - 0 1"},
    {"KRK", "8/8/8/3k4/8/8/8/R3K3 w - - 0 1"},
    {"KBNK", "8/8/8/4k3/8/8/8/2B1KN2 w - - 0 1"},
    {"KQKR", "8/8/8/3rk3/8/8/8/1Q2K3 w - - 0 1"},
};

// Start-up reports the tables loaded. Tirvex plays both sides (a go after each move): white,
// keeping to the moves nearest to mate, mates within 50 moves (no draw by repetition or by the
// fifty-move rule).
TEST(EgbbEngine, PlaysWonEndingsOutToMate) {
  for (const Ending& ending : Endings) {
    EngineProcess engine;
    LinkTables(engine);
    engine.WriteFile("Tirvex.ini", "EGBB_PATH=egbb\n");
    engine.Start();
    engine.Send(Session(std::string("setboard ") + ending.fen + "\neasy\nlevel 0 1 0\ntime 600 otim 600\ngo\n"));
    int moves = 1;
    auto over = [](const std::string& out) { return Contains(out, " {"); };
    while (moves < 100 && !over(engine.Output())) {
      ASSERT_TRUE(engine.WaitForOutputWhere([&](const std::string& out) { return over(out) || Count(out, "\nmove ") >= moves; }))
          << ending.name;
      if (over(engine.Output())) break;
      engine.Send("go\n");
      moves++;
    }
    engine.Send("quit\n");
    engine.Finish();
    const std::string& out = engine.Output();
    EXPECT_TRUE(Contains(out, "BOOK ERROR: \nEGBB_LOAD=1\nEGBB_CACHE=4\n\nfeature ")) << out;
    EXPECT_TRUE(Contains(out, "1-0 {Tirvex mate")) << ending.name << out;
    // The table's win reaches the interface as a mate score (100000 + moves).
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +[0-9]+ +1000[0-9][0-9] "))) << ending.name << out;
    EXPECT_LE(Count(out, "\nmove "), 99) << ending.name;
  }
}

}  // namespace
