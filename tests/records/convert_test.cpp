// The conversion commands through the real binary, on the sample of master games and on
// broken GAME and PGN files. Until a game castles (a castling adds a constant of its own), POS
// keys are checked against the key of a fresh setup of the line's FEN.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <gtest/gtest.h>
#include <csignal>
#include "../support/game_support.h"
#include "records/records.h"

namespace {

// 38 master games: 37 finished ones and, as game 33, one ending in "*".
const std::string Sample = ReadFile(TIRVEX_SOURCE_DIR "/tests/data/masters_sample.pgn");

const ToolRun& SampleRun() {
  // game2pgn replays every game to check it and then puts the game on the board back.
  static ToolRun run("pgn2game s.pgn a.game\npgn2game s.pgn a.game\nsetboard 4k3/8/8/8/8/8/8/R3K3 w - -\n"
                     "game2pgn a.game r.pgn\nperft 1\npgn2pos s.pgn\n"
                     "game2pos a.game all.pos\npgnlist2game list c.game\n",
                     {{"s.pgn", Sample}, {"list", "s.pgn\nmissing.pgn\n"}});
  return run;
}

TEST(Conversions, PrintTheirProgressAndSummariesAndAddNoGameTwice) {
  const ToolRun& run = SampleRun();
  EXPECT_TRUE(Contains(run.out, "Warning: game 33 (skipped) file: s.pgn\nconverted: 37 games. (skipped: 1)\n"
                                "file: s.pgn \t\tfinished\n"));
  EXPECT_TRUE(Contains(run.out, "Warning: game 38 (skipped) file: s.pgn\nconverted: 0 games. (skipped: 38)\n"));
  EXPECT_TRUE(Contains(run.out, "Converting 37 games [  0%]...\b\b\b\b\b\b\b\b  2%]..."));
  EXPECT_TRUE(Contains(run.out, "100%]...OK\nconverted: 37 games.\n"));
  EXPECT_TRUE(Contains(run.out, "total nodes: 15\n"));  // the rook's and king's moves
  EXPECT_TRUE(Contains(run.out, "Cannot open PGN input file: 'missing.pgn'\n\nCONVERTED GAMES: 37\n"));
  EXPECT_TRUE(Contains(run.log, "::cmd:: pgn2game\n<<< OK:\ts.pgn\t>>>\n"));
  EXPECT_EQ(run.File("c.game"), run.File("a.game"));
  EXPECT_TRUE(Contains(run.File("r.pgn"), "[Result \"1-0\"]\n1. e2e4 e7e5 2. g1f3 b8c6 3. f1c4 f8c5 4. b2b4"));
}

TEST(Conversions, PosLinesHoldTheFirst64PositionsOfEveryGameUnderTheirKeys) {
  const ToolRun& run = SampleRun();
  std::istringstream games(run.File("a.game")), all(run.File("all.pos"));
  std::string byKey;
  for (char digit : std::string("0123456789ABCDEF")) byKey += run.File(std::string(1, digit) + ".pos");
  static GameRecord record;
  std::string line;
  while (ReadGameRecord(games, record))
    for (int p = 1, castled = 0; p <= std::min(MoveCount(record), 64); p++) {
      castled |= p > 1 && MoveKind(record.Moves[p - 2]) >= KindBlackShortCastle;
      ASSERT_TRUE(std::getline(all, line));
      EXPECT_TRUE(Contains(byKey, line + "\n")) << line;
      char fen[100], result;
      unsigned long long key;
      int ply = 0;
      ASSERT_EQ(std::sscanf(line.c_str(), "%16llX\t%99[^\t]\t%c\t%d", &key, fen, &result, &ply), 4);
      EXPECT_EQ(result, record.ResultCode);
      EXPECT_EQ(ply, p);
      ASSERT_TRUE(SetupPosition(fen));
      if (!castled) {
        EXPECT_EQ(key, Position.PositionKey) << line;
      }
    }
  EXPECT_FALSE(std::getline(all, line));
  EXPECT_EQ(byKey.size(), run.File("all.pos").size());
}

// Games put among the sample's: PGN that is read as it stands (its moves given), or a broken game
// that costs that game only (the line printed for it given). From the PGN standard: comments do
// not nest, ';' comments run to the line end, '%' lines are escapes, a tag line may hold
// several pairs.
std::string Tagged(const char* result, const std::string& movetext) {
  return std::string("[Event \"x\"]\n[Result \"") + result + "\"]\n\n" + movetext + "\n";
}
struct InsertedGame { std::string pgn, moves, printed; };
const InsertedGame Inserted[] = {
    {Tagged("1-0", "1. e4 {White is happy :-{ } e5 2. Nf3 Nc6 1-0"), "e2e4 e7e5 g1f3 b8c6", ""},
    {"; annotated by X\n" + Tagged("1-0", "1. d4 ; a comment {\nd5 2. c4 1-0"), "d2d4 d7d5 c2c4", ""},
    {"%escape\n[Event \"x\"] [Result \"0-1\"]\n%escape\n1. f3 e5 2. g4 Qh4# 0-1\n", "f2f3 e7e5 g2g4 d8h4", ""},
    {Tagged("1-0", "1. e4 " + std::string(100000, 'x') + " e5 1-0"), "", "move: xxxxxxxxxx..., plyNo:2\n"},
    {Tagged("1-0", "1. e4 d5 2. exd5 e5 3. dxe6 Nf6 4. exf7+ Ke7 5. fxg8=K 1-0"), "", "move: fxg8=K, plyNo:9\n"},
    {Tagged("1-0", "1. e4 \xE9t\xE9 1-0"), "", "move: \xE9t\xE9, plyNo:2\n"},  // Latin-1, not UTF-8
    {Tagged("1-0", "1. e4 { a comment never closed"), "", "comment not closed, plyNo:2\n"},
    {Tagged("1-0", "1. e4 (1. d4 d5"), "", "variation not closed, plyNo:2\n"},
    {Tagged("1-0", "1. e4 e5"), "", "no game-end marker before the next tags, plyNo:3\n"},
};
constexpr int UnfinishedSampleGame = 32;  // game 33 ends in "*"

std::string MoveList(const GameRecord& record) {
  std::string moves;
  for (int i = 0; i < MoveCount(record); i++) moves += Text(record.Moves[i]) + ' ';
  if (!moves.empty()) moves.pop_back();
  return moves;
}
std::vector<std::string> GamesIn(const std::string& bytes) {
  std::istringstream in(bytes);
  static GameRecord record;
  std::vector<std::string> games;
  while (ReadGameRecord(in, record)) games.push_back(MoveList(record));
  return games;
}

// Each inserted game follows sample game 3i + 2; every sample game must arrive, in pgn2game and
// through a list with Windows line ends naming also a directory and a name too long. A tool
// argument too long is refused, not cut to the name of another file.
TEST(Conversions, EveryGoodGameArrivesPastBrokenOnes) {
  std::vector<std::string> sample, clean = GamesIn(SampleRun().File("a.game")), expected;
  for (size_t at = 0, next; at < Sample.size(); at = next) {
    next = Sample.find("\n[Event", at + 1);
    next = next == std::string::npos ? Sample.size() : next + 1;
    sample.push_back(Sample.substr(at, next - at));
  }
  ASSERT_EQ(sample.size(), 38u);
  std::string pgn;
  for (size_t j = 0, record = 0; j < sample.size(); j++) {
    pgn += sample[j] + "\n";
    if (j != UnfinishedSampleGame) expected.push_back(clean[record++]);
    if (j % 3 == 1 && j / 3 < std::size(Inserted)) {
      pgn += Inserted[j / 3].pgn + "\n";
      if (!Inserted[j / 3].moves.empty()) expected.push_back(Inserted[j / 3].moves);
    }
  }
  const std::string x(300, 'x'), y(300, 'y');
  ToolRun run("pgn2game b.pgn b.game\npgnlist2game list c.game\npgn2game " + x + " g.game\n",
              {{"b.pgn", pgn}, {"list", "b.pgn\r\nsub\r\n" + y + "\r\n\r\n"}, {x.substr(0, 255), Sample}}, "mkdir sub");
  EXPECT_EQ(GamesIn(run.File("b.game")), expected);
  EXPECT_EQ(run.File("c.game"), run.File("b.game"));
  EXPECT_EQ(Count(run.out, "converted: 40 games. (skipped: 7)\nfile: b.pgn \t\tfinished\n"), 2);
  for (const InsertedGame& game : Inserted) EXPECT_TRUE(Contains(run.out, game.printed)) << game.printed;
  const std::string tooLong = "File name too long (max 255 characters accepted): '";
  EXPECT_TRUE(Contains(run.out, "Cannot open PGN input file: 'sub'\n" + tooLong + y.substr(0, 255) +
                                    "...'\n\nCONVERTED GAMES: 40\n"));
  EXPECT_TRUE(Contains(run.out, tooLong + x.substr(0, 255) + "...'\n"));
  EXPECT_EQ(run.File("g.game"), "");
}

// GAME bytes by the record layout: a little-endian header word (moves in bits 0-13, result in
// bits 14-15: 1 "0-1", 2 "1-0", 3 draw), then a little-endian word per move (to-square bits 0-5,
// from-square 6-11, kind 12-15; a8 = 0, h1 = 63): e2e4 is 52 << 6 | 36 = 0x0D24, e7e5 0x031C.
const std::string Good("\x01\x80\x24\x0D", 4);  // 1-0 after e2e4
const std::string Cut = Good + "\x02\x80\x24";    // claims 2 moves, holds half of one
const std::string TooLong = Good + std::string("\0\x84", 2) + std::string(2048, '\x01');  // 1024 moves
const std::string NoResult = Good + std::string("\x01\0\x24\x0D", 4);
const std::string Illegal("\x03\x40\x24\x0D\x24\x0D\x1C\x03", 8);  // e2e4 e2e4 e7e5
const std::string Corrupt2 = "Game file corrupted! (error on game: 2)";
struct BrokenCase { std::string bytes, command, output; };  // output ends in "quit" where no line break may follow
const BrokenCase BrokenCases[] = {
    {"", "game2pgn g.game o\n", "Converting 0 games [  0%]...OK\nconverted: 0 games.\n"},
    {Good + "\x80", "game2pgn g.game o\n", "Converting 1 games [  0%]...\b\b\b\b\b\b\b\b100%]...OK\n"},
    {Good + "\x80", "pgn2game s.pgn g.game\n", "ERROR: " + Corrupt2 + " file: s.pgn\n"},  // appending would misalign
    {NoResult, "game2pgn g.game o\n", Corrupt2 + "quit"},
    {NoResult, "pgn2game s.pgn g.game\n", "ERROR: WRONG RESULT file: s.pgn\n"},
    {Cut, "game2pos g.game o\n", Corrupt2 + "quit"},
    {Cut, "pgn2game s.pgn g.game\n", "ERROR: " + Corrupt2 + " file: s.pgn\n"},
    {TooLong, "game2pgn g.game o\n", Corrupt2 + "quit"},
    {TooLong, "pgn2game s.pgn g.game\n", "ERROR: " + Corrupt2 + " file: s.pgn\n"},
    {Illegal, "game2pos g.game o\n", "move: e2e4, plyNo:2\nERROR: MOVE NOT LEGAL 1\nconverted: 0 games.\n"},
    // game2pgn checks the stored moves as game2pos does.
    {Illegal, "game2pgn g.game o\n", "move: e2e4, plyNo:2\nERROR: MOVE NOT LEGAL 1\nconverted: 0 games.\n"},
};

TEST(Conversions, CorruptGameFilesAreReportedAndLeftAsTheyWere) {
  for (const BrokenCase& c : BrokenCases) {
    ToolRun run(c.command, {{"g.game", c.bytes}, {"s.pgn", Sample}});
    EXPECT_TRUE(Contains(run.out + "quit", c.output)) << run.out;
    EXPECT_EQ(run.File("g.game"), c.bytes);
    EXPECT_EQ(run.File("o"), Contains(c.output, "100%") ? "[Result \"1-0\"]\n1. e2e4 1-0\n" : "");
  }
}

// A GAME file cut short after it was counted (here while game2pgn waits on a pipe not yet read)
// is reported, not taken for the end of the conversion.
TEST(Conversions, AGameFileCutAfterCountingIsReported) {
  EngineProcess engine;
  std::string bytes;
  for (int i = 0; i < 20000; i++) bytes += Good;  // 28 bytes of PGN each: more than a pipe holds
  engine.WriteFile("g.game", bytes);
  std::string pipe = engine.Directory() + "out.pgn";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  engine.Start();
  engine.Send(Session("game2pgn g.game out.pgn\n"));
  ASSERT_TRUE(engine.WaitForOutput("Converting 20000 games"));
  std::filesystem::resize_file(engine.Directory() + "g.game", 40);
  char buffer[65536];
  for (pollfd fd{reader, POLLIN, 0}; poll(&fd, 1, 60000) > 0 && read(reader, buffer, sizeof buffer) > 0;) {
  }
  close(reader);
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
  EXPECT_TRUE(Contains(engine.Output(), "ERROR: Cannot read GAME input file: 'g.game' (game ")) << engine.Output();
  EXPECT_FALSE(Contains(engine.Output(), "OK\n"));
}

// An illegal move ends the conversion after whole games, and the board is the start again.
TEST(Conversions, AnErrorKeepsTheGamesBeforeItAndTheBoardClean) {
  size_t fourth = 0;
  for (int i = 0; i < 3; i++) fourth = Sample.find("[Event", fourth + 1);
  std::string bad = Sample.substr(0, fourth) + "[Result \"1-0\"]\n1. e4 e5 2. Ke3 1-0\n" + Sample;
  ToolRun run("pgn2game bad.pgn g.game\nforce\ne2e4\n", {{"bad.pgn", bad}});
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
  if (pid_t child = fork(); child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1001, 1001};
    if (chdir(directory.Directory().c_str()) != 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
    Pgn2Game("s.pgn", "g.game");
    _exit(0);
  } else {
    waitpid(child, nullptr, 0);
  }
  std::string bytes = directory.File("g.game"), rewritten;
  std::istringstream game(bytes);
  static GameRecord record;
  while (ReadGameRecord(game, record)) WriteGameRecord(rewritten, record);
  EXPECT_GT(rewritten.size(), 0u);
  EXPECT_EQ(rewritten, bytes);
}

}  // namespace

namespace {

// The stored-games index against a plain list: records that differ in one move, in their
// length only or in their result are different games; 3,000 records make the table grow
// (its slots are read again from the file) while games are appended.
TEST(StoredGames, FindsExactlyTheGamesTheFileHolds) {
  auto make = [](int seed, int length, uint16_t result) -> GameRecord& {
    static GameRecord record;
    record.Header = static_cast<uint16_t>(result | length);
    for (int i = 0; i < length; i++) record.Moves[i] = static_cast<Move>((seed * 7919 + i * 31) & 0x0FFF);
    return record;
  };
  std::stringstream file;
  std::string bytes;
  StoredGames games;
  games.Load(file);
  for (int k = 0; k < 3000; k++) {
    GameRecord& record = make(k, 1 + k % 50, ResultWhiteWins);
    ASSERT_FALSE(games.Contains(file, record)) << k;
    bytes.clear();
    WriteGameRecord(bytes, record);
    games.Add(file, record, static_cast<uint64_t>(file.tellp()));
    file.seekp(0, std::ios::end);
    file << bytes;
    ASSERT_TRUE(games.Contains(file, record)) << k;
  }
  for (int k = 0; k < 3000; k += 7) {
    EXPECT_TRUE(games.Contains(file, make(k, 1 + k % 50, ResultWhiteWins))) << k;
    EXPECT_FALSE(games.Contains(file, make(k, 1 + k % 50, ResultDraw))) << k;  // another result
    if (k % 50) {
      EXPECT_FALSE(games.Contains(file, make(k, k % 50, ResultWhiteWins))) << k;  // one move shorter
    }
  }
  StoredGames reloaded;
  reloaded.Load(file);
  EXPECT_TRUE(reloaded.Contains(file, make(2999, 2999 % 50 + 1, ResultWhiteWins)));
}

}  // namespace
