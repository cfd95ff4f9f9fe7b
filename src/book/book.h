// Opening book and position databases: the book file pairs and the choice of a book move
// while playing; the position statistics databases, the books built from them and the tool
// commands that build and show them.
#pragma once
#include <cstddef>
#include <cstdint>
#include "board/board.h"

// ---- Book files ----
// A book holds positions, not moves: the keys of the positions it recommends reaching. Each
// side to move has its own file pair, since PositionKey leaves the side out:
//   index ".mbx": BookBuckets little-endian 32-bit counts; entry b = records whose key's top
//                 17 bits (its bucket) are at most b;
//   data ".mbk":  6-byte records sorted by key: key bits 0-31, then bits 32-46 (bit 15 zero).
inline constexpr int BookBuckets = 131072;
inline constexpr int BookIndexBytes = BookBuckets * 4;
inline constexpr int BookRecordSize = 6;
inline constexpr int BookBucketShift = 47;
inline constexpr uint64_t BookStoredKeyMask = (uint64_t(1) << BookBucketShift) - 1;
// Marks a loop over the whole 131,072-bucket index, which no input steers: the fuzz build's
// coverage tracing (clang) leaves it out, since its hook on every comparison made such loops
// most of each fuzz run. The address checker still watches it.
#if defined(__clang__)
#define WHOLE_TABLE_LOOP __attribute__((no_sanitize("coverage")))
#else
#define WHOLE_TABLE_LOOP
#endif

struct BookFile {
  uint32_t Index[BookBuckets];
  bool DataOpen;         // the data file is open on descriptor Data
  int Data;
  uint64_t RecordCount;
  bool HasCurrent;       // a record was read since the file was opened
  uint64_t CurrentKey;   // the whole key of the record read last
  uint64_t Reads;        // records read from the data file, for the benchmark's figures
};

// Number 0 is "bookbtm" (black to move), number 1 "bookwtm": indexed by SideToMove.
struct BookSet {
  char RememberedDirectory[300];  // the first directory that failed, for one later retry
  char Message[1024];             // the last opening's errors, a line for each file pair that failed
  BookFile Files[2];
};

// SecondaryBook ("2/" below the primary directory) is preferred when it knows a move.
extern BookSet PrimaryBook, SecondaryBook;

// Opens both file pairs of a book set from directory (empty or ending in '/'), each on its own:
// a pair that cannot be used is left empty while the other is used. False when one of them
// failed; the set's Message then has a line for each that did.
bool OpenBookSet(BookSet& set, const char* directory);
// Whether the file pair holds the key.
bool BookContains(BookFile& file, uint64_t key);
// The book move for the current position, or 0: a legal move whose resulting position is in
// a book, chosen among the candidates by the millisecond clock.
Move getBookMove();
// getBookMove with the clock given.
Move ChooseBookMove(int64_t clock);
// bk: the book moves of the current position, a line each ("\tMOVE\tbook"; "book 2" for the
// secondary book; "\tMOVE\tpolyglot WEIGHT (PERCENT%)" for the Polyglot book), or a line
// saying there are none; then an empty line.
void WriteBookMoves(char* buffer, size_t size);
// bookshow: whether the current position is in each book.
void BookShowCommand();

// ---- Polyglot books ----
// The open book format of the chess interfaces, played from when the own books have no move: a
// file of 16-byte big-endian entries sorted by key (key 8, move 2, weight 2, learn 4). A move
// word holds the to-square in bits 0-5, the from-square in bits 6-11 (a1 = 0) and the promotion
// in bits 12-14 (1 knight .. 4 queen); castling is written as the king taking its own rook.
inline constexpr int PolyglotEntrySize = 16;
// Entries of one key read at most: no position has as many legal moves.
inline constexpr int PolyglotEntriesPerKey = 512;

struct PolyglotFile {
  int File = -1;            // descriptor of the open book, -1 when none
  uint64_t EntryCount = 0;
  char Message[512] = "";   // why the book named last could not be opened, empty otherwise
  uint64_t Reads = 0;       // reads of the file (an entry or a block each), for the benchmark
};
extern PolyglotFile PolyglotBook;

// A legal move of the current position with its weight in the book.
struct PolyglotMove {
  Move move;
  uint32_t weight;
};

// Opens the book file (a name relative to the working directory or absolute) after checking
// that it is whole entries with keys in order; the book opened before is closed either way.
// On failure no book is open and Message says why; an empty name only closes the book.
bool OpenPolyglotBook(const char* name);
// The Polyglot key of the current position, computed from the board when a book is consulted.
uint64_t PolyglotKey();
// The book's legal moves of the current position with a weight above 0, in file order (a move
// written twice counts with both weights); 0 when none or no book is open.
int PolyglotMoves(PolyglotMove* moves);
// The move whose share of the weights' sum holds random % sum (moves in order); 0 for no moves.
Move ChoosePolyglotMove(const PolyglotMove* moves, int count, uint64_t random);
// A book move for the current position, chosen in proportion to the weights, or 0.
Move getPolyglotMove();
// The book's most weighted move for the current position (the first of equals), or 0.
Move PolyglotMainMove();

// ---- Position statistics databases ----
// DbRecord file layout (54 bytes, little-endian): key 8, packed placement 32, flags 1,
// en-passant bit and first ply 1, white wins 4, black wins 4, draws 4.
inline constexpr int DbRecordSize = 54;
inline constexpr int DbPlacementBytes = 32;

struct DbRecord {
  uint64_t Key;
  uint8_t Placement[DbPlacementBytes];  // 64 four-bit codes, told apart only by equality
  uint8_t Flags;                        // bit 7 white to move, 6-3 KQkq, 0-2 en-passant file
  uint8_t EpAndPly;                     // bit 7 en-passant square given, 0-6 first ply seen
  uint32_t WhiteWins, BlackWins, Draws;
};

void EncodeDbRecord(const DbRecord& record, uint8_t* bytes);
DbRecord DecodeDbRecord(const uint8_t* bytes);
// Fills the record's placement, flags and en-passant bit from the four FEN fields at fen
// (ending at the first tab or the end of the text).
void PackFen(const char* fen, DbRecord& record);
// White's expected result over the games counted; 0.5 when there are none.
double RecordScore(double whiteWins, double blackWins, double draws);

// The tool commands, reading and writing files in the working directory.
// dbcreate: "name_black.db" and "name_white.db" from a key-sorted POS file.
void DbCreateCommand(const char* input, const char* name);
// bookcreate: "bookbtm" and "bookwtm" from "black.db" and "white.db".
void BookCreateCommand();
// dbshow (bisection) and dbshowlin (scan with sort checks): the current position's statistics.
void DbShowCommand(bool linear);
