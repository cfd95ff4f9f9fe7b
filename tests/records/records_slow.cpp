// The whole master collection (data/masters_5000.pgn.gz) through all five conversions. The
// expected figures are the collection's published ones: 5000 games of which 2 end in "*",
// results 1-0 1785, 0-1 1122, 1/2-1/2 2091, 248 promotions of which 8 underpromotions; every
// game's moves are compared with pgn-extract's replay where pgn-extract is installed.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include "../support/engine_process.h"
#include "records/records.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}
// The words of a movetext line without move numbers, joined by single spaces, in lower case.
std::string Moves(const std::string& line) {
  std::string moves, word;
  for (std::istringstream words(line); words >> word;)
    if (word.back() != '.') moves += (moves.empty() ? "" : " ") + word;
  std::transform(moves.begin(), moves.end(), moves.begin(), [](char c) { return std::tolower(c); });
  return moves;
}
int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

struct Collection {
  EngineProcess engine;
  std::string out;
  std::string File(const std::string& name) { return ReadFile(engine.Directory() + "/" + name); }
  Collection() {
    std::string unpack = "gzip -dc " TIRVEX_SOURCE_DIR "/data/masters_5000.pgn.gz > " + engine.Directory() + "/m.pgn";
    if (std::system(unpack.c_str()) != 0) return;
    engine.Start();
    engine.Send(std::string(XboardHandshake) +
                "pgn2game m.pgn m.game\ngame2pgn m.game r.pgn\npgn2game r.pgn r.game\npgn2game m.pgn m.game\n"
                "pgn2pos m.pgn\ngame2pos m.game all.pos\nquit\n");
    engine.Finish(100);
    out = engine.Output();
  }
};

Collection& Converted() {
  static Collection run;
  return run;
}

TEST(MasterCollection, ConvertsEveryGameAndRoundTripsByteForByte) {
  Collection& run = Converted();
  EXPECT_NE(run.out.find("converted: 4998 games. (skipped: 2)\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("converted: 0 games. (skipped: 5000)\n"), std::string::npos);
  std::string game = run.File("m.game");
  EXPECT_EQ(run.File("r.game"), game);

  std::istringstream in(game);
  static GameRecord record;
  std::map<char, int> results;
  int promotions = 0, underpromotions = 0, positions = 0;
  while (ReadGameRecord(in, record)) {
    results[record.ResultCode]++;
    positions += std::min(MoveCount(record), 64);
    for (int i = 0; i < MoveCount(record); i++) {
      int kind = MoveKind(record.Moves[i]);
      promotions += kind >= KindPromoQueen && kind <= KindCapPromoBishop;
      underpromotions += kind >= KindPromoQueen && kind <= KindCapPromoBishop && kind != KindPromoQueen &&
                         kind != KindCapPromoQueen;
    }
  }
  EXPECT_EQ(results, (std::map<char, int>{{'W', 1785}, {'B', 1122}, {'D', 2091}}));
  EXPECT_EQ(promotions, 248);
  EXPECT_EQ(underpromotions, 8);
  int byKey = 0;
  for (char digit : std::string("0123456789ABCDEF")) byKey += CountLines(run.File(std::string(1, digit) + ".pos"));
  EXPECT_EQ(byKey, positions);
  EXPECT_EQ(CountLines(run.File("all.pos")), positions);
}

TEST(MasterCollection, EveryMoveEqualsPgnExtractsReplay) {
  Collection& run = Converted();
  std::string dir = run.engine.Directory();
  std::string replay = "PATH=$PATH:/usr/games pgn-extract -Wuci --notags -C -N -V -w100000 -s " + dir + "/m.pgn > " +
                       dir + "/uci.txt 2> /dev/null";
  if (std::system(replay.c_str()) != 0) GTEST_SKIP() << "pgn-extract is not installed";
  std::vector<std::string> expected, ours;
  std::istringstream uci(run.File("uci.txt")), pgn(run.File("r.pgn"));
  for (std::string line; std::getline(uci, line);)
    if (std::string moves = Moves(line); !moves.empty() && moves.back() != '*') expected.push_back(moves);
  for (std::string line; std::getline(pgn, line);)
    if (line[0] != '[') ours.push_back(Moves(line));
  ASSERT_EQ(ours.size(), expected.size());
  for (size_t i = 0; i < ours.size(); i++) ASSERT_EQ(ours[i], expected[i]) << "game " << i + 1;
}

}  // namespace
