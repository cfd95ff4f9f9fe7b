// The whole master collection (data/masters_5000.pgn.gz) through all five conversions. The
// expected figures are the collection's published ones: 5000 games of which 2 end in "*",
// results 1-0 1785, 0-1 1122, 1/2-1/2 2091, 248 promotions of which 8 underpromotions; every
// game's moves are compared with pgn-extract's replay where pgn-extract is installed.
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include "../support/game_support.h"
#include "records/records.h"

namespace {

const ToolRun& Converted() {
  static ToolRun run("pgn2game m.pgn m.game\ngame2pgn m.game r.pgn\npgn2game r.pgn r.game\npgn2game m.pgn m.game\n"
                     "pgn2pos m.pgn\ngame2pos m.game all.pos\n",
                     {}, "gzip -dc " TIRVEX_SOURCE_DIR "/data/masters_5000.pgn.gz > m.pgn");
  return run;
}

// A movetext line's moves without move numbers, in lower case, one space apart.
std::string Moves(const std::string& line) {
  std::string moves, word;
  for (std::istringstream words(line); words >> word;)
    if (word.back() != '.') moves += (moves.empty() ? "" : " ") + word;
  std::transform(moves.begin(), moves.end(), moves.begin(), [](char c) { return std::tolower(c); });
  return moves;
}

TEST(MasterCollection, ConvertsEveryGameAndRoundTripsByteForByte) {
  const ToolRun& run = Converted();
  EXPECT_TRUE(Contains(run.out, "converted: 4998 games. (skipped: 2)\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "converted: 0 games. (skipped: 5000)\n"));
  EXPECT_EQ(run.File("r.game"), run.File("m.game"));
  std::istringstream in(run.File("m.game"));
  static GameRecord record;
  std::map<char, int> results;
  int promotions = 0, underpromotions = 0, positions = 0;
  while (ReadGameRecord(in, record)) {
    results[record.ResultCode]++;
    positions += std::min(MoveCount(record), 64);
    for (int i = 0; i < MoveCount(record); i++) {
      int kind = MoveKind(record.Moves[i]);
      promotions += kind >= KindPromoQueen && kind <= KindCapPromoBishop;
      underpromotions += kind != KindPromoQueen && kind != KindCapPromoQueen && kind >= KindPromoKnight &&
                         kind <= KindCapPromoBishop;
    }
  }
  EXPECT_EQ(results, (std::map<char, int>{{'W', 1785}, {'B', 1122}, {'D', 2091}}));
  EXPECT_EQ(promotions, 248);
  EXPECT_EQ(underpromotions, 8);
  int byKey = 0;
  for (char digit : std::string("0123456789ABCDEF")) byKey += Count(run.File(std::string(1, digit) + ".pos"), "\n");
  EXPECT_EQ(byKey, positions);
  EXPECT_EQ(Count(run.File("all.pos"), "\n"), positions);
}

TEST(MasterCollection, EveryMoveEqualsPgnExtractsReplay) {
  const ToolRun& run = Converted();
  std::string replay = "cd " + run.engine.Directory() +
                       " && PATH=$PATH:/usr/games pgn-extract -Wuci --notags -C -N -V -w100000 -s m.pgn > uci 2> /dev/null";
  if (std::system(replay.c_str()) != 0) GTEST_SKIP() << "pgn-extract is not installed";
  std::vector<std::string> expected, ours;
  std::istringstream uci(run.File("uci")), pgn(run.File("r.pgn"));
  for (std::string line; std::getline(uci, line);)  // games ending in "*" are skipped by the conversions
    if (std::string moves = Moves(line); !moves.empty() && moves.back() != '*') expected.push_back(moves);
  for (std::string line; std::getline(pgn, line);)
    if (line[0] != '[') ours.push_back(Moves(line));
  ASSERT_EQ(ours.size(), expected.size());
  for (size_t i = 0; i < ours.size(); i++) ASSERT_EQ(ours[i], expected[i]) << "game " << i + 1;
}

}  // namespace
