// Opening book files and the book move: opening a book set, the key lookup by binary search
// in one index bucket, the choice among the book's moves by the clock, and bookshow.
//
// Book files are input like any other: opening refuses a file that is not a regular one, an
// index that decreases or points past the data file's records and a data file that ends inside
// a record, so that a lookup never reads outside the index or the file. Each file pair of a
// set is opened on its own: the set's message names every pair that cannot be used, and the
// others are used.
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include "book/book.h"
#include "book/little_endian.h"
#include "movegen/movegen.h"
#include "records/records.h"

BookSet PrimaryBook, SecondaryBook;

namespace {

constexpr size_t BookPathLimit = 255;

// Closes the data file and forgets the index, the records and the record read last.
void ResetBookFile(BookFile& file) {
  if (file.DataOpen) close(file.Data);
  std::memset(file.Index, 0, sizeof file.Index);
  file.DataOpen = false;
  file.RecordCount = 0;
  file.HasCurrent = false;
}

// Reads the index file; false with the message set when it is missing or not of the format.
bool LoadIndex(BookFile& file, const char* name, char* message, size_t size) {
  int index = OpenRegularFile(name);
  if (index < 0) {
    std::snprintf(message, size, "Cannot load file: '%s'\n", name);
    return false;
  }
  struct stat info;
  static uint8_t bytes[BookIndexBytes];
  bool statted = fstat(index, &info) == 0;
  bool read = statted && info.st_size == BookIndexBytes && pread(index, bytes, BookIndexBytes, 0) == BookIndexBytes;
  close(index);
  if (!read) {
    std::snprintf(message, size, statted ? "Wrong file format '%s'.\n" : "Cannot get file statistics: '%s'.\n", name);
    return false;
  }
  LoadLittleEndianWords(file.Index, bytes, BookBuckets);
  return true;
}

// Opens the data file for lookups; false with the message set when it cannot be used.
bool OpenData(BookFile& file, const char* name, char* message, size_t size) {
  file.Data = OpenRegularFile(name);
  file.DataOpen = file.Data >= 0;
  if (!file.DataOpen) {
    std::snprintf(message, size, "Cannot open file: '%s'\n", name);
    return false;
  }
  struct stat info;
  if (fstat(file.Data, &info) != 0) {
    std::snprintf(message, size, "Cannot get file statistics: '%s'.\n", name);
    return false;
  }
  if (info.st_size % BookRecordSize != 0) {
    std::snprintf(message, size, "Wrong file format '%s'.\n", name);
    return false;
  }
  file.RecordCount = static_cast<uint64_t>(info.st_size) / BookRecordSize;
  return true;
}

// Every bucket must lie within the records: entries never decrease nor pass the count.
WHOLE_TABLE_LOOP bool IndexFitsData(const BookFile& file) {
  for (int b = 1; b < BookBuckets; b++)
    if (file.Index[b] < file.Index[b - 1]) return false;
  return file.Index[BookBuckets - 1] <= file.RecordCount;
}

// Opens the file pair base + ".mbx" / ".mbk"; a file pair that fails is left empty and its
// reason is added to the set's message.
bool OpenBookFile(BookFile& file, const char* base, BookSet& set) {
  char index[sizeof set.RememberedDirectory + 16], data[sizeof index], message[sizeof index + 64];
  std::snprintf(index, sizeof index, "%s.mbx", base);
  std::snprintf(data, sizeof data, "%s.mbk", base);
  ResetBookFile(file);
  bool opened = LoadIndex(file, index, message, sizeof message) && OpenData(file, data, message, sizeof message);
  if (opened && !IndexFitsData(file)) {
    std::snprintf(message, sizeof message, "Wrong file format '%s'.\n", index);
    opened = false;
  }
  if (!opened) {
    ResetBookFile(file);
    size_t used = std::strlen(set.Message);
    std::snprintf(set.Message + used, sizeof set.Message - used, "%s", message);
  }
  return opened;
}

bool HasRecords(const BookSet& set, int side) { return set.Files[side].RecordCount > 0; }

// Opens the file pairs of the set from directory, each on its own, so that a pair that cannot
// be used leaves the other one in use: all of them, or only those without records.
bool OpenBookFiles(BookSet& set, const char* directory, bool onlyWithoutRecords) {
  bool opened = true;
  for (int side : {Black, White}) {
    if (onlyWithoutRecords && HasRecords(set, side)) continue;
    char base[sizeof set.RememberedDirectory + 8];
    std::snprintf(base, sizeof base, "%s%s", directory, side == White ? "bookwtm" : "bookbtm");
    opened = OpenBookFile(set.Files[side], base, set) && opened;
  }
  return opened;
}

// The 47 stored key bits of record number n, or false when it cannot be read.
bool ReadBookRecord(BookFile& file, uint64_t n, uint64_t* stored) {
  uint8_t bytes[BookRecordSize];
  file.Reads++;
  if (pread(file.Data, bytes, BookRecordSize, static_cast<off_t>(n * BookRecordSize)) != BookRecordSize) return false;
  *stored = LoadLittleEndian(bytes, BookRecordSize) & BookStoredKeyMask;
  return true;
}

// Opens the file pairs of the set that have no records once more, from the colour subdirectory
// ("mw/" with white to move, "mb/" with black) of the first directory that failed; only once in
// a run, and only after opening the set failed.
void RetryBookSet(BookSet& set, int side) {
  if (!set.RememberedDirectory[0]) return;
  char directory[sizeof set.RememberedDirectory + 4];
  std::snprintf(directory, sizeof directory, "%s%s", set.RememberedDirectory, side == White ? "mw/" : "mb/");
  set.Message[0] = 0;
  OpenBookFiles(set, directory, true);
  set.RememberedDirectory[0] = 0;
}

// Whether the set's file for the positions after a move of side has records, retrying once.
bool BookUsable(BookSet& set, int side) {
  if (!HasRecords(set, side ^ 1)) RetryBookSet(set, side);
  return HasRecords(set, side ^ 1);
}

// The legal moves of the current position whose resulting position the set holds, collected
// from the last generated move to the first; none when the set has no file for them. Only legal
// moves become candidates, so a key that a book shares with the position after an illegal move
// is never played.
int BookCandidates(BookSet& set, Move* moves) {
  int side = Position.SideToMove, next = side ^ 1, count = 0;
  if (!BookUsable(set, side)) return 0;
  MoveEntry list[MaxMovesPerList];
  MoveEntry* end = GenerateMovesOrEvasions(list);
  PlyRecord record;
  SaveBoardState(&record);
  for (MoveEntry* e = end; e-- > list;) {
    MakeMove(e->Move, &record);
    if (!KingAttackedAfterMove(e->Move, side) && BookContains(set.Files[next], Position.PositionKey))
      moves[count++] = e->Move;
    UnmakeMove(e->Move, &record);
  }
  return count;
}

}  // namespace

bool OpenBookSet(BookSet& set, const char* directory) {
  if (std::strlen(directory) > BookPathLimit) {
    std::snprintf(set.Message, sizeof set.Message, "Book path is too long (max 255 characters accepted).");
    return false;
  }
  set.Message[0] = 0;
  bool opened = OpenBookFiles(set, directory, false);
  if (!opened && !set.RememberedDirectory[0])
    std::snprintf(set.RememberedDirectory, sizeof set.RememberedDirectory, "%s", directory);
  return opened;
}

bool BookContains(BookFile& file, uint64_t key) {
  if (file.HasCurrent && file.CurrentKey == key) return true;
  uint64_t bucket = key >> BookBucketShift, wanted = key & BookStoredKeyMask;
  // Opening made sure that 0 <= first <= end <= RecordCount.
  uint64_t first = bucket ? file.Index[bucket - 1] : 0, end = file.Index[bucket];
  while (first < end) {
    uint64_t middle = first + (end - first) / 2, stored;
    if (!ReadBookRecord(file, middle, &stored)) return false;
    file.HasCurrent = true;
    file.CurrentKey = bucket << BookBucketShift | stored;
    if (stored == wanted) return true;
    if (wanted < stored) end = middle;
    else first = middle + 1;
  }
  return false;
}

Move getBookMove() { return ChooseBookMove(Now()); }

// The secondary book's moves are preferred (when the primary book is usable); among the
// candidates the clock picks one.
Move ChooseBookMove(int64_t clock) {
  Move moves[MaxMovesPerList];
  int side = Position.SideToMove;
  bool secondary = BookUsable(SecondaryBook, side);
  if (!BookUsable(PrimaryBook, side)) return 0;
  int count = secondary ? BookCandidates(SecondaryBook, moves) : 0;
  if (!count) count = BookCandidates(PrimaryBook, moves);
  return count ? moves[static_cast<uint64_t>(clock) % count] : 0;
}

void WriteBookMoves(char* buffer, size_t size) {
  struct { BookSet& set; const char* name; } books[] = {{SecondaryBook, "book 2"}, {PrimaryBook, "book"}};
  size_t used = 0;
  auto write = [&](const char* format, const char* a, const char* b) {
    int n = std::snprintf(buffer + used, size - used, format, a, b);
    if (n > 0) used = std::min(size - 1, used + static_cast<size_t>(n));
  };
  char text[8], source[48];
  for (auto& book : books) {
    Move moves[MaxMovesPerList];
    int count = BookCandidates(book.set, moves);
    for (int i = count; i-- > 0;) {
      MoveToText(moves[i], text);
      write("\t%s\t%s\n", text, book.name);
    }
  }
  // The Polyglot book's moves with their weights and shares of the weights' sum, rounded.
  PolyglotMove moves[MaxMovesPerList];
  int count = PolyglotMoves(moves);
  uint64_t sum = 0;
  for (int i = 0; i < count; i++) sum += moves[i].weight;
  for (int i = 0; i < count; i++) {
    MoveToText(moves[i].move, text);
    std::snprintf(source, sizeof source, "polyglot %u (%u%%)", moves[i].weight,
                  static_cast<unsigned>((200 * moves[i].weight + sum) / (2 * sum)));
    write("\t%s\t%s\n", text, source);
  }
  if (!used) write("\t%s%s\n", "no book moves", "");
  write("%s%s\n", "", "");
}

void BookShowCommand() {
  int side = Position.SideToMove;
  uint64_t key = Position.PositionKey;
  std::printf("%s\n", BookContains(PrimaryBook.Files[side], key) ? "YES" : "NO");
  std::printf("2: %s\n", BookContains(SecondaryBook.Files[side], key) ? "YES" : "NO");
}
