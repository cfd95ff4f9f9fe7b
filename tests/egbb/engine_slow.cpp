// The tables through the real engine: loaded at start-up from EGBB_PATH, and won endings
// played out by Tirvex against itself as the defender, mated within the fifty-move rule.
#include <gtest/gtest.h>
#include <filesystem>
#include <regex>
#include "../search/search_support.h"
#include "../support/engine_process.h"

namespace {

namespace fs = std::filesystem;

// egbb/ in the directory: the library and the test tables, linked.
void LinkTables(const fs::path& directory) {
  const fs::path egbb = directory / "egbb";
  fs::create_directories(egbb);
  fs::create_symlink(EGBB_LIBRARY, egbb / "egbbdll.so");
  for (const auto& file : fs::directory_iterator(TIRVEX_EGBB_TABLES))
    if (file.path().extension() == ".tvb") fs::create_symlink(file.path(), egbb / file.path().filename());
}
void LinkTables(const EngineProcess& engine) { LinkTables(fs::path(engine.Directory())); }

int Count(const std::string& text, const std::regex& pattern) {
  return int(std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

// Start-up reports the loaded library; eval's fixed position has five men, outside the
// tables, so it keeps its static score (94).
TEST(EgbbEngine, StartsWithTheTablesLoaded) {
  EngineProcess engine;
  LinkTables(engine);
  engine.WriteFile("Tirvex.ini", "EGBB_PATH=egbb\n");
  engine.Start();
  engine.Send(std::string(XboardHandshake) + "eval\nquit\n");
  EXPECT_EQ(engine.Finish(), 0);
  EXPECT_NE(engine.Output().find("EGBB_LOAD=1\nEGBB_CACHE=4\n"), std::string::npos) << engine.Output();
  EXPECT_EQ(engine.Output().find("EGBB ERROR"), std::string::npos);
  EXPECT_NE(engine.Output().find("eval score: 94\n"), std::string::npos);
}

// A table entry for the root stored by an earlier search that did not use the bitbases (the
// opponent's search, with every move lost, searches on without them) names a winning move that
// is not the nearest to mate: the engine still keeps to the nearest.
TEST(EgbbEngine, AStaleTableEntryDoesNotOverruleTheBitbases) {
  EngineProcess scratch;
  LinkTables(fs::path(scratch.Directory()));
  ASSERT_TRUE(LoadBitbases((scratch.Directory() + "/egbb/").c_str(), 4, 1));
  ASSERT_TRUE(SetupGame("8/8/8/3rk3/8/8/8/1Q2K3 w - - 0 1"));
  auto opponentScore = [](Move m) {
    SaveBoardState(&PlyRecords[0]);
    MakeMove(m, &PlyRecords[0]);
    int score = ProbeBitbases();
    UnmakeMove(m, &PlyRecords[0]);
    return score;
  };
  MoveEntry list[MaxMovesPerList];
  MoveEntry* end = GenerateMoves(list);
  Move nearest = 0, slower = 0;
  for (MoveEntry* e = list; e < end; e++) {
    if (!MoveIsLegal(e->Move)) continue;
    if (!nearest || opponentScore(e->Move) < opponentScore(nearest)) nearest = e->Move;
  }
  for (MoveEntry* e = list; e < end; e++)
    if (MoveIsLegal(e->Move) && opponentScore(e->Move) < 0 && opponentScore(e->Move) > opponentScore(nearest))
      slower = e->Move;
  ASSERT_NE(slower, 0);
  StoreTT(Position.PositionKey, Position.SideToMove, slower, 900, 6, BoundExact);
  SearchResult = search_test::SearchCurrent(6).Best << 16;
  Decision decision = DecideMove(ProbeTT(Position.PositionKey, Position.SideToMove));
  EXPECT_EQ(opponentScore(decision.move), opponentScore(nearest));
  BitbasesLoaded = false;
}

struct Ending {
  const char* name;
  const char* fen;  // white to move and winning
};

// Wins far from mate: the defending king in the centre (KBNK: the wrong corner's side).
constexpr Ending Endings[] = {
    {"KQK", "8/8/8/4k3/8/8/8/1Q2K3 w - - 0 1"},
    {"KRK", "8/8/8/3k4/8/8/8/R3K3 w - - 0 1"},
    {"KBNK", "8/8/8/4k3/8/8/8/2B1KN2 w - - 0 1"},
    {"KQKR", "8/8/8/3rk3/8/8/8/1Q2K3 w - - 0 1"},
};

// Tirvex plays both sides (a go after each move): white, keeping to the moves nearest to
// mate, mates within 50 moves (no draw by repetition or by the fifty-move rule).
TEST(EgbbEngine, PlaysWonEndingsOutToMate) {
  static const std::regex moveLine("(^|\n)move ");
  for (const Ending& ending : Endings) {
    EngineProcess engine;
    LinkTables(engine);
    engine.WriteFile("Tirvex.ini", "EGBB_PATH=egbb\n");
    engine.Start();
    engine.Send(std::string(XboardHandshake) + "setboard " + ending.fen + "\neasy\nlevel 0 1 0\ntime 600 otim 600\ngo\n");
    int moves = 1;
    auto over = [](const std::string& out) { return out.find("1-0 {") != std::string::npos || out.find("1/2-1/2") != std::string::npos; };
    while (moves < 100 && !over(engine.Output())) {
      ASSERT_TRUE(engine.WaitForOutputWhere([&](const std::string& out) { return over(out) || Count(out, moveLine) >= moves; }))
          << ending.name;
      if (over(engine.Output())) break;
      engine.Send("go\n");
      moves++;
    }
    engine.Send("quit\n");
    engine.Finish();
    EXPECT_NE(engine.Output().find("1-0 {Tirvex mate"), std::string::npos) << ending.name << engine.Output();
    EXPECT_LE(Count(engine.Output(), moveLine), 99) << ending.name;
  }
}

}  // namespace
