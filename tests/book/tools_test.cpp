// The book's tool commands and the book in play, through the real binary: dbcreate on POS
// files written here, bookcreate and dbshow/dbshowlin on databases written byte by byte, the
// start-up messages, and book moves in a game.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "../support/engine_process.h"
#include "book_helpers.h"
#include "eval/eval.h"

using namespace book_test;

namespace {

const bool TablesReady = (InitTables(), InitPhaseTables(), true);
constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
constexpr const char* AfterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3";

std::string Session(const std::string& commands) { return std::string(XboardHandshake) + commands + "quit\n"; }
bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The output after the start-up lines.
std::string AfterStartup(const std::string& out) {
  size_t at = out.find("EGBB ERROR");
  return out.substr(out.find('\n', at) + 1);
}

std::string PosLine(uint64_t key, const char* fen, char result, int ply) {
  char line[256];
  std::snprintf(line, sizeof line, "%016llX\t%s\t%c\t%d\n", static_cast<unsigned long long>(key), fen, result, ply);
  return line;
}

// The key of the position after the moves (coordinate texts) from fen, made as the engine
// makes them (keys depend on the path).
uint64_t KeyAfter(const char* fen, std::vector<const char*> moves) {
  static PlyRecord records[8];
  SetupPosition(fen);
  for (size_t i = 0; i < moves.size(); i++) {
    SaveBoardState(&records[i]);
    MakeMove(ReadCoordinateMove(moves[i]), &records[i]);
    RootCastleRights = Position.CastleRights;
    std::memcpy(RootBoard, Position.Board, 64);
  }
  return Position.PositionKey;
}

// A database record: key, a placement of zeros, flags, ply, and the three counts.
std::vector<uint8_t> DbBytes(uint64_t key, int ply, uint32_t white, uint32_t black, uint32_t draws) {
  std::vector<uint8_t> bytes;
  Put(bytes, key, 8);
  bytes.resize(40);
  bytes.push_back(0);
  bytes.push_back(static_cast<uint8_t>(ply));
  for (uint32_t count : {white, black, draws}) Put(bytes, count, 4);
  return bytes;
}

std::vector<uint8_t> Join(std::vector<std::vector<uint8_t>> records) {
  std::vector<uint8_t> all;
  for (auto& r : records) all.insert(all.end(), r.begin(), r.end());
  return all;
}

TEST(DbCreate, MergesOnePositionsLinesAndPacksItsFen) {
  EngineProcess engine;
  uint64_t key = 0x0123456789ABCDEF;
  // Packed by hand: a code per piece (B4 K5 N6 P7 Q8 R9, b10 k11 n12 p13 q14 r15), runs of
  // empty squares as 3 (four) then 0-3 (one to four), the rest of the 64 codes 15.
  std::string placement = "FCAEBACFDDDDDDDD3333372337777077796485469";
  placement.resize(64, 'F');
  engine.WriteFile("in.pos", PosLine(key, AfterE4, 'W', 5) + PosLine(key, AfterE4, 'D', 3) +
                                 PosLine(key, AfterE4, 'B', 9) + PosLine(key + 1, StartFen, 'W', 1));
  engine.Start();
  engine.Send(Session("dbcreate in.pos t\n"));
  engine.Finish();
  EXPECT_EQ(AfterStartup(engine.Output()),
            "creating new database 't_black.db':  0%\b\b\b\b100%\b\b\b\b100%... done.\n"
            "creating new database 't_white.db':  0%\b\b\b\b100%\b\b\b\b100%... done.\n"
            "created.\n");
  std::vector<uint8_t> black = ReadBytes(engine.Directory() + "/t_black.db");
  ASSERT_EQ(black.size(), 54u);
  EXPECT_EQ(Get(black, 0, 8), key);
  char packed[65] = "";
  for (int i = 0; i < 32; i++) std::snprintf(packed + 2 * i, 3, "%02X", black[8 + i]);
  EXPECT_EQ(packed, placement);
  EXPECT_EQ(black[40], 0x78 | 4);  // black to move, KQkq, en-passant file e
  EXPECT_EQ(black[41], 0x80 | 3);  // en-passant square given, first seen at ply 3
  EXPECT_EQ(Get(black, 42, 4), 1u);
  EXPECT_EQ(Get(black, 46, 4), 1u);
  EXPECT_EQ(Get(black, 50, 4), 1u);
  std::vector<uint8_t> white = ReadBytes(engine.Directory() + "/t_white.db");
  ASSERT_EQ(white.size(), 54u);
  EXPECT_EQ(Get(white, 0, 8), key + 1);
  EXPECT_EQ(white[40], 0xF8);
  EXPECT_EQ(white[41], 1);
}

TEST(DbCreate, ReportsBadInputAndKeepsOneRecordPerKey) {
  std::string x = PosLine(3, AfterE4, 'X', 2);
  std::string unsorted = PosLine(9, AfterE4, 'W', 2);
  struct Row {
    std::string input;
    const char* command;
    std::string expected;        // output after start-up
    std::vector<uint64_t> keys;  // of t_black.db, when built
    int firstPly = -1;           // of its first record
  } rows[] = {
      // The line count of the message counts the lines of black to move only.
      {PosLine(1, StartFen, 'W', 1) + PosLine(2, AfterE4, 'W', 2) + x + PosLine(4, AfterE4, 'B', 2), "in.pos t",
       "creating new database 't_black.db':  0%\nparse error skipped line: 2\n" + x +
           "\b\b\b\b100%\b\b\b\b100%... done.\n",
       {2, 4}},
      // The pending record is still written, after two of the three lines were read.
      {PosLine(10, AfterE4, 'W', 2) + unsorted + PosLine(11, AfterE4, 'W', 2), "in.pos t",
       "creating new database 't_black.db':  0%\b\b\b\b 66%ERROR: input file with positions not sorted by hash!\n" +
           unsorted + "\n",
       {10}},
      // Two positions of one key: the later one stays.
      {PosLine(5, AfterE4, 'W', 2) + PosLine(5, StartFen, 'W', 2) + PosLine(5, "8/8/8/8/8/8/8/k6K b - -", 'D', 7),
       "in.pos t", "", {5}, 7},
      {"", "missing.pos t", "Cannot open file statistics: missing.pos\n\n", {}},
      {"", "in.pos nodir/t", "Cannot create file: 'nodir/t_black.db'\n\n", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    EngineProcess engine;
    engine.WriteFile("in.pos", row.input);
    engine.Start();
    engine.Send(Session(std::string("dbcreate ") + row.command + "\n"));
    engine.Finish();
    std::string out = AfterStartup(engine.Output());
    if (!row.expected.empty()) {
      EXPECT_EQ(out.substr(0, row.expected.size()), row.expected);
    }
    std::vector<uint8_t> black = ReadBytes(engine.Directory() + "/t_black.db");
    ASSERT_EQ(black.size(), 54 * row.keys.size());
    for (size_t i = 0; i < row.keys.size(); i++) EXPECT_EQ(Get(black, 54 * i, 8), row.keys[i]);
    if (row.firstPly >= 0) {
      EXPECT_EQ(black[41], row.firstPly);
    }
  }
}

TEST(BookCreate, KeepsEarlyPositionsThatScoredForTheMoverAndIndexesThem) {
  EngineProcess engine;
  uint64_t b5 = uint64_t(5) << 47;
  // Black to move (after a white move): kept above 0.5 for white and by ply 41.
  std::vector<uint8_t> black = Join({DbBytes(0x10, 20, 3, 1, 0), DbBytes(0x20, 42, 3, 1, 0),
                                     DbBytes(b5 | 1, 3, 1, 1, 1), DbBytes(b5 | 2, 10, 2, 0, 1),
                                     DbBytes(b5 | 0x7FFF00000003, 41, 1, 0, 1)});
  // White to move (after a black move): kept below 0.5.
  std::vector<uint8_t> white = Join({DbBytes(0x30, 2, 0, 1, 0), DbBytes(0x40, 2, 1, 0, 0)});
  WriteBytes(engine.Directory() + "/black.db", black);
  WriteBytes(engine.Directory() + "/white.db", white);
  engine.Start();
  engine.Send(Session("bookcreate\n"));
  engine.Finish();
  // Scores over every record: (10 + 3 / 2) / 16 and (1 + 0) / 2.
  EXPECT_EQ(AfterStartup(engine.Output()),
            "Generating bookbtm...\nbookbtm: 0.718750\nGenerating bookwtm...\nbookwtm: 0.500000\ncreated.\n");
  std::vector<uint8_t> data = ReadBytes(engine.Directory() + "/bookbtm.mbk");
  std::vector<uint8_t> index = ReadBytes(engine.Directory() + "/bookbtm.mbx");
  ASSERT_EQ(data.size(), 18u);
  ASSERT_EQ(index.size(), 524288u);
  EXPECT_EQ(Get(data, 0, 6), 0x10u);
  EXPECT_EQ(Get(data, 6, 6), 2u);
  EXPECT_EQ(Get(data, 12, 6), 0x7FFF00000003u);
  for (int b : {0, 1, 4}) EXPECT_EQ(Get(index, 4 * b, 4), 1u) << b;
  for (int b : {5, 6, 131071}) EXPECT_EQ(Get(index, 4 * b, 4), 3u) << b;
  EXPECT_EQ(ReadBytes(engine.Directory() + "/bookwtm.mbk"), std::vector<uint8_t>({0x30, 0, 0, 0, 0, 0}));

  // In a fresh directory the databases are made empty, and so are the books.
  EngineRun fresh = RunEngine(Session("bookcreate\n"));
  EXPECT_EQ(AfterStartup(fresh.out),
            "Generating bookbtm...\nbookbtm: 0.500000\nGenerating bookwtm...\nbookwtm: 0.500000\ncreated.\n");
}

TEST(DbShow, FindsTheCurrentPositionByBisectionAndByScan) {
  uint64_t start = KeyAfter(StartFen, {});
  std::vector<uint8_t> white = Join({DbBytes(0, 1, 1, 0, 0), DbBytes(start, 1, 5, 2, 3), DbBytes(~0ull, 1, 1, 1, 1)});
  struct Row {
    const char* commands;
    std::string expected;  // the end of the output
  } rows[] = {
      {"dbshow\n", "\nw: 5, b: 2, d: 3, score: 0.650000\n"},
      {"dbshowlin\n", "\nSort ERROR: current: 0, prev: 0\nw: 5, b: 2, d: 3, score: 0.650000\n"},
      {"force\ne2e4\ne7e5\ndbshow\n", "\nrecord not found.\n"},
      {"force\ne2e4\ne7e5\ndbshowlin\n", "\nSort ERROR: current: 0, prev: 0\nrecord not found.\n"},
      {"force\ne2e4\ndbshow\n", "\nrecord not found.\n"},  // black to move: black.db, empty
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.commands);
    EngineProcess engine;
    WriteBytes(engine.Directory() + "/white.db", white);
    engine.Start();
    engine.Send(Session(row.commands));
    engine.Finish();
    const std::string& out = engine.Output();
    ASSERT_GE(out.size(), row.expected.size());
    EXPECT_EQ(out.substr(out.size() - row.expected.size()), row.expected);
    EXPECT_TRUE(Contains(out, "8 r n b q k b n r"));
  }
}

// Books for the game tests: the positions after the given moves from fen.
void WriteGameBook(EngineProcess& engine, const char* fen, std::vector<std::vector<const char*>> lines) {
  std::vector<uint64_t> keys[2];
  for (auto& line : lines) {
    uint64_t key = KeyAfter(fen, line);
    keys[Position.SideToMove].push_back(key);
  }
  for (auto& k : keys) std::sort(k.begin(), k.end());
  WriteBook(engine.Directory() + "/book/bookbtm", keys[Black]);
  WriteBook(engine.Directory() + "/book/bookwtm", keys[White]);
}

TEST(BookInPlay, StartupReportsBooksThatCannotBeUsed) {
  EngineProcess engine;
  WriteGameBook(engine, StartFen, {{"e2e4"}});
  std::filesystem::resize_file(engine.Directory() + "/book/bookwtm.mbx", 524289);
  engine.WriteFile("Tirvex.ini", "BOOK_PATH= book \n");
  engine.Start();
  engine.Send(Session(""));
  engine.Finish();
  EXPECT_TRUE(Contains(engine.Output(), "feature done=1\nBOOK ERROR: Wrong file format 'book/bookwtm.mbx'.\n\n"));
  EXPECT_TRUE(Contains(engine.Log(), "BOOK ERROR: Wrong file format 'book/bookwtm.mbx'.\n"));
  EngineRun missing = RunEngine(Session(""), "BOOK_PATH=/tmp\n");
  EXPECT_TRUE(Contains(missing.out, "BOOK ERROR: Cannot load file: '/tmp/bookbtm.mbx'\n\n"));
}

TEST(BookInPlay, PlaysFromTheBookThenSearches) {
  // Playing white from the start, the book has 1.e4 and, after 1...e5, nothing (it knows
  // 2.Nf3 only after 1...c5). With the knight on e2 pinned, a book that knows only the
  // position after Nc3 has no legal move: the engine searches.
  const char* pinned = "4k3/4r3/8/8/8/8/4N3/4K3 w - -";
  struct Row {
    const char* fen;
    std::vector<std::vector<const char*>> lines;
    const char* firstMove;  // empty: no book move
  } rows[] = {
      {StartFen, {{"e2e4"}, {"e2e4", "c7c5", "g1f3"}}, "e2e4"},
      {pinned, {{"e2c3"}}, ""},
  };
  for (const Row& row : rows) {
    EngineProcess engine;
    WriteGameBook(engine, row.fen, row.lines);
    engine.WriteFile("Tirvex.ini", "BOOK_PATH=book\n");
    engine.Start();
    engine.Send(std::string(XboardHandshake) + "setboard " + row.fen + "\nlevel 0 1 0\ntime 100\notim 100\nbookshow\ngo\n");
    ASSERT_TRUE(engine.WaitForOutput("move "));
    // The log's line follows the move sent: waited for when a book move is expected.
    if (*row.firstMove) {
      EXPECT_TRUE(engine.WaitForLog(std::string("move (book) ") + row.firstMove));
    }
    std::string log = engine.Log();
    EXPECT_EQ(Contains(log, "move (book) "), *row.firstMove != 0);
    EXPECT_FALSE(Contains(engine.Output(), "Illegal"));
    if (*row.firstMove) {
      EXPECT_TRUE(Contains(engine.Output(), "NO\n2: NO\nmove e2e4\n"));
      engine.Send("force\nbookshow\ne7e5\ngo\n");
      ASSERT_TRUE(engine.WaitForLog("start engine"));
      EXPECT_TRUE(Contains(engine.Output(), "YES\n2: NO\n"));
    } else {
      EXPECT_TRUE(Contains(log, "bookMove 0\nstart engine"));
    }
    engine.Send("quit\n");
    EXPECT_EQ(engine.Finish(), 0);
  }
}

}  // namespace
