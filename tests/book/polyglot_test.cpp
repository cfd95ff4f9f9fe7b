// Polyglot books against a reader written here, independent of the engine's: its own key from
// FEN text with the format's published numbers (tests/data/polyglot_random64.txt) and its own
// parse of the file, probed on Debian's gnuchess-book (make test installs it); the published
// keys; books written byte by byte for castling, promotions and damaged files; the weighted
// choice with fixed numbers; and the real binary playing its first moves from the Debian book.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <cctype>
#include <fstream>
#include <map>
#include "book/book.h"
#include "book_helpers.h"

using namespace book_test;

namespace {

constexpr const char* DebianBook = "/usr/share/games/gnuchess/book.bin";

// ---- The reference reader ----
const std::vector<uint64_t>& Random64() {
  static const std::vector<uint64_t> numbers = [] {
    std::ifstream text(TIRVEX_SOURCE_DIR "/tests/data/polyglot_random64.txt");
    std::vector<uint64_t> read;
    for (std::string line; text >> line;) read.push_back(std::stoull(line, nullptr, 16));
    return read;
  }();
  return numbers;
}

// A position read from FEN text: the piece letters by [row][file] (row 0 = rank 1) and its key.
struct Reference {
  char grid[8][8] = {};
  uint64_t key = 0;
  explicit Reference(const std::string& fen) {
    std::istringstream fields(fen);
    std::string board, side, castling, ep;
    fields >> board >> side >> castling >> ep;
    const auto& r = Random64();
    int row = 7, file = 0;
    for (char c : board) {
      if (c == '/') row--, file = 0;
      else if (std::isdigit(c)) file += c - '0';
      else {
        int kind = 2 * int(std::string("pnbrqk").find(char(std::tolower(c)))) + (std::isupper(c) ? 1 : 0);
        key ^= r[64 * kind + 8 * row + file];
        grid[row][file++] = c;
      }
    }
    for (int i = 0; i < 4; i++)
      if (castling.find("KQkq"[i]) != std::string::npos) key ^= r[768 + i];
    // The file of a pawn that has just advanced two squares, when a pawn of the side to move stands beside it.
    char own = side == "w" ? 'P' : 'p';
    int f = ep[0] - 'a', pawnRow = side == "w" ? 4 : 3;
    if (ep != "-" && ((f > 0 && grid[pawnRow][f - 1] == own) || (f < 7 && grid[pawnRow][f + 1] == own)))
      key ^= r[772 + f];
    if (side == "w") key ^= r[780];
  }
  // An entry's move as coordinate text; the king on e1/e8 taking its own rook is castling.
  std::string MoveText(unsigned word) const {
    static const std::map<std::string, std::pair<std::string, char>> castling = {
        {"e1h1", {"e1g1", 'K'}}, {"e1a1", {"e1c1", 'K'}}, {"e8h8", {"e8g8", 'k'}}, {"e8a8", {"e8c8", 'k'}}};
    auto square = [](unsigned s) { return std::string{char('a' + s % 8), char('1' + s / 8)}; };
    std::string text = square(word >> 6 & 63) + square(word & 63);
    auto castle = castling.find(text);
    if (castle != castling.end() && grid[text[1] - '1'][4] == castle->second.second) text = castle->second.first;
    if (word >> 12 & 7) text += "nbrq"[(word >> 12 & 7) - 1];
    return text;
  }
};

// The whole file's entries by key, in file order: {move word, weight}.
using EntriesByKey = std::map<uint64_t, std::vector<std::pair<unsigned, unsigned>>>;
EntriesByKey ParseBook(const std::string& bytes) {
  EntriesByKey entries;
  auto big = [&](size_t at, int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; i++) value = value << 8 | uint8_t(bytes[at + i]);
    return value;
  };
  for (size_t at = 0; at + 16 <= bytes.size(); at += 16)
    entries[big(at, 8)].push_back({unsigned(big(at + 8, 2)), unsigned(big(at + 10, 2))});
  return entries;
}

// The moves with a weight above 0, "move weight" each, of the position of fen.
std::string ReferenceMoves(const EntriesByKey& book, const std::string& fen) {
  Reference position(fen);
  std::string moves;
  auto found = book.find(position.key);
  if (found != book.end())
    for (auto [word, weight] : found->second)
      if (weight) moves += position.MoveText(word) + " " + std::to_string(weight) + ",";
  return moves;
}

// The same list as the engine gives it for the position on the board.
std::string BookMovesOnBoard() {
  PolyglotMove moves[MaxMovesPerList];
  int count = PolyglotMoves(moves);
  std::string text;
  for (int i = 0; i < count; i++) text += Text(moves[i].move) + " " + std::to_string(moves[i].weight) + ",";
  return text;
}

// A book entry written here: key, move word and weight, big-endian, learn 0.
std::string Entry(uint64_t key, unsigned move, unsigned weight) {
  std::string bytes;
  for (int i = 7; i >= 0; i--) bytes.push_back(char(key >> (8 * i)));
  for (unsigned value : {move, weight}) bytes += {char(value >> 8), char(value)};
  return bytes + std::string(4, '\0');
}
unsigned Word(const char* from, const char* to, unsigned promotion = 0) {
  auto square = [](const char* s) { return unsigned(s[0] - 'a' + 8 * (s[1] - '1')); };
  return promotion << 12 | square(from) << 6 | square(to);
}

// Tests on Debian's book: skipped where it is not installed, except in CI.
class DebianBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes = ReadFile(DebianBook);
    if (!bytes.empty()) return;
    if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true") FAIL() << DebianBook << " missing";
    GTEST_SKIP() << DebianBook << " missing (make test installs gnuchess-book)";
  }
  std::string bytes;
};

TEST(PolyglotKey, PublishedKeysAndCastlingAndEnPassantFields) {
  // The format's published test keys, for the engine's key after the moves and for the reference
  // reader's key of the FEN the engine writes.
  struct { const char* moves; uint64_t key; } published[] = {
      {"", 0x463b96181691fc9c}, {"e2e4", 0x823c9b50fd114196}, {"e2e4 d7d5", 0x0756b94461c50fb0},
      {"e2e4 d7d5 e4e5", 0x662fafb965db29d4}, {"e2e4 d7d5 e4e5 f7f5", 0x22a48b5a8e47ff78},
      {"e2e4 d7d5 e4e5 f7f5 e1e2", 0x652a607ca3f242c1}, {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7", 0x00fdd303c946bdd9},
      {"a2a4 b7b5 h2h4 b5b4 c2c4", 0x3c8123ea7b067637}, {"a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3", 0x5c3f9b829b279560}};
  for (const auto& row : published) {
    ASSERT_TRUE(Replay(InitialFen, row.moves));
    EXPECT_EQ(PolyglotKey(), row.key) << row.moves;
    EXPECT_EQ(Reference(Fen()).key, row.key) << row.moves;
  }
  // Set up from FEN: castling rights in several sets, and the en-passant file keyed only with a
  // pawn of the side to move beside the pawn that advanced, even one whose capture would be
  // illegal. Expected: the reference reader's key.
  const char* fens[] = {
      "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R b Kq - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R w Qk - 0 1",
      "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "4k3/8/8/3p4/4P3/8/8/4K3 w - d6 0 1",   // a pawn beside, none beside
      "8/8/8/K2pP2r/8/8/8/7k w - d6 0 1",                                           // exd6 would leave the king in check
      "4k3/8/8/8/5Pp1/8/8/4K3 b - f3 0 1", "4k3/8/8/8/4PP2/8/8/4K3 b - f3 0 1"};   // black pawn beside, white pawn beside
  for (const char* fen : fens) {
    ASSERT_TRUE(SetupPosition(fen)) << fen;
    EXPECT_EQ(PolyglotKey(), Reference(fen).key) << fen;
  }
}

TEST_F(DebianBookTest, ProbesGiveTheMovesAndWeightsOfAnIndependentReader) {
  ASSERT_TRUE(OpenPolyglotBook(DebianBook)) << PolyglotBook.Message;
  EntriesByKey book = ParseBook(bytes);
  // Main lines followed ply by ply, with castling on both sides (Ruy Lopez, King's Indian) and
  // an en-passant file in the key (Two Knights, 5.e5 d5); each position is in the book.
  const char* lines[] = {"e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3 e8g8",
                         "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 d2d4 e5d4 e4e5 d7d5",
                         "d2d4 g8f6 c2c4 g7g6 b1c3 f8g7 e2e4 d7d6 g1f3 e8g8 f1e2 e7e5 e1g1",
                         "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6"};
  int positions = 0;
  for (const char* line : lines) {
    SetupGame(InitialFen);
    std::istringstream moves(line);
    for (std::string move; moves >> move; positions++) {
      EXPECT_NE(BookMovesOnBoard(), "") << Fen();
      EXPECT_EQ(BookMovesOnBoard(), ReferenceMoves(book, Fen())) << Fen();
      ASSERT_TRUE(Play(move));
    }
  }
  // Every position two plies from the start, in the book or not.
  SetupGame(InitialFen);
  for (Move first : LegalMoves()) {
    ASSERT_TRUE(Replay(InitialFen, Text(first)));
    for (Move second : LegalMoves()) {
      ASSERT_TRUE(Replay(InitialFen, Text(first) + " " + Text(second)));
      EXPECT_EQ(BookMovesOnBoard(), ReferenceMoves(book, Fen())) << Fen();
      positions++;
    }
  }
  EXPECT_GT(positions, 400);
  // bk: the weights and their shares of the sum (the start position's weights, as the reference
  // reader lists them, sum to 30797: e2e4 12135 is 39%, d2d4 11257 37%).
  SetupGame(InitialFen);
  char listed[4096];
  WriteBookMoves(listed, sizeof listed);
  EXPECT_TRUE(Contains(listed, "\te2e4\tpolyglot 12135 (39%)\n\td2d4\tpolyglot 11257 (37%)\n")) << listed;
  EXPECT_TRUE(Contains(listed, "\ta2a3\tpolyglot 2 (0%)\n\n")) << listed;
  OpenPolyglotBook("");
}

TEST(PolyglotBook, CastlingPromotionsWeightsAndLegalityInABookWrittenHere) {
  // Entries of the position's key between entries of the keys beside it; expected: the legal
  // moves of weight above 0 in file order, a move written twice with both weights.
  struct { const char* fen; std::vector<std::pair<unsigned, unsigned>> entries; const char* moves; } rows[] = {
      {"r3k2r/1P6/8/8/8/8/6p1/R3K2R w KQkq - 0 1",
       {{Word("e1", "h1"), 5},        // castling through f1, which the g2 pawn attacks: illegal
        {Word("e1", "a1"), 7}, {Word("b7", "a8", 4), 3}, {Word("b7", "b8", 1), 2}, {Word("b7", "b8", 4), 0},
        {Word("e1", "e2"), 1}, {Word("e2", "e4"), 9},   // no piece on e2
        {Word("b7", "b8", 5), 8}, {Word("e1", "e2"), 4}},
       "e1c1 7,b7a8q 3,b7b8n 2,e1e2 5,"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", {{Word("e8", "h8"), 2}, {Word("e8", "a8"), 1}, {Word("a8", "a1"), 1}},
       "e8g8 2,e8c8 1,a8a1 1,"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b K - 0 1", {{Word("e8", "h8"), 2}, {Word("e8", "a8"), 1}}, ""}};  // rights lost
  for (const auto& row : rows) {
    TempDirectory dir;
    ASSERT_TRUE(SetupPosition(row.fen));
    uint64_t key = PolyglotKey();
    std::string bytes = Entry(key - 1, Word("a1", "a2"), 1);
    for (auto [move, weight] : row.entries) bytes += Entry(key, move, weight);
    WriteBytes(dir.path + "book.bin", bytes + Entry(key + 1, Word("a1", "a2"), 1));
    ASSERT_TRUE(OpenPolyglotBook((dir.path + "book.bin").c_str())) << PolyglotBook.Message;
    EXPECT_EQ(BookMovesOnBoard(), row.moves) << row.fen;
    // A file that shrinks after it was opened is read as far as it goes.
    std::filesystem::resize_file(dir.path + "book.bin", 40);
    EXPECT_EQ(BookMovesOnBoard(), "") << row.fen;
  }
  OpenPolyglotBook("");
}

TEST(PolyglotBook, DamagedFilesAreRefusedWithTheirReason) {
  std::string sorted = Entry(5, Word("e2", "e4"), 1) + Entry(9, Word("d2", "d4"), 1);
  struct { std::string name, bytes, message; } rows[] = {
      {"missing.bin", "", "Cannot open Polyglot book '@missing.bin': No such file or directory"},
      {"dir", "", "Cannot open Polyglot book '@dir': not a file"},
      {"pipe.bin", "", "Cannot open Polyglot book '@pipe.bin': not a file"},  // refused, not waited on
      {"empty.bin", "", "Wrong Polyglot book format '@empty.bin': 0 bytes, not a whole number of 16-byte entries"},
      {"short.bin", sorted + "x", "Wrong Polyglot book format '@short.bin': 33 bytes, not a whole number of 16-byte entries"},
      {"unsorted.bin", sorted + Entry(7, Word("c2", "c4"), 1), "Wrong Polyglot book format '@unsorted.bin': keys not in order at entry 2"}};
  for (const auto& row : rows) {
    TempDirectory dir;
    WriteBytes(dir.path + "good.bin", sorted);
    ASSERT_TRUE(OpenPolyglotBook((dir.path + "good.bin").c_str()));
    if (row.name == "dir") std::filesystem::create_directory(dir.path + row.name);
    else if (row.name == "pipe.bin") mkfifo((dir.path + row.name).c_str(), 0600);
    else if (row.name != "missing.bin") WriteBytes(dir.path + row.name, row.bytes);
    EXPECT_FALSE(OpenPolyglotBook((dir.path + row.name).c_str()));
    std::string expected = row.message;
    EXPECT_EQ(PolyglotBook.Message, expected.replace(expected.find('@'), 1, dir.path));
    // The book opened before is closed: nothing is played.
    SetupGame(InitialFen);
    EXPECT_EQ(PolyglotBook.File, -1);
    EXPECT_EQ(getPolyglotMove(), 0);
  }
}

TEST(PolyglotBook, TheChoiceFollowsTheCumulativeWeights) {
  // Weights 10, 0, 30 and 1 (sum 41): numbers 0-9 pick the first, 10-39 the third, 40 the last,
  // 41 wraps round to the first; 2^64 - 1 is 15 modulo 41.
  PolyglotMove moves[] = {{1, 10}, {2, 0}, {3, 30}, {4, 1}};
  struct { uint64_t random; Move move; } rows[] = {{0, 1}, {9, 1}, {10, 3}, {39, 3}, {40, 4}, {41, 1}, {~0ull, 3}};
  for (const auto& row : rows) EXPECT_EQ(ChoosePolyglotMove(moves, 4, row.random), row.move) << row.random;
  EXPECT_EQ(ChoosePolyglotMove(moves, 0, 5), 0);
  EXPECT_EQ(ChoosePolyglotMove(moves + 1, 1, 5), 0);
}

TEST_F(DebianBookTest, AGameWithOnlyThePolyglotBookPlaysItsFirstMovesFromIt) {
  EntriesByKey book = ParseBook(bytes);
  auto inBook = [&](const std::string& moves, const std::string& move) {
    Replay(InitialFen, moves);
    std::string listed = ",";
    return Contains(listed += ReferenceMoves(book, Fen()), "," + move + " ");
  };
  EngineProcess engine;
  std::filesystem::create_directory(engine.Directory() + "books");
  std::filesystem::create_symlink(DebianBook, engine.Directory() + "books/gnu.bin");
  engine.WriteFile("Tirvex.ini", "POLYGLOT_BOOK= books/gnu.bin \n");
  engine.Start();
  engine.Send(Session("new\nhint\nbk\ngo\n"));
  ASSERT_TRUE(engine.WaitForOutputWhere([](const std::string& out) { return EngineMoves(out).size() == 1; }));
  std::string first = EngineMoves(engine.Output())[0];
  EXPECT_TRUE(inBook("", first)) << first;
  EXPECT_TRUE(Contains(engine.Output(), "Hint: e2e4\n\te2e4\tpolyglot 12135 (39%)\n"));
  // The heaviest reply; the engine's second move comes from the book as well.
  ASSERT_TRUE(OpenPolyglotBook(DebianBook));
  Replay(InitialFen, first);
  std::string reply = Text(PolyglotMainMove());
  engine.Send(reply + "\n");
  ASSERT_TRUE(engine.WaitForOutputWhere([](const std::string& out) { return EngineMoves(out).size() == 2; }));
  std::string second = EngineMoves(engine.Output())[1];
  EXPECT_TRUE(inBook(first + " " + reply, second)) << second;
  EXPECT_EQ(engine.Finish(), 0);
  EXPECT_TRUE(Contains(engine.Log(), "move (polyglot book) " + first + "\n"));
  EXPECT_TRUE(Contains(engine.Log(), "move (polyglot book) " + second + "\n"));

  // The own book's move comes first; a missing Polyglot book is reported and the engine searches.
  struct { std::string ini, out, log; } rows[] = {
      {"BOOK_PATH=book\nPOLYGLOT_BOOK=" + std::string(DebianBook) + "\n", "", "move (book) d2d4\n"},
      {"POLYGLOT_BOOK=gone.bin\n", "BOOK ERROR: Cannot open Polyglot book 'gone.bin': No such file or directory\n",
       "bookMove 0\nstart engine\n"}};
  for (const auto& row : rows) {
    EngineProcess other;
    WriteBook(other.Directory() + "book/bookbtm", {KeyAfter(InitialFen, "d2d4")});
    WriteBook(other.Directory() + "book/bookwtm", {});
    other.WriteFile("Tirvex.ini", row.ini);
    EngineRun run = RunEngine(other, Session("new\nst 1\ngo\n"));
    EXPECT_TRUE(Contains(run.out, row.out)) << run.out;
    EXPECT_TRUE(Contains(run.log, row.log)) << row.ini;
    EXPECT_EQ(EngineMoves(run.out).size(), 1u) << row.ini;
  }
  OpenPolyglotBook("");
}

}  // namespace
