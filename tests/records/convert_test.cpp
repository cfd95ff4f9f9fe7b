// The conversion commands through the real binary, on 38 master games (tests/data: 37 finished
// games and, as game 33, one ending in "*"), and on broken GAME and PGN files. Until a game
// castles (a castling adds a constant of its own), POS keys are checked against the key of a
// fresh setup of the line's FEN plus the keys that moves add for lost castling rights and for
// the en-passant square.
#include <sys/resource.h>
#include <sys/wait.h>
#include <algorithm>
#include <csignal>
#include <sstream>
#include "../movegen/movegen_helpers.h"
#include "../support/engine_process.h"
#include "records/records.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}
const std::string Sample = ReadFile(TIRVEX_SOURCE_DIR "/tests/data/masters_sample.pgn");
bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs the commands in a fresh directory holding the files; returns it with the output.
struct Session {
  EngineProcess engine;
  std::string out, log;
  Session(const std::string& commands, const std::vector<std::pair<std::string, std::string>>& files) {
    for (auto& [name, text] : files) engine.WriteFile(name, text);
    engine.Start();
    engine.Send(std::string(XboardHandshake) + commands + "quit\n");
    engine.Finish();
    out = engine.Output();
    log = engine.Log();
  }
  std::string File(const std::string& name) { return ReadFile(engine.Directory() + "/" + name); }
};

Session& SampleRun() {
  static Session run("pgn2game s.pgn a.game\npgn2game s.pgn a.game\ngame2pgn a.game r.pgn\npgn2game r.pgn b.game\n"
                     "pgn2pos s.pgn\ngame2pos a.game all.pos\npgnlist2game list c.game\n",
                     {{"s.pgn", Sample}, {"list", "s.pgn\nmissing.pgn\n"}});
  return run;
}

TEST(Conversions, RoundTripGivesTheSameGameFileAndASecondRunAddsNothing) {
  Session& run = SampleRun();
  EXPECT_TRUE(Contains(run.out, "Warning: game 33 (skipped) file: s.pgn\nconverted: 37 games. (skipped: 1)\n"
                                "file: s.pgn \t\tfinished\n"));
  EXPECT_TRUE(Contains(run.out, "converted: 0 games. (skipped: 38)\n"));
  EXPECT_TRUE(Contains(run.out, "Converting 37 games [  0%]...\b\b\b\b\b\b\b\b  2%]..."));
  EXPECT_TRUE(Contains(run.out, "100%]...OK\nconverted: 37 games.\n"));
  EXPECT_TRUE(Contains(run.out, "Cannot open PGN input file: 'missing.pgn'\n\nCONVERTED GAMES: 37\n"));
  EXPECT_TRUE(Contains(run.log, "::cmd:: pgn2game\n<<< OK:\ts.pgn\t>>>\n"));
  std::string game = run.File("a.game");
  EXPECT_EQ(run.File("b.game"), game);
  EXPECT_EQ(run.File("c.game"), game);
  EXPECT_TRUE(Contains(run.File("r.pgn"), "[Result \"1-0\"]\n1. e2e4 e7e5 2. g1f3 b8c6 3. f1c4 f8c5 4. b2b4"));
}

// The square of each castling right's key in the key table's first row.
constexpr std::pair<uint16_t, int> RightKeySquares[] = {
    {RightWhiteShort, G1}, {RightWhiteLong, C1}, {RightBlackShort, G8}, {RightBlackLong, C8}};

TEST(Conversions, PosLinesHoldTheFirst64PositionsOfEveryGameUnderTheirKeys) {
  Session& run = SampleRun();
  std::vector<std::string> all = Lines(run.File("all.pos")), byKey;
  for (char digit : std::string("0123456789ABCDEF"))
    for (const std::string& line : Lines(run.File(std::string(1, digit) + ".pos"))) {
      EXPECT_EQ(line[0], digit);
      byKey.push_back(line);
    }
  std::istringstream games(run.File("a.game"));
  static GameRecord record;
  size_t at = 0;
  while (ReadGameRecord(games, record))
    for (int p = 1, castled = 0; p <= std::min(MoveCount(record), 64); p++, at++) {
      castled |= p > 1 && MoveKind(record.Moves[p - 2]) >= KindBlackShortCastle;
      ASSERT_LT(at, all.size());
      char key[17], fen[100], result;
      int ply = 0;
      ASSERT_EQ(std::sscanf(all[at].c_str(), "%16s\t%99[^\t]\t%c\t%d", key, fen, &result, &ply), 4);
      EXPECT_EQ(ply, p);
      EXPECT_EQ(result, record.ResultCode);
      ASSERT_TRUE(SetupPosition(fen));
      uint64_t expected = Position.PositionKey ^ (Position.EpSquare ? ZobristKeys[0][Position.EpSquare] : 0);
      for (auto [right, square] : RightKeySquares)
        if (!(Position.CastleRights & right)) expected ^= ZobristKeys[0][square];
      if (!castled) EXPECT_EQ(std::strtoull(key, nullptr, 16), expected) << all[at];
    }
  EXPECT_EQ(at, all.size());
  std::sort(all.begin(), all.end());
  std::sort(byKey.begin(), byKey.end());
  EXPECT_EQ(all, byKey);
}

const std::string Good("\x01\x80\x24\x0D", 4);  // one record: 1-0 after e2e4
struct BrokenCase {
  std::string bytes, command, output;
};
const BrokenCase BrokenCases[] = {
    {"", "game2pgn g.game o\n", "Converting 0 games [  0%]...OK\nconverted: 0 games.\n"},
    {Good + std::string("\x01\0\x24\x0D", 4), "game2pgn g.game o\n", "Game file corrupted! (error on game: 2)quit"},
    {Good + std::string("\x02\x80\x24", 3), "game2pos g.game o\n", "Game file corrupted! (error on game: 2)quit"},
    {Good + std::string("\x02\x80\x24", 3), "pgn2game s.pgn g.game\n",
     "ERROR: Game file corrupted! (error on game: 2) file: s.pgn\n"},
    {Good + std::string("\x00\x00", 2), "pgn2game s.pgn g.game\n", "ERROR: WRONG RESULT file: s.pgn\n"},
};

TEST(Conversions, CorruptGameFilesAreReportedAndLeftAsTheyWere) {
  for (const BrokenCase& c : BrokenCases) {
    SCOPED_TRACE(c.command);
    Session run(c.command + "echo\n", {{"g.game", c.bytes}, {"s.pgn", Sample}});
    EXPECT_TRUE(Contains(run.out + "quit", c.output)) << run.out;
    EXPECT_EQ(run.File("g.game"), c.bytes);
    EXPECT_EQ(run.File("o"), "");
  }
}

// An illegal move ends the conversion after whole games, and the board is the start again.
TEST(Conversions, AnErrorKeepsTheGamesBeforeItAndTheBoardClean) {
  size_t fourth = 0;
  for (int i = 0; i < 3; i++) fourth = Sample.find("[Event", fourth + 1);
  std::string bad = Sample.substr(0, fourth) + "[Result \"1-0\"]\n1. e4 e5 2. Ke3 1-0\n" + Sample;
  Session run("pgn2game bad.pgn g.game\nforce\ne2e4\n", {{"bad.pgn", bad}});
  std::istringstream game(run.File("g.game"));
  EXPECT_EQ(CountGameRecords(game), 3);
  EXPECT_TRUE(Contains(run.out, "converted: 3 games. (skipped: 0)\nERROR: MOVE NOT LEGAL 1 file: bad.pgn\n"));
  EXPECT_TRUE(Contains(run.log, "converted: 3\tskipped: 0\nERROR: MOVE NOT LEGAL 1\n"));
  EXPECT_FALSE(Contains(run.out, "Illegal Move"));
}

// A full disk (here a file size limit) cuts the GAME file back to its last whole record.
TEST(Conversions, AFailedWriteLeavesOnlyWholeRecords) {
  EngineProcess directory;
  directory.WriteFile("s.pgn", Sample);
  pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1001, 1001};
    if (chdir(directory.Directory().c_str()) != 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
    Pgn2Game("s.pgn", "g.game");
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::istringstream game(ReadFile(directory.Directory() + "/g.game"));
  int count = CountGameRecords(game);
  std::string rewritten;
  static GameRecord record;
  while (ReadGameRecord(game, record)) WriteGameRecord(rewritten, record);
  EXPECT_GT(count, 0);
  EXPECT_EQ(rewritten, ReadFile(directory.Directory() + "/g.game"));
}

}  // namespace
