// The book pipeline on real games: the first 300 games of the shipped collection go through
// tools/makebook.sh (pgn2pos, sort, dbcreate, bookcreate). The statistics that dbshow prints for
// positions after given opening moves must equal counts taken by pgn-extract from the same
// games, and bookshow must answer as the book's filter says for those counts.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include "../support/engine_process.h"
#include "board/board.h"
#include "eval/eval.h"

namespace {

constexpr int SampleGames = 300;
constexpr const char* PgnExtract = "/usr/games/pgn-extract";

struct Stats {
  int white = 0, black = 0, draws = 0;
  int firstPly = 1 << 20;
};

std::string Output(const std::string& command) {
  std::string text;
  std::FILE* pipe = popen(command.c_str(), "r");
  char buffer[65536];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  if (pipe) pclose(pipe);
  return text;
}

// Placement, side, castling and en-passant fields of a FEN.
std::string FourFields(const std::string& fen) {
  std::istringstream in(fen);
  std::string a, b, c, d;
  in >> a >> b >> c >> d;
  return a + " " + b + " " + c + " " + d;
}

// Counts by position from pgn-extract's FEN comments, one game a line. A game stands in the
// POS files with its start position (ply 1) and the position after move k (ply k + 1) for
// k < 64 and below its length; games without a result are not converted.
std::map<std::string, Stats> OracleCounts(const std::string& pgn, int* games, int* positions) {
  std::istringstream lines(Output(std::string(PgnExtract) +
                                  " -s --fencomments -Wlalg --notags --nomovenumbers --nochecks -w100000 " + pgn));
  std::map<std::string, Stats> counts;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fens;
    for (size_t at = line.find('{'); at != std::string::npos; at = line.find('{', at + 1))
      fens.push_back(FourFields(line.substr(at + 1, line.find('}', at) - at - 1)));
    std::string result = line.substr(line.find_last_of(' ') + 1);
    if (fens.empty() || (result != "1-0" && result != "0-1" && result != "1/2-1/2")) continue;
    fens.insert(fens.begin(), FourFields(InitialFen));
    fens.pop_back();  // the position after the last move is never written
    ++*games;
    for (size_t k = 0; k < fens.size() && k < 64; k++) {
      Stats& s = counts[fens[k]];
      (result == "1-0" ? s.white : result == "0-1" ? s.black : s.draws)++;
      s.firstPly = std::min(s.firstPly, static_cast<int>(k) + 1);
      ++*positions;
    }
  }
  return counts;
}

// The four FEN fields after the moves from the start position, as the engine writes them.
std::string FenAfter(const std::string& moves) {
  static const bool ready = (InitTables(), InitPhaseTables(), true);
  (void)ready;
  SetupPosition(InitialFen);
  std::istringstream in(moves);
  for (std::string move; in >> move;) MakeRealMove(ReadCoordinateMove(move.c_str()));
  char fen[128];
  WriteFen(fen);
  return FourFields(fen);
}

TEST(BookPipeline, StatisticsAndBookAgreeWithPgnExtract) {
  if (access(PgnExtract, X_OK) != 0) GTEST_SKIP() << "pgn-extract is not installed (make test installs it)";
  EngineProcess engine;
  const std::string dir = engine.Directory() + "/";
  std::system(("gzip -dc " TIRVEX_SOURCE_DIR "/data/masters_5000.pgn.gz | awk '/^\\[Event /{n++} n<=" +
               std::to_string(SampleGames) + "' > " + dir + "sample.pgn")
                  .c_str());
  std::string stages = Output(TIRVEX_SOURCE_DIR "/tools/makebook.sh " TIRVEX_BINARY " " + dir + "sample.pgn " + dir +
                              "book " + dir + " 2>&1");
  int games = 0, positions = 0;
  std::map<std::string, Stats> counts = OracleCounts(dir + "sample.pgn", &games, &positions);
  ASSERT_TRUE(stages.find("pgn2pos:    " + std::to_string(games) + " games (" + std::to_string(SampleGames - games) +
                          " skipped), " + std::to_string(positions) + " positions") != std::string::npos)
      << stages;
  ASSERT_TRUE(stages.find("book:       " + dir + "book") != std::string::npos) << stages;

  // Opening lines from the start position; the positions are reached by moves, as in a game.
  const char* lines[] = {"",
                         "e2e4",
                         "e2e4 e7e5",
                         "e2e4 e7e5 g1f3",
                         "e2e4 e7e5 g1f3 b8c6",
                         "e2e4 e7e5 g1f3 b8c6 f1b5",
                         "e2e4 e7e6",
                         "e2e4 c7c5",
                         "d2d4",
                         "d2d4 d7d5",
                         "d2d4 d7d5 c2c4",
                         "d2d4 g8f6",
                         "c2c4",
                         "g1f3",
                         "b2b3"};
  engine.WriteFile("Tirvex.ini", "BOOK_PATH=book\n");
  engine.Start();
  std::string session = XboardHandshake;
  for (const char* line : lines) session += std::string("new\nforce\n") + line + "\ndbshow\nbookshow\n";
  engine.Send(session + "quit\n");
  ASSERT_EQ(engine.Finish(), 0);

  std::regex answer("(w: (\\d+), b: (\\d+), d: (\\d+), score: [0-9.]+|record not found\\.)\n(YES|NO)\n2: NO\n");
  std::string out = engine.Output();
  auto answers = std::sregex_iterator(out.begin(), out.end(), answer);
  int kept = 0, found = 0;
  for (const char* line : lines) {
    SCOPED_TRACE(std::string("moves: ") + line);
    ASSERT_NE(answers, std::sregex_iterator());
    std::smatch m = *answers;
    ++answers;
    std::string fen = FenAfter(line);
    Stats s = counts.count(fen) ? counts[fen] : Stats{};
    int total = s.white + s.black + s.draws;
    if (total == 0) {
      EXPECT_EQ(m[1], "record not found.");
    } else {
      found++;
      EXPECT_EQ(m[2], std::to_string(s.white));
      EXPECT_EQ(m[3], std::to_string(s.black));
      EXPECT_EQ(m[4], std::to_string(s.draws));
    }
    // In the book: arisen by ply 41 and better than even for the side that had just moved.
    double score = total ? (s.white + 0.5 * s.draws) / total : 0.5;
    bool blackToMove = fen.find(" b ") != std::string::npos;
    bool inBook = total && s.firstPly <= 41 && (blackToMove ? score > 0.5 : score < 0.5);
    kept += inBook;
    EXPECT_EQ(m[5], inBook ? "YES" : "NO");
  }
  // The lines chosen show both answers.
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, found);
}

}  // namespace
