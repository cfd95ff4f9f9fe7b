// Polyglot opening books: the position's key in the format's own hashing, the file checked
// when it is opened, the entries of a key found by binary search, their moves turned into the
// engine's legal moves, and the choice in proportion to the weights.
//
// The file is read with pread, an entry or a block at a time, so a book of any size costs no
// memory; it is never mapped or loaded. The key is computed from the board only when a book
// move is wanted, so the search never pays for it.
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "book/book.h"
#include "book/polyglot_random.h"
#include "movegen/movegen.h"
#include "records/records.h"

PolyglotFile PolyglotBook;

namespace {

// Offsets into PolyglotRandom: pieces, castling rights, en-passant file, white to move.
constexpr int CastleKeys = 768, EnPassantKeys = 772, WhiteToMoveKey = 780;
// Entries read at once while checking the order at opening and while reading a key's entries.
constexpr int CheckBlock = 4096, KeyBlock = 32;

// The unsigned integer of size bytes stored at bytes, most significant byte first.
uint64_t LoadBigEndian(const uint8_t* bytes, int size) {
  uint64_t value = 0;
  for (int i = 0; i < size; i++) value = value << 8 | bytes[i];
  return value;
}

// Closes the book, if one is open, and forgets why the last one was refused.
void CloseBook() {
  if (PolyglotBook.File >= 0) close(PolyglotBook.File);
  PolyglotBook.File = -1;
  PolyglotBook.EntryCount = 0;
  PolyglotBook.Message[0] = 0;
}

// Closes the book and says why (printf format); false.
bool RefuseBook(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool RefuseBook(const char* format, ...) {
  CloseBook();
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(PolyglotBook.Message, sizeof PolyglotBook.Message, format, arguments);
  va_end(arguments);
  return false;
}

// Reads count entries from entry first on; false when the file gives fewer (it may have
// shrunk since it was opened).
bool ReadEntries(uint64_t first, uint64_t count, uint8_t* bytes) {
  PolyglotBook.Reads++;
  auto size = static_cast<ssize_t>(count * PolyglotEntrySize);
  return pread(PolyglotBook.File, bytes, size, static_cast<off_t>(first * PolyglotEntrySize)) == size;
}

uint64_t EntryKey(const uint8_t* entry) { return LoadBigEndian(entry, 8); }

// The first entry whose key is below the one before it, EntryCount when they are in order, or
// -1 when the file cannot be read.
int64_t FirstUnorderedEntry() {
  static uint8_t block[CheckBlock * PolyglotEntrySize];
  uint64_t previous = 0;
  for (uint64_t first = 0; first < PolyglotBook.EntryCount; first += CheckBlock) {
    uint64_t count = std::min<uint64_t>(CheckBlock, PolyglotBook.EntryCount - first);
    if (!ReadEntries(first, count, block)) return -1;
    for (uint64_t i = 0; i < count; i++) {
      uint64_t key = EntryKey(block + i * PolyglotEntrySize);
      if (key < previous) return static_cast<int64_t>(first + i);
      previous = key;
    }
  }
  return static_cast<int64_t>(PolyglotBook.EntryCount);
}

// The first entry whose key is not below key (EntryCount when none; also when a read fails).
uint64_t LowerBound(uint64_t key) {
  uint64_t first = 0, end = PolyglotBook.EntryCount;
  while (first < end) {
    uint64_t middle = first + (end - first) / 2;
    uint8_t entry[PolyglotEntrySize];
    if (!ReadEntries(middle, 1, entry)) return PolyglotBook.EntryCount;
    if (EntryKey(entry) < key) first = middle + 1;
    else end = middle;
  }
  return first;
}

// Reads the entries of key into entries, at most PolyglotEntriesPerKey; returns their number.
int ReadKeyEntries(uint64_t key, uint8_t* entries) {
  int count = 0;
  for (uint64_t at = LowerBound(key); count < PolyglotEntriesPerKey && at < PolyglotBook.EntryCount;) {
    uint64_t block = std::min<uint64_t>({KeyBlock, uint64_t(PolyglotEntriesPerKey - count), PolyglotBook.EntryCount - at});
    uint8_t* read = entries + count * PolyglotEntrySize;
    if (!ReadEntries(at, block, read)) return count;
    for (uint64_t i = 0; i < block; i++, count++)
      if (EntryKey(read + i * PolyglotEntrySize) != key) return count;
    at += block;
  }
  return count;
}

// Whether a pawn of the side to move stands beside the pawn that has just advanced two squares:
// the format's condition for keying the en-passant file (whether the capture is legal is not
// examined).
bool EnPassantKeyed() {
  int target = Position.EpSquare, side = Position.SideToMove;
  if (!target) return false;
  int pawn = side == White ? target + 8 : target - 8, own = side == White ? WhitePawn : BlackPawn;
  return (FileIndex(pawn) > 0 && Position.Board[pawn - 1] == own) ||
         (FileIndex(pawn) < 7 && Position.Board[pawn + 1] == own);
}

// The coordinate text of an entry's move word in the current position; false for a word no
// move can have. Castling, written as the king taking its own rook, becomes the king's step of
// two squares towards that rook.
bool EntryMoveText(uint16_t word, char* text) {
  // The format counts squares from a1 along the ranks, the board from a8: row r is 7 - r.
  int to = (word & 63) ^ 56, from = (word >> 6 & 63) ^ 56, promotion = word >> 12 & 7;
  if (promotion > 4) return false;
  int code = Position.Board[from];
  bool kingTakesOwnRook = (code == WhiteKing || code == BlackKing) && Position.Board[to] == code - (WhiteKing - WhiteRook);
  if (kingTakesOwnRook && RankIndex(from) == RankIndex(to)) to = from + (to > from ? 2 : -2);
  for (int s : {from, to}) {
    *text++ = static_cast<char>('a' + FileIndex(s));
    *text++ = static_cast<char>('8' - RankIndex(s));
  }
  if (promotion) *text++ = "nbrq"[promotion - 1];
  *text = 0;
  return true;
}

// Adds a move's weight to the list, to its earlier entry when the book names it twice.
void AddWeight(PolyglotMove* moves, int& count, Move move, uint32_t weight) {
  for (int i = 0; i < count; i++)
    if (moves[i].move == move) {
      moves[i].weight += weight;
      return;
    }
  moves[count++] = {move, weight};
}

// The next number of a splitmix64 sequence started from the clock at its first use.
uint64_t NextRandom() {
  static uint64_t state = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  uint64_t z = state += 0x9E3779B97F4A7C15;
  z = (z ^ z >> 30) * 0xBF58476D1CE4E5B9;
  z = (z ^ z >> 27) * 0x94D049BB133111EB;
  return z ^ z >> 31;
}

}  // namespace

bool OpenPolyglotBook(const char* name) {
  CloseBook();
  if (!*name) return false;
  struct stat info;
  int file = OpenRegularFile(name, &info);
  if (file < 0 && errno) return RefuseBook("Cannot open Polyglot book '%s': %s", name, std::strerror(errno));
  if (file < 0) return RefuseBook("Cannot open Polyglot book '%s': not a file", name);
  PolyglotBook.File = file;
  if (info.st_size == 0 || info.st_size % PolyglotEntrySize != 0)
    return RefuseBook("Wrong Polyglot book format '%s': %lld bytes, not a whole number of 16-byte entries", name,
                      static_cast<long long>(info.st_size));
  PolyglotBook.EntryCount = static_cast<uint64_t>(info.st_size) / PolyglotEntrySize;
  int64_t unordered = FirstUnorderedEntry();
  if (unordered < 0) return RefuseBook("Cannot read Polyglot book '%s'", name);
  if (static_cast<uint64_t>(unordered) < PolyglotBook.EntryCount)
    return RefuseBook("Wrong Polyglot book format '%s': keys not in order at entry %lld", name,
                      static_cast<long long>(unordered));
  return true;
}

uint64_t PolyglotKey() {
  uint64_t key = 0;
  // The format's piece kinds run black pawn, white pawn, black knight ...: PieceCode - 1 with
  // its colour bit flipped.
  for (int s = 0; s < 64; s++)
    if (int code = Position.Board[s]) key ^= PolyglotRandom[64 * ((code - 1) ^ 1) + (s ^ 56)];
  for (int i = 0; i < 4; i++)
    if (Position.CastleRights & CastleRightBits[i]) key ^= PolyglotRandom[CastleKeys + i];
  if (EnPassantKeyed()) key ^= PolyglotRandom[EnPassantKeys + FileIndex(Position.EpSquare)];
  if (Position.SideToMove == White) key ^= PolyglotRandom[WhiteToMoveKey];
  return key;
}

int PolyglotMoves(PolyglotMove* moves) {
  static uint8_t entries[PolyglotEntriesPerKey * PolyglotEntrySize];
  if (PolyglotBook.File < 0) return 0;
  int found = ReadKeyEntries(PolyglotKey(), entries);
  if (!found) return 0;
  MoveEntry list[MaxMovesPerList];
  Move legal[MaxMovesPerList];
  char texts[MaxMovesPerList][8];
  int legalCount = 0, count = 0;
  for (MoveEntry *e = list, *end = GenerateMovesOrEvasions(list); e < end; e++)
    if (MoveIsLegal(e->Move)) MoveToText(legal[legalCount] = e->Move, texts[legalCount]), legalCount++;
  for (const uint8_t* entry = entries; entry < entries + found * PolyglotEntrySize; entry += PolyglotEntrySize) {
    auto weight = static_cast<uint32_t>(LoadBigEndian(entry + 10, 2));
    char text[8];
    if (!weight || !EntryMoveText(static_cast<uint16_t>(LoadBigEndian(entry + 8, 2)), text)) continue;
    for (int i = 0; i < legalCount; i++)
      if (!std::strcmp(text, texts[i])) AddWeight(moves, count, legal[i], weight);
  }
  return count;
}

Move ChoosePolyglotMove(const PolyglotMove* moves, int count, uint64_t random) {
  uint64_t sum = 0;
  for (int i = 0; i < count; i++) sum += moves[i].weight;
  if (!sum) return 0;
  uint64_t point = random % sum;
  for (int i = 0; i < count; i++) {
    if (point < moves[i].weight) return moves[i].move;
    point -= moves[i].weight;
  }
  return 0;
}

Move getPolyglotMove() {
  PolyglotMove moves[MaxMovesPerList];
  int count = PolyglotMoves(moves);
  return ChoosePolyglotMove(moves, count, NextRandom());
}

Move PolyglotMainMove() {
  PolyglotMove moves[MaxMovesPerList];
  int count = PolyglotMoves(moves), best = 0;
  for (int i = 1; i < count; i++)
    if (moves[i].weight > moves[best].weight) best = i;
  return count ? moves[best].move : 0;
}
