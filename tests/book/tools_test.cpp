// Through the real binary: dbcreate on POS files, bookcreate and dbshow/dbshowlin on databases
// written byte by byte, the start-up message of a corrupt book, and book moves in a game.
#include <gtest/gtest.h>
#include "book_helpers.h"

using namespace book_test;

namespace {

// What the commands printed after the handshake.
std::string Printed(const EngineRun& run) { return AfterHandshake(run.out); }

TEST(DbCreate, MergesOnePositionsLinesAndPacksItsFen) {
  uint64_t key = 0x0123456789ABCDEF;
  ToolRun run("dbcreate in.pos t\n", {{"in.pos", PosLine(key, AfterE4, 'W', 5) + PosLine(key, AfterE4, 'D', 3) +
                                                     PosLine(key, AfterE4, 'B', 9) + PosLine(key + 1, InitialFen, 'W', 1)}});
  EXPECT_EQ(Printed(run),
            "creating new database 't_black.db':  0%\b\b\b\b100%\b\b\b\b100%... done.\n"
            "creating new database 't_white.db':  0%\b\b\b\b100%\b\b\b\b100%... done.\ncreated.\n");
  std::string black = run.File("t_black.db"), white = run.File("t_white.db");
  ASSERT_EQ(black.size(), 54u);
  ASSERT_EQ(white.size(), 54u);
  EXPECT_EQ(Get(black, 0, 8), key);
  // Packed by hand: B4 K5 N6 P7 Q8 R9, b10 k11 n12 p13 q14 r15; runs of empty squares as a 3
  // (four) and then 0-3 (one to four); the rest of the 64 codes 15.
  std::string expected = "FCAEBACFDDDDDDDD3333372337777077796485469", packed;
  expected.resize(64, 'F');
  char hex[3];
  for (int i = 8; i < 40; i++) std::snprintf(hex, sizeof hex, "%02X", unsigned(Get(black, i, 1))), packed += hex;
  EXPECT_EQ(packed, expected);
  EXPECT_EQ(Get(black, 40, 1), 0x78u | 4);  // black to move, KQkq, en-passant file e
  EXPECT_EQ(Get(black, 41, 1), 0x80u | 3);  // an en-passant square, first seen at ply 3
  for (int at : {42, 46, 50}) EXPECT_EQ(Get(black, at, 4), 1u);  // one win each, one draw
  EXPECT_EQ(Get(white, 0, 8), key + 1);
  EXPECT_EQ(Get(white, 40, 2), 0x01F8u);  // white to move, KQkq, no en-passant square; ply 1
}

TEST(DbCreate, ReportsBadInputAndKeepsOneRecordPerKey) {
  std::string x = PosLine(3, AfterE4, 'X', 2), unsorted = PosLine(9, AfterE4, 'W', 2);
  std::string header = "creating new database 't_black.db':  0%", done = "\b\b\b\b100%\b\b\b\b100%... done.\n";
  std::string nul = PosLine(2, AfterE4, 'W', 2).insert(20, 1, '\0'), overLong = PosLine(2, AfterE4, 'W', 2);
  overLong.insert(17, std::string(200, ' '));
  // What the output starts with and ends with, and the keys of the black-to-move database
  // written ({} where none may be: a failure leaves no database).
  struct { std::string input, command, output, end; std::vector<uint64_t> keys; int lastPly; } rows[] = {
      // A line that is no POS line is reported with its number in the file, once, and counted;
      // the lines after it are read (a NUL once took the next line with it, a bad key became 0).
      {PosLine(1, InitialFen, 'W', 1) + PosLine(2, AfterE4, 'W', 2) + x + PosLine(4, AfterE4, 'B', 2), "in.pos t",
       header + "\nparse error skipped line: 3 (no result)\n" + x + done, "skipped lines: 1\ncreated.\n", {2, 4}, 2},
      {nul + PosLine(4, AfterE4, 'B', 2), "in.pos t", header + "\nparse error skipped line: 1 (a NUL character)\n",
       "skipped lines: 1\ncreated.\n", {4}, 2},
      {"ZZZZZZZZZZZZZZZZ" + x.substr(16) + overLong + PosLine(5, AfterE4, 'B', 3), "in.pos t",
       header + "\nparse error skipped line: 1 (no key)\n", "skipped lines: 2\ncreated.\n", {5}, 3},
      // Out of order: no database at all.
      {PosLine(10, AfterE4, 'W', 2) + unsorted + PosLine(11, AfterE4, 'W', 2), "in.pos t",
       header + "\b\b\b\b 66%ERROR: input file with positions not sorted by hash!\n" + unsorted + "\n", "\n", {}, 0},
      // Two positions of one key: the later stays.
      {PosLine(5, AfterE4, 'W', 2) + PosLine(5, "8/8/8/8/8/8/8/k6K b - -", 'D', 7), "in.pos t", "", "created.\n", {5}, 7},
      {"", "missing.pos t", "Cannot open file statistics: missing.pos\n\n", "", {}, 0},
      {"", "in.pos nodir/t", "Cannot create file: 'nodir/t_black.db'\n\n", "", {}, 0}};
  for (const auto& row : rows) {
    ToolRun run("dbcreate " + row.command + "\n", {{"in.pos", row.input}});
    std::string out = Printed(run);
    EXPECT_EQ(out.substr(0, row.output.size()), row.output);
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), row.end.size())), row.end) << out;
    std::string black = run.File("t_black.db");
    ASSERT_EQ(black.size(), 54 * row.keys.size()) << row.input;
    for (size_t i = 0; i < row.keys.size(); i++) EXPECT_EQ(Get(black, 54 * i, 8), row.keys[i]);
    if (!black.empty()) {
      EXPECT_EQ(Get(black, black.size() - 13, 1) & 0x7F, uint64_t(row.lastPly)) << row.input;
    }
  }
}

TEST(BookCreate, KeepsEarlyPositionsThatScoredForTheMoverAndIndexesThem) {
  uint64_t b5 = uint64_t(5) << 47;
  // Black to move (after a white move) is kept above 0.5 for white, white to move below; by ply 41.
  ToolRun run("bookcreate\n", {{"black.db", DbRecords({{0x10, 20, 3, 1, 0}, {0x20, 42, 3, 1, 0}, {b5 | 1, 3, 1, 1, 1},
                                                       {b5 | 2, 10, 2, 0, 1}, {b5 | 0x7FFF00000003, 41, 1, 0, 1}})},
                               {"white.db", DbRecords({{0x30, 2, 0, 1, 0}, {0x40, 2, 1, 0, 0}})}});
  // Scores over all records: (10 + 3 / 2) / 16 and 1 / 2.
  EXPECT_EQ(Printed(run), "Generating bookbtm...\nbookbtm: 0.718750\nGenerating bookwtm...\nbookwtm: 0.500000\ncreated.\n");
  EXPECT_EQ(run.File("bookbtm.mbk"), BookData({0x10, b5 | 2, b5 | 0x7FFF00000003}));
  std::string index = run.File("bookbtm.mbx");
  ASSERT_EQ(index.size(), 524288u);
  for (int b : {0, 1, 4, 5, 131071}) EXPECT_EQ(Get(index, 4 * b, 4), b < 5 ? 1u : 3u) << b;
  EXPECT_EQ(run.File("bookwtm.mbk"), BookData({0x30}));
  // The databases are made empty, and so are the books.
  EXPECT_EQ(Printed(ToolRun("bookcreate\n")),
            "Generating bookbtm...\nbookbtm: 0.500000\nGenerating bookwtm...\nbookwtm: 0.500000\ncreated.\n");
}

// A database out of key order (bisection would miss its records), not a whole number of
// records, or a directory is reported and not used: no book is made, no record looked up.
TEST(Databases, OutOfOrderOrNotADatabaseIsReportedNotUsed) {
  std::string shuffled = DbRecords({{0x40, 1, 1, 0, 0}, {0x30, 1, 1, 0, 0}});
  struct { std::string white, prepare, command, message; } rows[] = {
      {shuffled, "", "bookcreate", "ERROR: database not sorted by key: white.db\n"},
      {shuffled, "", "dbshow", "ERROR: database not sorted by key: white.db\n"},
      {shuffled.substr(0, 80), "", "bookcreate", "Wrong file format: white.db (not a whole number of records)\n"},
      {"", "rm white.db && mkdir white.db", "bookcreate", "Cannot open file: white.db\n"}};
  for (const auto& row : rows) {
    ToolRun run(row.command + "\n", {{"white.db", row.white}, {"bookwtm.mbk", "old"}}, row.prepare);
    EXPECT_TRUE(Contains(Printed(run), row.message)) << Printed(run);
    EXPECT_FALSE(Contains(run.out, "created.") || Contains(run.out, "record not found")) << row.message;
    EXPECT_EQ(run.File("bookwtm.mbk"), "old");
  }
}

TEST(DbShow, FindsTheCurrentPositionByBisectionAndByScan) {
  std::string white = DbRecords({{0, 1, 1, 0, 0}, {KeyAfter(InitialFen, ""), 1, 5, 2, 3}, {~0ull, 1, 1, 1, 1}});
  std::string found = "\nw: 5, b: 2, d: 3, score: 0.650000\n", sortError = "\nSort ERROR: current: 0, prev: 0";
  struct { std::string commands, end; } rows[] = {
      {"dbshow\n", found}, {"dbshowlin\n", sortError + found},
      {"force\ne2e4\ne7e5\ndbshow\n", "\nrecord not found.\n"},
      {"force\ne2e4\ne7e5\ndbshowlin\n", sortError + "\nrecord not found.\n"},
      {"force\ne2e4\ndbshow\n", "\nrecord not found.\n"}};  // black to move: black.db, made empty
  for (const auto& row : rows) {
    std::string out = Printed(ToolRun(row.commands, {{"white.db", white}}));
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), row.end.size())), row.end) << row.commands;
    EXPECT_TRUE(Contains(out, "8 r n b q k b n r"));
  }
}

TEST(BookInPlay, PlaysFromTheBookThenSearches) {
  // The book plays 1.e4, and after 1...e5 has nothing (2.Nf3 only after 1...c5). With the
  // knight on e2 pinned, a book with only the position after Nc3 has no legal move.
  const char* pinned = "4k3/4r3/8/8/8/8/4N3/4K3 w - -";
  struct { const char* fen; std::vector<const char*> lines; const char* move; } rows[] = {
      {InitialFen, {"e2e4", "e2e4 c7c5 g1f3"}, "e2e4"}, {pinned, {"e2c3"}, ""}};
  for (const auto& row : rows) {
    EngineProcess engine;
    std::vector<uint64_t> keys;
    for (const char* line : row.lines) keys.push_back(KeyAfter(row.fen, line));
    WriteBook(engine.Directory() + "book/bookbtm", keys);
    WriteBook(engine.Directory() + "book/bookwtm", {});
    engine.WriteFile("Tirvex.ini", "BOOK_PATH=book\n");
    engine.Start();
    engine.Send(Session(std::string("setboard ") + row.fen + "\nlevel 0 1 0\ntime 100\notim 100\nbookshow\ngo\n"));
    ASSERT_TRUE(engine.WaitForOutput("move "));
    if (*row.move) {
      EXPECT_TRUE(engine.WaitForLog(std::string("move (book) ") + row.move));
      EXPECT_TRUE(Contains(engine.Output(), "NO\n2: NO\nmove e2e4\n"));
      engine.Send("force\nbookshow\ne7e5\ngo\n");
      EXPECT_TRUE(engine.WaitForLog("bookMove 0\nstart engine"));
      EXPECT_TRUE(engine.WaitForOutput("YES\n2: NO\n"));
    } else {
      EXPECT_TRUE(Contains(engine.Log(), "bookMove 0\nstart engine"));
    }
    EXPECT_FALSE(Contains(engine.Output(), "Illegal"));
    EXPECT_EQ(engine.Finish(), 0);
  }
  // A book that cannot be used is reported at start-up.
  EngineProcess engine;
  WriteBook(engine.Directory() + "book/bookbtm", {});
  engine.WriteFile("Tirvex.ini", "BOOK_PATH= book \n");
  EngineRun run = RunEngine(engine, Session("quit\n"));
  EXPECT_EQ(Printed(run), "");
  EXPECT_TRUE(Contains(run.out, "BOOK ERROR: Cannot load file: 'book/bookwtm.mbx'\nEGBB ERROR"));
}

// Each file pair of a book is opened on its own: start-up names every pair that cannot be used
// and the engine plays from the others.
TEST(BookInPlay, UsesEveryUsableFilePairAndNamesTheOthers) {
  struct { const char *broken, *commands, *errors, *move; } rows[] = {
      {"bookbtm.mbx", "force\ne2e4\ngo\n", "BOOK ERROR: Wrong file format 'book/bookbtm.mbx'.\nEGBB", "e7e5"},
      {"bookwtm.mbk", "go\n", "BOOK ERROR: Wrong file format 'book/bookwtm.mbk'.\nEGBB", "e2e4"},
      {"", "go\n", "BOOK ERROR: Cannot load file: 'book/bookbtm.mbx'\nBOOK ERROR: Cannot load file: 'book/bookwtm.mbx'\n", ""}};
  for (const auto& row : rows) {
    EngineProcess engine;
    WriteBook(engine.Directory() + "book/bookbtm", {KeyAfter(InitialFen, "e2e4")});
    WriteBook(engine.Directory() + "book/bookwtm", {KeyAfter(InitialFen, "e2e4 e7e5")});
    if (*row.broken) std::filesystem::resize_file(engine.Directory() + "book/" + row.broken, 7);
    else std::filesystem::remove_all(engine.Directory() + "book");
    engine.WriteFile("Tirvex.ini", "BOOK_PATH=book\n");
    EngineRun run = RunEngine(engine, Session(std::string("level 0 1 0\ntime 100\notim 100\n") + row.commands));
    EXPECT_TRUE(Contains(run.out, row.errors)) << run.out;
    EXPECT_TRUE(Contains(run.log, *row.move ? std::string("move (book) ") + row.move : "bookMove 0")) << row.errors;
  }
}

}  // namespace
