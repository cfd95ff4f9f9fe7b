// Book files written byte by byte here: lookup by bucket and bisection, refusal of malformed
// and corrupt files, the once-only retry, and the clock's choice with the second book preferred.
#include <gtest/gtest.h>
#include <functional>
#include "book/book.h"
#include "book_helpers.h"

using namespace book_test;

namespace {

constexpr uint64_t Bucket(uint64_t b) { return b << 47; }

// Both book sets empty, nothing remembered for a retry.
void ResetBooks() {
  for (BookSet* set : {&PrimaryBook, &SecondaryBook}) {
    OpenBookSet(*set, "/nonexistent/");
    set->RememberedDirectory[0] = 0;
  }
}

TEST(BookLookup, FindsKeysByBucketAndBisection) {
  TempDirectory dir;
  WriteBook(dir.path + "bookbtm", {0x100000000010, 0x100000000020, 0x7FFFFFFFFFFF, Bucket(5) | 0x1234, Bucket(5) | 0xABCDEF0123});
  WriteBook(dir.path + "bookwtm", {});
  ASSERT_TRUE(OpenBookSet(PrimaryBook, dir.path.c_str()));
  BookFile& file = PrimaryBook.Files[Black];
  // In this order, as each row may follow from the record read before it. Reads: -1 any; 0
  // where nothing may be read (an empty bucket; the record read just before).
  struct { uint64_t key; bool found; int reads; } rows[] = {
      {0x100000000010, true, -1}, {0x100000000010, true, 0},
      {0x10, false, -1},                                      // below every record of bucket 0
      {Bucket(3) | 0x1234, false, 0},                         // an empty bucket
      {Bucket(5) | 0x1234, true, -1}, {Bucket(6) | 0x1234, false, 0},  // same stored bits, other bucket
      {Bucket(5) | 0x1235, false, -1}, {0x7FFFFFFFFFFF, true, -1}, {~0ull, false, 0},
      {Bucket(5) | 0xABCDEF0123, true, -1}};
  for (const auto& row : rows) {
    uint64_t before = file.Reads;
    EXPECT_EQ(BookContains(file, row.key), row.found) << std::hex << row.key;
    EXPECT_TRUE(row.reads < 0 || file.Reads - before == uint64_t(row.reads)) << std::hex << row.key;
  }
  EXPECT_FALSE(BookContains(PrimaryBook.Files[White], 0x10));
  ResetBooks();
}

TEST(BookLookup, RefusesMalformedAndCorruptFilesAndClosesWhatItHeld) {
  std::vector<uint64_t> two = {0x10, Bucket(9) | 0x20};
  std::vector<uint32_t> decreasing = IndexOf(two), pastEnd = IndexOf(two);
  decreasing[4] = 2;
  pastEnd[131071] = 3;
  auto resized = [&](const char* name, int size) {
    return [=](const std::string& d) { WriteBook(d + "bookbtm", two), std::filesystem::resize_file(d + name, size); };
  };
  struct { std::function<void(const std::string&)> write; std::string message; } rows[] = {
      {[](const std::string&) {}, "Cannot load file: '@bookbtm.mbx'\n"},
      {resized("bookbtm.mbx", 524287), "Wrong file format '@bookbtm.mbx'.\n"},
      {resized("bookbtm.mbx", 524289), "Wrong file format '@bookbtm.mbx'.\n"},
      {resized("bookbtm.mbk", 11), "Wrong file format '@bookbtm.mbk'.\n"},  // ends inside a record
      {[&](const std::string& d) { WriteBook(d + "bookbtm", two, decreasing); }, "Wrong file format '@bookbtm.mbx'.\n"},
      {[&](const std::string& d) { WriteBook(d + "bookbtm", two, pastEnd); }, "Wrong file format '@bookbtm.mbx'.\n"},
      {[&](const std::string& d) { WriteBook(d + "bookbtm", two), std::filesystem::remove(d + "bookbtm.mbk"); },
       "Cannot open file: '@bookbtm.mbk'\n"}};
  // Beside each broken bookbtm a good bookwtm, which is used all the same: the message names
  // the broken pair alone.
  for (const auto& row : rows) {
    TempDirectory dir;
    row.write(dir.path);
    WriteBook(dir.path + "bookwtm", {0x30});
    ResetBooks();
    EXPECT_FALSE(OpenBookSet(PrimaryBook, dir.path.c_str()));
    std::string expected = row.message;
    EXPECT_EQ(PrimaryBook.Message, expected.replace(expected.find('@'), 1, dir.path));
    EXPECT_EQ(PrimaryBook.RememberedDirectory, dir.path);
    for (uint64_t key : two) EXPECT_FALSE(BookContains(PrimaryBook.Files[Black], key)) << expected;
    EXPECT_TRUE(BookContains(PrimaryBook.Files[White], 0x30)) << expected;
  }
  EXPECT_FALSE(OpenBookSet(PrimaryBook, std::string(256, 'b').c_str()));
  EXPECT_STREQ(PrimaryBook.Message, "Book path is too long (max 255 characters accepted).");

  // Opening a set again closes its files; a pair that fails is left closed, the other is used.
  TempDirectory good, broken;
  WriteBook(good.path + "bookbtm", {0x10});
  WriteBook(good.path + "bookwtm", {0x20});
  WriteBook(broken.path + "bookwtm", {0x20});
  auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  ASSERT_TRUE(OpenBookSet(PrimaryBook, good.path.c_str()));
  auto opened = openFiles();
  for (int i = 0; i < 3; i++) ASSERT_TRUE(OpenBookSet(PrimaryBook, good.path.c_str()));
  EXPECT_EQ(openFiles(), opened);
  EXPECT_FALSE(OpenBookSet(PrimaryBook, broken.path.c_str()));
  EXPECT_EQ(openFiles(), opened - 1);
  EXPECT_FALSE(BookContains(PrimaryBook.Files[Black], 0x10));
  EXPECT_TRUE(BookContains(PrimaryBook.Files[White], 0x20));
  ResetBooks();
}

TEST(BookMove, RetriesFromTheColourSubdirectoryOnceOnly) {
  // The moves played first, the subdirectory of the retry, the book's move, and whether the
  // book is there at the first probe (when it comes only later it is never read).
  struct { const char* played; const char* subdirectory; const char* move; bool early; } rows[] = {
      {"", "mw/", "e2e4", true}, {"e2e4", "mb/", "e7e5", true}, {"", "mw/", "e2e4", false}};
  for (const auto& row : rows) {
    TempDirectory dir;
    ResetBooks();
    EXPECT_FALSE(OpenBookSet(PrimaryBook, dir.path.c_str()));
    std::string base = dir.path + row.subdirectory + "book", after = base + (*row.played ? "wtm" : "btm");
    auto writeBooks = [&] {
      WriteBook(base + "btm", {}), WriteBook(base + "wtm", {});
      WriteBook(after, {KeyAfter(InitialFen, std::string(row.played) + " " + row.move)});
    };
    if (row.early) writeBooks();
    KeyAfter(InitialFen, row.played);
    EXPECT_EQ(Text(ChooseBookMove(0)), row.early ? row.move : "") << row.move;
    writeBooks();
    KeyAfter(InitialFen, row.played);
    EXPECT_EQ(Text(ChooseBookMove(0)), row.early ? row.move : "") << row.move;
  }
  ResetBooks();
}

TEST(BookMove, TheClockPicksAmongTheSecondBooksMovesFirst) {
  TempDirectory primary, secondary;
  WriteBook(primary.path + "bookbtm", {KeyAfter(InitialFen, "c2c4")});
  WriteBook(secondary.path + "bookbtm", {KeyAfter(InitialFen, "g1f3"), KeyAfter(InitialFen, "e2e4"), KeyAfter(InitialFen, "d2d4")});
  for (TempDirectory* d : {&primary, &secondary}) WriteBook(d->path + "bookwtm", {});
  ResetBooks();
  ASSERT_TRUE(OpenBookSet(PrimaryBook, primary.path.c_str()));
  ASSERT_TRUE(OpenBookSet(SecondaryBook, secondary.path.c_str()));
  // The candidates come in the reverse of the generator's order.
  SetupPosition(InitialFen);
  std::vector<std::string> candidates;
  for (Move m : LegalMoves())
    if (Contains("g1f3 e2e4 d2d4", Text(m))) candidates.insert(candidates.begin(), Text(m));
  ASSERT_EQ(candidates.size(), 3u);
  for (int64_t clock : {0, 1, 2, 5, 1000001}) EXPECT_EQ(Text(ChooseBookMove(clock)), candidates[clock % 3]) << clock;

  // Without second-book moves for this side the primary book answers; without the primary
  // book there is no book move at all.
  WriteBook(secondary.path + "bookbtm", {});
  ASSERT_TRUE(OpenBookSet(SecondaryBook, secondary.path.c_str()));
  EXPECT_EQ(Text(ChooseBookMove(1000001)), "c2c4");
  ResetBooks();
  ASSERT_TRUE(OpenBookSet(SecondaryBook, primary.path.c_str()));
  EXPECT_EQ(ChooseBookMove(7), 0);
  ResetBooks();
}

}  // namespace
