// Endgame tables of two kings with one or two other men: the indexing shared by all parts,
// the table files, the retrograde generator and the probing library "egbbdll.so" behind the
// two C calls load_egbb_5men and probe_egbb_5men.
//
// Squares follow the library's calls: a1 = 0, b1 = 1 ... h8 = 63 (the engine's square XOR 56).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// ---- Men ----
// Codes: white king 1, queen 2, rook 3, bishop 4, knight 5, pawn 6; black men add 6. The
// men other than the kings use the library call's piece codes.
enum EgbbKindValue : int { EgbbKing = 1, EgbbQueen = 2, EgbbRook = 3, EgbbBishop = 4, EgbbKnight = 5, EgbbPawn = 6 };
inline constexpr int EgbbBlack = 6;
inline constexpr bool EgbbIsBlack(int code) { return code > EgbbBlack; }
inline constexpr int EgbbKindOf(int code) { return EgbbIsBlack(code) ? code - EgbbBlack : code; }
inline constexpr int EgbbFileOf(int s) { return s & 7; }
inline constexpr int EgbbRankOf(int s) { return s >> 3; }

// A position of the tables: entry 0 the white king, entry 1 the black king, then the men.
inline constexpr int EgbbMaxMen = 4;
struct EgbbPosition {
  int side;   // 0 white to move, 1 black
  int count;  // men on the board, kings included: 2 to 4
  int code[EgbbMaxMen];
  int square[EgbbMaxMen];
};

// ---- The tables ----
struct EgbbTable {
  char name[8];  // "kqkr": white's men after the first k, black's after the second
  int men;       // men besides the kings, in index order: white's first, stronger first
  int code[2];
  int kingSlots;  // 10 (white king in a1-d1-d4) without pawns, 32 (files a-d) with pawns
  uint64_t size;  // entries of both sides to move
};
// Every ending of three and four men with the stronger side white, in generation order: a
// table comes after the tables its captures and promotions lead to.
inline constexpr int EgbbTableCount = 35;
extern const std::array<EgbbTable, EgbbTableCount> EgbbTables;
// Table number of a name such as "kqkr", -1 for none.
int EgbbFindTable(const std::string& name);

// Entry values: 0 draw, 1 no position (illegal, or another form of a stored position), else
// 2 + the distance to mate in plies: odd distances win for the side to move, even ones lose.
inline constexpr uint8_t EgbbDraw = 0, EgbbNoEntry = 1;
inline constexpr int EgbbMaxDistance = 253;
inline constexpr uint8_t EgbbDistanceValue(int plies) { return static_cast<uint8_t>(plies + 2); }
inline constexpr bool EgbbIsDistance(uint8_t v) { return v >= 2; }
inline constexpr int EgbbDistance(uint8_t v) { return v - 2; }

// ---- Stored orientation, shared by the index and the generator ----
// Square maps of the board's mirror images: bit 1 exchanges the files (a with h ...), bit 2 the
// ranks, bit 4 reflects in the a1-h8 diagonal; combined bits apply them in that order.
inline constexpr int EgbbDiagonalMirror = 4;
inline constexpr std::array<std::array<uint8_t, 64>, 8> EgbbMirrors = [] {
  std::array<std::array<uint8_t, 64>, 8> maps{};
  for (int mirror = 0; mirror < 8; mirror++)
    for (int s = 0; s < 64; s++) {
      int image = s ^ (mirror & 1 ? 7 : 0) ^ (mirror & 2 ? 56 : 0);
      if (mirror & 4) image = (EgbbFileOf(image) << 3) | EgbbRankOf(image);
      maps[mirror][s] = uint8_t(image);
    }
  return maps;
}();
inline constexpr bool EgbbOnDiagonal(int s) { return EgbbFileOf(s) == EgbbRankOf(s); }
// Row 0 for tables without pawns, whose white king stands in the triangle a1-d1-d4; row 1 for
// tables with pawns, king on files a-d. By the white king's square: the mirror image that brings
// it there (the files, then the ranks, then the diagonal as needed), and its slot there.
inline constexpr std::array<std::array<uint8_t, 64>, 2> EgbbKingMirror = [] {
  std::array<std::array<uint8_t, 64>, 2> mirror{};
  for (int s = 0; s < 64; s++) {
    const int file = EgbbFileOf(s) > 3 ? 7 - EgbbFileOf(s) : EgbbFileOf(s);
    const int rank = EgbbRankOf(s) > 3 ? 7 - EgbbRankOf(s) : EgbbRankOf(s);
    mirror[0][s] = uint8_t((EgbbFileOf(s) > 3 ? 1 : 0) | (EgbbRankOf(s) > 3 ? 2 : 0) | (rank > file ? 4 : 0));
    mirror[1][s] = uint8_t(EgbbFileOf(s) > 3 ? 1 : 0);
  }
  return mirror;
}();
inline constexpr std::array<std::array<int8_t, 64>, 2> EgbbKingSlot = [] {
  std::array<std::array<int8_t, 64>, 2> slot{};
  int triangle = 0;
  for (int s = 0; s < 64; s++) {
    slot[0][s] = EgbbFileOf(s) <= 3 && EgbbRankOf(s) <= EgbbFileOf(s) ? int8_t(triangle++) : int8_t(-1);
    slot[1][s] = EgbbFileOf(s) <= 3 ? int8_t(EgbbRankOf(s) * 4 + EgbbFileOf(s)) : int8_t(-1);
  }
  return slot;
}();

// Where a position is stored: its table (-1: the two kings alone, always drawn) and entry.
struct EgbbLocation {
  int table;
  uint64_t index;
};
// Finds the entry of a legal-looking position of any colours and orientation (kings apart,
// men on distinct squares, no pawn on the first or last rank); false for anything else.
bool EgbbLocate(const EgbbPosition& p, EgbbLocation& where);
// The call's answer for a value: a win in n plies 17000 - 10 n, a loss its negation, a draw
// 0, no position 99999.
int EgbbScore(uint8_t value);
inline constexpr int EgbbNoAnswer = 99999;

// ---- Table files ("kqkr.tvb" in the table directory) ----
// Little-endian: "TVXEGBB" and a version byte, the table name in 8 bytes, the entry count
// (8 bytes), the entries per block (4), the block count (4), block count + 1 offsets of 8
// bytes into the data, then the blocks, each compressed on its own with zstd.
inline constexpr uint32_t EgbbBlockEntries = 1u << 15;
struct EgbbFile {
  int table = -1;
  uint32_t blocks = 0;
  std::vector<uint64_t> offsets;  // blocks + 1, relative to dataStart
  uint64_t dataStart = 0;
  std::vector<uint8_t> bytes;  // the whole file when it is held in memory
  int descriptor = -1;         // otherwise the open file
};
std::string EgbbFileName(const std::string& directory, int table);
// Writes a table's values compressed; false when the file cannot be written.
bool EgbbWriteFile(const std::string& directory, int table, const std::vector<uint8_t>& values);
// Checks a file's header and size against its table; inMemory reads it whole, otherwise
// blocks are read from the open file when asked. False (and nothing kept) when unusable.
bool EgbbOpenFile(const std::string& directory, int table, bool inMemory, EgbbFile& file);
// The same checks on bytes already read (the fuzz target's entry).
bool EgbbParseFile(std::vector<uint8_t> bytes, int table, EgbbFile& file);
void EgbbCloseFile(EgbbFile& file);
// Decompresses one block into out (room for EgbbBlockEntries); false when it is damaged.
bool EgbbReadBlock(const EgbbFile& file, uint32_t block, uint8_t* out);
// Entries in block b of a table.
uint32_t EgbbBlockSize(int table, uint32_t block);

// ---- Generator ----
// Makes the named tables (all when none are named) that are missing or unreadable in the
// directory, with the tables they lead to, printing a progress line for each; false on an
// unknown name or a write failure.
bool EgbbGenerate(const std::string& directory, const std::vector<std::string>& names);

// ---- Library (the engine's two calls, exported from egbbdll.so with C linkage) ----
#define EGBB_EXPORT __attribute__((visibility("default")))
extern "C" {
// Opens the tables found in path; cacheBytes bounds the decoded blocks kept; loadOption 0
// reads blocks from disk when they are needed, any other value holds the files in memory.
EGBB_EXPORT void load_egbb_5men(char* path, int cacheBytes, int loadOption);
// Score for the side to move (0 white) of kings and up to three men, or 99999.
EGBB_EXPORT int probe_egbb_5men(int side, int whiteKing, int blackKing, int piece1, int square1, int piece2,
                                int square2, int piece3, int square3);
}
