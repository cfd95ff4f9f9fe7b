// Book files written byte by byte here: the key lookup by bucket and bisection, the refusal
// of malformed and corrupt files, the once-only retry from the colour subdirectory, the choice
// of a move by the clock with the secondary book preferred, and the legality of book moves.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include "book/book.h"
#include "book_helpers.h"
#include "eval/eval.h"
#include "movegen/movegen.h"

using namespace book_test;

namespace {

const bool TablesReady = (InitTables(), InitPhaseTables(), true);
constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

constexpr uint64_t Bucket(uint64_t b) { return b << 47; }

// Both book sets empty, with nothing remembered for a retry.
void ResetBooks() {
  for (BookSet* set : {&PrimaryBook, &SecondaryBook}) {
    OpenBookSet(*set, "/nonexistent/");
    set->RememberedDirectory[0] = 0;
  }
}

// The keys of the positions after each move (coordinate text) from fen. Keys depend on the
// path (the en-passant and castling keys enter with the moves), so they are taken after the
// move is made, as the book's lookup takes them.
std::vector<uint64_t> KeysAfter(const char* fen, std::vector<const char*> moves) {
  std::vector<uint64_t> keys;
  for (const char* text : moves) {
    SetupPosition(fen);
    PlyRecord record;
    SaveBoardState(&record);
    MakeMove(ReadCoordinateMove(text), &record);
    keys.push_back(Position.PositionKey);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::string Text(Move m) {
  char text[8] = "";
  if (m) MoveToText(m, text);
  return text;
}

TEST(BookLookup, FindsKeysByBucketAndBisection) {
  TempDirectory dir;
  // Records in buckets 0 and 5 only.
  std::vector<uint64_t> keys = {0x100000000010, 0x100000000020, 0x7FFFFFFFFFFF, Bucket(5) | 0x1234,
                                Bucket(5) | 0xABCDEF0123};
  WriteBook(dir.path + "bookbtm", keys);
  WriteBook(dir.path + "bookwtm", {});
  BookSet& set = PrimaryBook;
  ASSERT_TRUE(OpenBookSet(set, dir.path.c_str()));
  BookFile& file = set.Files[Black];
  // Asked in this order: each row may rely on the record read by the one before. Reads -1:
  // any number; 0 where nothing may be read (an empty bucket, the record read just before).
  struct Row {
    uint64_t key;
    bool found;
    int reads;
  } rows[] = {
      {0x100000000010, true, -1},
      {0x100000000010, true, 0},           // the same key again
      {0x10, false, -1},                   // below every record of bucket 0
      {Bucket(3) | 0x1234, false, 0},      // an empty bucket
      {Bucket(5) | 0x1234, true, -1},
      {Bucket(6) | 0x1234, false, 0},      // the stored bits of the record just read, another bucket
      {Bucket(5) | 0x1235, false, -1},
      {0x7FFFFFFFFFFF, true, -1},          // the highest key of bucket 0
      {Bucket(131071) | 0x7FFFFFFFFFFF, false, 0},
      {Bucket(5) | 0xABCDEF0123, true, -1},
  };
  for (const Row& row : rows) {
    uint64_t before = file.Reads;
    EXPECT_EQ(BookContains(file, row.key), row.found) << std::hex << row.key;
    if (row.reads >= 0) {
      EXPECT_EQ(file.Reads - before, uint64_t(row.reads)) << std::hex << row.key;
    }
  }
  EXPECT_FALSE(BookContains(set.Files[White], keys[0]));
  ResetBooks();
}

TEST(BookLookup, RefusesMalformedAndCorruptFiles) {
  std::vector<uint64_t> two = {0x10, Bucket(9) | 0x20};
  std::vector<uint32_t> decreasing = IndexOf(two), pastEnd = IndexOf(two);
  decreasing[4] = 2;  // entry 4 above entry 5 (1)
  pastEnd[131071] = 3;
  struct Row {
    const char* what;
    std::function<void(const std::string&)> write;
    std::string message;  // after the directory
  } rows[] = {
      {"no files", [](const std::string&) {}, "Cannot load file: '@bookbtm.mbx'\n"},
      {"index of 524287 bytes", [&](const std::string& d) {
         WriteBook(d + "bookbtm", two);
         std::filesystem::resize_file(d + "bookbtm.mbx", 524287);
       }, "Wrong file format '@bookbtm.mbx'.\n"},
      {"index of 524289 bytes", [&](const std::string& d) {
         WriteBook(d + "bookbtm", two);
         std::filesystem::resize_file(d + "bookbtm.mbx", 524289);
       }, "Wrong file format '@bookbtm.mbx'.\n"},
      {"data file missing", [&](const std::string& d) {
         WriteBook(d + "bookbtm", two);
         std::filesystem::remove(d + "bookbtm.mbk");
       }, "Cannot open file: '@bookbtm.mbk'\n"},
      {"data ends inside a record", [&](const std::string& d) {
         WriteBook(d + "bookbtm", two);
         std::filesystem::resize_file(d + "bookbtm.mbk", 11);
       }, "Wrong file format '@bookbtm.mbk'.\n"},
      {"index decreases", [&](const std::string& d) { WriteBook(d + "bookbtm", two, decreasing); },
       "Wrong file format '@bookbtm.mbx'.\n"},
      {"index past the records", [&](const std::string& d) { WriteBook(d + "bookbtm", two, pastEnd); },
       "Wrong file format '@bookbtm.mbx'.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDirectory dir;
    row.write(dir.path);
    ResetBooks();
    EXPECT_FALSE(OpenBookSet(PrimaryBook, dir.path.c_str()));
    std::string expected = row.message;
    expected.replace(expected.find('@'), 1, dir.path);
    EXPECT_EQ(PrimaryBook.Message, expected);
    EXPECT_EQ(PrimaryBook.RememberedDirectory, dir.path);
    for (BookFile& file : PrimaryBook.Files) {
      EXPECT_EQ(file.RecordCount, 0u);
      for (uint64_t key : two) EXPECT_FALSE(BookContains(file, key));
    }
  }
  std::string longPath(256, 'b');
  EXPECT_FALSE(OpenBookSet(PrimaryBook, longPath.c_str()));
  EXPECT_STREQ(PrimaryBook.Message, "Book path is too long (max 255 characters accepted).");
  ResetBooks();
}

TEST(BookLookup, OpeningASetAgainClosesWhatItHeld) {
  TempDirectory good, broken;
  WriteBook(good.path + "bookbtm", {0x10});
  WriteBook(good.path + "bookwtm", {0x20});
  WriteBook(broken.path + "bookwtm", {0x20});  // and no bookbtm
  auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  ResetBooks();
  ASSERT_TRUE(OpenBookSet(PrimaryBook, good.path.c_str()));
  auto opened = openFiles();
  for (int i = 0; i < 5; i++) ASSERT_TRUE(OpenBookSet(PrimaryBook, good.path.c_str()));
  EXPECT_EQ(openFiles(), opened);
  EXPECT_FALSE(OpenBookSet(PrimaryBook, broken.path.c_str()));
  EXPECT_EQ(openFiles(), opened - 2);
  EXPECT_FALSE(BookContains(PrimaryBook.Files[White], 0x20));
  ResetBooks();
}

TEST(BookMove, RetriesFromTheColourSubdirectoryOnceOnly) {
  // Columns: the side to move after the moves played, the subdirectory the retry opens, the
  // book's position, and whether that book exists before the first probe.
  struct Row {
    const char* moves;  // played from the start position
    const char* subdirectory;
    const char* bookMove;
    bool bookAtFirstProbe;
  } rows[] = {
      {"", "mw/", "e2e4", true},
      {"e2e4", "mb/", "e7e5", true},
      {"", "mw/", "e2e4", false},  // put there after the first probe: never read
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.moves) + " " + row.subdirectory);
    TempDirectory dir;
    ResetBooks();
    EXPECT_FALSE(OpenBookSet(PrimaryBook, dir.path.c_str()));
    SetupPosition(StartFen);
    if (*row.moves) MakeRealMove(ReadCoordinateMove(row.moves));
    char fen[128];
    WriteFen(fen);
    std::vector<uint64_t> keys = KeysAfter(fen, {row.bookMove});
    SetupPosition(fen);
    std::string base = dir.path + row.subdirectory + "book";
    auto writeBooks = [&] {
      WriteBook(base + (Position.SideToMove == White ? "btm" : "wtm"), keys);
      WriteBook(base + (Position.SideToMove == White ? "wtm" : "btm"), {});
    };
    if (row.bookAtFirstProbe) writeBooks();
    std::string expected = row.bookAtFirstProbe ? row.bookMove : "";
    EXPECT_EQ(Text(ChooseBookMove(0)), expected);
    writeBooks();
    EXPECT_EQ(Text(ChooseBookMove(0)), expected);
  }
  ResetBooks();
}

TEST(BookMove, TheClockPicksAmongTheSecondaryBooksMovesFirst) {
  TempDirectory primary, secondary;
  WriteBook(primary.path + "bookbtm", KeysAfter(StartFen, {"c2c4"}));
  WriteBook(primary.path + "bookwtm", {});
  WriteBook(secondary.path + "bookbtm", KeysAfter(StartFen, {"g1f3", "e2e4", "d2d4"}));
  WriteBook(secondary.path + "bookwtm", {});
  ResetBooks();
  ASSERT_TRUE(OpenBookSet(PrimaryBook, primary.path.c_str()));
  ASSERT_TRUE(OpenBookSet(SecondaryBook, secondary.path.c_str()));
  // The candidates come in the reverse of the generator's order.
  SetupPosition(StartFen);
  MoveEntry list[256];
  std::vector<std::string> candidates;
  for (MoveEntry* e = GenerateMoves(list); e-- > list;)
    if (Text(e->Move) == "g1f3" || Text(e->Move) == "e2e4" || Text(e->Move) == "d2d4") candidates.push_back(Text(e->Move));
  ASSERT_EQ(candidates.size(), 3u);
  for (int64_t clock : {0, 1, 2, 5, 1000001})
    EXPECT_EQ(Text(ChooseBookMove(clock)), candidates[clock % 3]) << clock;
  EXPECT_EQ(candidates[1000001 % 3], candidates[2]);

  // Without secondary moves for this side the primary book answers; without the primary
  // book there is no book move at all.
  SetupPosition(StartFen);
  WriteBook(secondary.path + "bookbtm", {});
  ASSERT_TRUE(OpenBookSet(SecondaryBook, secondary.path.c_str()));
  EXPECT_EQ(Text(ChooseBookMove(1000001)), "c2c4");
  ResetBooks();
  ASSERT_TRUE(OpenBookSet(SecondaryBook, primary.path.c_str()));
  SetupPosition(StartFen);
  EXPECT_EQ(ChooseBookMove(7), 0);
  ResetBooks();
}

TEST(BookMove, OnlyLegalMovesAreBookMoves) {
  // The knight on e2 is pinned: a book knowing the position after Nc3 offers no move, and
  // with Kd1 beside it only Kd1.
  const char* pinned = "4k3/4r3/8/8/8/8/4N3/4K3 w - -";
  struct Row {
    std::vector<uint64_t> keys;
    const char* expected;
  } rows[] = {{KeysAfter(pinned, {"e2c3"}), ""}, {KeysAfter(pinned, {"e2c3", "e1d1"}), "e1d1"}};
  for (const Row& row : rows) {
    TempDirectory dir;
    WriteBook(dir.path + "bookbtm", row.keys);
    WriteBook(dir.path + "bookwtm", {});
    ResetBooks();
    ASSERT_TRUE(OpenBookSet(PrimaryBook, dir.path.c_str()));
    SetupPosition(pinned);
    for (int64_t clock : {0, 1}) EXPECT_EQ(Text(ChooseBookMove(clock)), row.expected);
  }
  ResetBooks();
}

}  // namespace
