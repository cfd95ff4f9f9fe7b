// The book pipeline on real games: the first 300 games of the shipped collection go through
// tools/makebook.sh. What dbshow prints for positions after given opening moves must equal the
// counts pgn-extract takes from the same games, and bookshow must answer as the filter says.
#include <gtest/gtest.h>
#include <map>
#include "book_helpers.h"

namespace {

constexpr const char* PgnExtract = "/usr/games/pgn-extract";

struct Stats { int counts[3] = {0, 0, 0}, firstPly = 1000; };  // white wins, black wins, draws; first ply

std::string Output(const std::string& command) {
  std::string text;
  std::FILE* pipe = popen(command.c_str(), "r");
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  pclose(pipe);
  return text;
}

// Placement, side, castling and en-passant fields of a FEN.
std::string FourFields(const std::string& fen) {
  std::istringstream in(fen);
  std::string a, b, c, d;
  in >> a >> b >> c >> d;
  return a + " " + b + " " + c + " " + d;
}

// From pgn-extract's FEN comments, one game a line: a game with a result stands in the POS
// files with its start position (ply 1) and the position after move k (ply k + 1) for k < 64
// and below its length.
std::map<std::string, Stats> OracleCounts(const std::string& pgn, int* games, int* positions) {
  std::istringstream lines(Output(std::string(PgnExtract) +
                                  " -s --fencomments -Wlalg --notags --nomovenumbers --nochecks -w100000 " + pgn));
  std::map<std::string, Stats> counts;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fens = {FourFields(InitialFen)};
    for (size_t at = line.find('{'); at != std::string::npos; at = line.find('{', at + 1))
      fens.push_back(FourFields(line.substr(at + 1, line.find('}', at) - at - 1)));
    int result = std::string("1-0 0-1 1/2-1/2").find(line.substr(line.find_last_of(' ') + 1)) / 4;
    if (fens.size() < 2 || line.back() == '*') continue;
    ++*games;
    for (size_t k = 0; k + 1 < fens.size() && k < 64; k++, ++*positions) {
      counts[fens[k]].counts[result]++;
      counts[fens[k]].firstPly = std::min(counts[fens[k]].firstPly, static_cast<int>(k) + 1);
    }
  }
  return counts;
}

TEST(BookPipeline, StatisticsAndBookAgreeWithPgnExtract) {
  if (access(PgnExtract, X_OK) != 0) GTEST_SKIP() << "pgn-extract is not installed (make test installs it)";
  EngineProcess engine;
  const std::string& dir = engine.Directory();
  Output("gzip -dc " TIRVEX_SOURCE_DIR "/data/masters_5000.pgn.gz | awk '/^\\[Event /{n++} n<=300' > " + dir + "s.pgn");
  std::string stages = Output(TIRVEX_SOURCE_DIR "/tools/makebook.sh " TIRVEX_BINARY " " + dir + "s.pgn " + dir + "book " + dir);
  int games = 0, positions = 0;
  std::map<std::string, Stats> counts = OracleCounts(dir + "s.pgn", &games, &positions);
  EXPECT_NE(stages.find("pgn2pos:    " + std::to_string(games) + " games (" + std::to_string(300 - games) +
                        " skipped), " + std::to_string(positions) + " positions"),
            std::string::npos)
      << stages;

  const char* lines[] = {"", "e2e4", "e2e4 e7e5", "e2e4 e7e5 g1f3", "e2e4 e7e5 g1f3 b8c6", "e2e4 e7e5 g1f3 b8c6 f1b5",
                         "e2e4 e7e6", "e2e4 c7c5", "d2d4", "d2d4 d7d5", "d2d4 d7d5 c2c4", "d2d4 g8f6", "c2c4", "g1f3", "b2b3"};
  engine.WriteFile("Tirvex.ini", "BOOK_PATH=book\n");
  engine.Start();
  std::string session = XboardHandshake;
  for (const char* line : lines) session += std::string("new\nforce\n") + line + "\ndbshow\nbookshow\n";
  engine.Send(session + "quit\n");
  ASSERT_EQ(engine.Finish(), 0);
  std::string out = engine.Output();
  std::regex answer("(w: (\\d+), b: (\\d+), d: (\\d+), score: [0-9.]+|record not found\\.)\n(YES|NO)\n2: NO\n");
  auto answers = std::sregex_iterator(out.begin(), out.end(), answer);
  int kept = 0, found = 0;
  for (const char* line : lines) {
    ASSERT_NE(answers, std::sregex_iterator()) << line;
    std::smatch m = *answers;
    ++answers;
    book_test::KeyAfter(InitialFen, line);
    std::string fen = FourFields(Fen());
    const int* c = counts[fen].counts;
    int total = c[0] + c[1] + c[2];
    found += total > 0;
    EXPECT_EQ(total ? m[2].str() + " " + m[3].str() + " " + m[4].str() : m[1].str(),
              total ? std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) : "record not found.")
        << line;
    // In the book: arisen by ply 41, better than even for the side that had just moved.
    double score = total ? (c[0] + 0.5 * c[2]) / total : 0.5;
    bool inBook = total && counts[fen].firstPly <= 41 && (fen.find(" b ") != std::string::npos ? score > 0.5 : score < 0.5);
    kept += inBook;
    EXPECT_EQ(m[5], inBook ? "YES" : "NO") << line;
  }
  EXPECT_GT(kept, 0);  // the lines chosen show both answers
  EXPECT_LT(kept, found);
}

}  // namespace
