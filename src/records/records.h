// Game records: move text (SAN and coordinates), PGN reading, the engine's GAME and POS files
// and the commands that convert between them.
#pragma once
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>
#include "board/board.h"

// ---- Move text ----
// The move of the current position that a SAN or coordinate token names, or 0.
Move ParseSanMove(const char* token);
// The coordinate move (e2e4, e7e8q) at the start of text, judged on the current position; 0 if none.
Move ParseCoordinateMove(const char* text);
// The move of the piece named by text[0] (a piece letter, or a file letter for a pawn capture)
// to the square to from inside fromMask; 0 when there is none or the choice is ambiguous.
Move MatchPieceMove(const char* text, int to, Bitboard fromMask);

// ---- Game records ----
inline constexpr int MaxGameMoves = 1023;
inline constexpr int MoveTokenSize = 10;
inline constexpr uint16_t MoveCountMask = 0x3FFF;
// Result bits of the header word.
inline constexpr uint16_t ResultWhiteWins = 0x8000, ResultBlackWins = 0x4000, ResultDraw = 0xC000;

struct GameRecord {
  char Token[MoveTokenSize + 1];  // the last move token read
  char ResultText[8];             // "1-0", "0-1", "1/2-1/2", "*" or empty
  char ResultCode;                // 'W', 'B', 'D', '*' or '?'
  uint16_t Header;                // move count in bits 0-13, result in bits 14-15
  Move Moves[MaxGameMoves];
};
inline int MoveCount(const GameRecord& record) { return record.Header & MoveCountMask; }

// An error that ends a conversion; what() is the message the command prints.
struct RecordError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The moves of a record played on the global position one by one; all of them are taken back
// when the replay goes out of scope, whether it ends normally or by an error.
class GameReplay {
 public:
  explicit GameReplay(const GameRecord& record) : record_(record) {}
  ~GameReplay();
  GameReplay(const GameReplay&) = delete;
  GameReplay& operator=(const GameReplay&) = delete;
  // Plays move p (from 1, in order) after checking that the generators produce it and that it
  // leaves the mover's king safe; raises "MOVE NOT LEGAL 1" or "... 2 - check revealed" naming token.
  void Play(int p, const char* token);
  // True while the key history has room for one more move.
  static bool HasRoom();

 private:
  const GameRecord& record_;
  int played_ = 0;
};

// ---- PGN reading (errors are raised as RecordError) ----
// Reads away white space, comments and escape lines before a game; false at the end of the stream.
bool PgnGameAhead(std::istream& in);
// Reads the tag section into the record's result; false when the stream ended in it.
bool ReadPgnTags(std::istream& in, GameRecord& record);
// Reads the next game from the initial position on the board; returns its result bits, or 0 when
// the game is skipped (a game broken off by a token that is no move is read away up to the next
// game's tags). The position is the starting one again after every return or error.
uint16_t ReadPgnGame(std::istream& in, GameRecord& record);
// Reads one whole token, keeping its first 10 characters in buffer, and parses it; 0 for a
// longer token.
Move ReadMoveToken(std::istream& in, char* buffer);
// Result text from a ResultCode; an unknown code becomes '?' with an empty text.
void SetResultText(char code, GameRecord& record);

// ---- GAME and POS files ----
// Reads the next record; false at the end of the file and at a record cut short or claiming more
// than 1023 moves (never read into the record); result bits 0 raise "WRONG RESULT".
bool ReadGameRecord(std::istream& in, GameRecord& record);
// Records from the read position to the end, -k when record k is corrupt, -1 on a failed
// stream; the read position is put back.
int CountGameRecords(std::istream& in);
// The games of a GAME file, found by a hash of their header and moves, so that pgn2game tells
// a game already stored in time independent of the file's length and in 11 to 22 bytes a game.
// A hash that matches is confirmed by reading the stored record, so exactly the stored games
// are found.
class StoredGames {
 public:
  // Reads every record of the file; a corrupt file raises an error.
  void Load(std::istream& gameFile);
  // True when the file holds a record equal to this one (read at the offsets of equal hashes,
  // which moves the file's read position).
  bool Contains(std::istream& gameFile, const GameRecord& record) const;
  // A record about to be written to the file at offset (the table grows by reading the file).
  void Add(std::istream& gameFile, const GameRecord& record, uint64_t offset);

 private:
  // Sizes the table for twice the file's records, at least, and enters them.
  void Rebuild(std::istream& gameFile);
  void Enter(const GameRecord& record, uint64_t offset);
  // A slot holds 16 bits of the hash above the bits that chose its place, and the record's
  // offset + 1 below them; 0 is an empty slot.
  std::vector<uint64_t> slots_;
  size_t count_ = 0;
  int shift_ = 0;  // log2 of the slot count
};
// Appends the record's bytes as a GAME file stores them.
void WriteGameRecord(std::string& out, const GameRecord& record);
// Replays the record's moves from the position on the board, checking each as a PGN move is
// checked; an illegal stored move raises an error. The moves are taken back.
void CheckGameMoves(const GameRecord& record);
// Appends the game as PGN: its Result tag and one line of coordinate moves.
void WritePgnGame(std::string& out, const GameRecord& record);
// Appends the POS line of the current position as the position before move p.
void WritePosLine(std::string& out, const GameRecord& record, int p);
// The POS lines of the game's first min(n, 64) positions, appended as its moves are replayed and
// checked; an illegal stored move raises an error (callers write a game's text once it is whole).
void WriteGamePositions(std::string& out, const GameRecord& record);
// The same lines, each into out[the first hexadecimal digit of its key].
void WriteGamePositionsByKey(std::string (&out)[16], const GameRecord& record);

// ---- Files of the tools ----
// A line of a text file read whole, whatever bytes it holds: the characters kept, the bytes
// read (line end included), whether it had more characters than kept, and whether it holds a NUL.
struct TextLine {
  size_t length, consumed;
  bool tooLong, hasNul;
};
// Reads the next line, keeping its first limit characters (without the line end and a carriage
// return before it) in text, which holds limit + 2 bytes; false at the end of the file.
bool ReadTextLine(std::FILE* file, char* text, size_t limit, TextLine& line);
// Opens a file for reading when it is a regular one, without waiting, so that a pipe or device
// in its place is refused rather than waited on; info (when given) gets its status. -1 otherwise:
// errno says why open failed, and is 0 when the name is there but no regular file.
struct stat;
int OpenRegularFile(const char* name, struct stat* info = nullptr);
// True when both names are one existing file, whatever the paths (same device and inode).
bool IsSameFile(const char* a, const char* b);
// Output files made anew as one set: each is written under a temporary name beside its own and
// renamed over it only when every file of the set was written whole, so that a failure leaves
// the old files as they were. Temporary files not renamed are removed.
class NewFileSet {
 public:
  NewFileSet() = default;
  ~NewFileSet();
  NewFileSet(const NewFileSet&) = delete;
  NewFileSet& operator=(const NewFileSet&) = delete;
  // The file to write for name; nullptr when name is a directory or another file that is not
  // a regular one, or when no temporary file can be made beside it.
  std::FILE* Add(const std::string& name);
  // Closes the files and renames each over its name when all were written whole; false when
  // one was not (or a rename failed), with Failed() naming it.
  bool Commit();
  const std::string& Failed() const { return failed_; }

 private:
  struct Entry {
    std::string name, temporary;
    std::FILE* file;
  };
  std::vector<Entry> entries_;
  std::string failed_;
};

// ---- Conversion commands (working directory; progress and summaries on standard output) ----
void Pgn2Pos(const char* pgnName);
void Pgn2Game(const char* pgnName, const char* gameName);
void PgnList2Game(const char* listName, const char* gameName);
void Game2Pgn(const char* gameName, const char* pgnName);
void Game2Pos(const char* gameName, const char* posName);
