// Board and moves: geometry, precomputed tables, the global position, the move
// maker and the attack, legality and draw tests.
#pragma once
#include <bit>
#include <cstdint>
#include <cstdio>

using Bitboard = uint64_t;
using Move = uint16_t;

// Colours: every table indexed by colour has black first.
enum Colour : int { Black = 0, White = 1 };

// PieceCode values: odd codes are white, (code + 1) / 2 is the piece type.
enum PieceCodeValue : uint8_t {
  Empty = 0, WhitePawn = 1, BlackPawn = 2, WhiteKnight = 3, BlackKnight = 4,
  WhiteBishop = 5, BlackBishop = 6, WhiteRook = 7, BlackRook = 8,
  WhiteQueen = 9, BlackQueen = 10, WhiteKing = 11, BlackKing = 12
};
inline constexpr char PieceLetters[] = ".PpNnBbRrQqKk";
inline constexpr int PieceColour(int code) { return code & 1; }

// Squares count from a8 (0) along the ranks to h1 (63).
enum SquareName : int {
  A8 = 0, B8 = 1, C8 = 2, D8 = 3, E8 = 4, F8 = 5, G8 = 6, H8 = 7,
  A7 = 8, B7 = 9, C7 = 10, D7 = 11, E7 = 12, F7 = 13, G7 = 14, H7 = 15,
  A6 = 16, B6 = 17, C6 = 18, D6 = 19, E6 = 20, F6 = 21, G6 = 22, H6 = 23,
  A5 = 24, B5 = 25, C5 = 26, D5 = 27, E5 = 28, F5 = 29, G5 = 30, H5 = 31,
  A4 = 32, B4 = 33, C4 = 34, D4 = 35, E4 = 36, F4 = 37, G4 = 38, H4 = 39,
  A3 = 40, B3 = 41, C3 = 42, D3 = 43, E3 = 44, F3 = 45, G3 = 46, H3 = 47,
  A2 = 48, B2 = 49, C2 = 50, D2 = 51, E2 = 52, F2 = 53, G2 = 54, H2 = 55,
  A1 = 56, B1 = 57, C1 = 58, D1 = 59, E1 = 60, F1 = 61, G1 = 62, H1 = 63,};
inline constexpr int RankIndex(int s) { return s >> 3; }  // 0 = rank 8
inline constexpr int FileIndex(int s) { return s & 7; }   // 0 = file a

// Move word: to-square bits 0-5, from-square bits 6-11, kind bits 12-15.
enum MoveKindValue : int {
  KindQuiet = 0, KindCapture = 1, KindEnPassant = 2, KindMarker = 3,
  KindPromoQueen = 4, KindPromoKnight = 5, KindPromoRook = 6, KindPromoBishop = 7,
  KindCapPromoQueen = 8, KindCapPromoKnight = 9, KindCapPromoRook = 10, KindCapPromoBishop = 11,
  KindBlackShortCastle = 12, KindWhiteShortCastle = 13, KindBlackLongCastle = 14, KindWhiteLongCastle = 15
};
inline constexpr int MoveTo(Move m) { return m & 63; }
inline constexpr int MoveFrom(Move m) { return (m >> 6) & 63; }
inline constexpr int MoveKind(Move m) { return m >> 12; }
inline constexpr Move MakeMoveWord(int from, int to, int kind) {
  return static_cast<Move>((kind << 12) | (from << 6) | to);
}
inline constexpr bool IsMarker(Move m) { return MoveKind(m) == KindMarker; }

// Marker words stored where a move is expected; never made on the board.
inline constexpr Move MarkerCheckmated = 0x3000;
inline constexpr Move MarkerStalemate = 0x3041;
inline constexpr Move MarkerRepetition = 0x3082;
inline constexpr Move MarkerFiftyMoves = 0x3186;
inline constexpr Move MarkerInsufficient = 0x31C7;
inline constexpr Move MarkerNullMove = 0x3104;
inline constexpr Move MarkerNoBestMove = 0x3208;
inline constexpr Move MarkerStandPat = 0x3249;
inline constexpr Move MarkerBitbase = 0x32CB;

// Castling rights bits.
inline constexpr uint16_t RightWhiteShort = 1, RightWhiteLong = 2, RightBlackShort = 8, RightBlackLong = 16;
inline constexpr uint16_t CastleRightBits[4] = {RightWhiteShort, RightWhiteLong, RightBlackShort, RightBlackLong};
// Castling-right bit -> square of the key (in row 0 of the key table) that losing it adds.
constexpr int RightKeySquare(uint16_t right) {
  return right == RightWhiteShort ? G1 : right == RightWhiteLong ? C1 : right == RightBlackShort ? G8 : C8;
}

// ---- The running log ("Tirvex.log") and the clock, used by every floor ----
void OpenLog();
void CloseLog();
// One whole line, flushed at once.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Text without an added line end or flush.
void LogText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Milliseconds since program start.
int64_t Now();

// ---- Precomputed tables (filled once by the initialisers, read-only afterwards) ----
extern Bitboard SquareMask[64], SquareMaskR90[64], SquareMaskR45[64], SquareMaskL45[64];
extern Bitboard KingAttacks[64], KnightAttacks[64], PawnAttacks[2][64];
extern Bitboard RankAttacks[64][256], FileAttacks[64][256];
extern Bitboard DiagR45Attacks[64][256], DiagL45Attacks[64][256];
extern uint8_t R45Shift[64], R45Mask[64], L45Shift[64], L45Mask[64];
extern Bitboard RookRays[64], BishopRays[64], QueenRays[64];
extern Bitboard FileMaskExcl[64], AdjacentFiles[64];
extern Bitboard PassedSpan[2][64], FrontSpan[2][64];
extern Bitboard EpToggleR90[64], EpToggleR45[64], EpToggleL45[64];

// Square of the least significant set bit; an empty set answers 63 (h1).
inline int LowestSquare(Bitboard b) { return b ? 63 - std::countr_zero(b) : 63; }
inline int PopCount(Bitboard b) { return std::popcount(b); }
// Marks the definition of a hot function that counts bits: it is compiled twice, with the
// processor's population-count instruction and without it, each with its callees inlined, and
// the loader picks the version the processor can run, so that one program runs on every x86-64
// machine at the speed of the newer ones. Clang (the fuzz build) cannot combine the two
// attributes and builds the portable version alone.
#if defined(__x86_64__) && !defined(__clang__)
#define POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default"), flatten))
#else
#define POPCOUNT_CLONES
#endif

// Remembers the entries of a large table written since it was last cleared, while they are
// few, so that clearing after a short use (a test, a fuzz run) rewrites those entries only.
template <uint32_t Capacity>
class WrittenEntries {
 public:
  void Note(uint32_t entry) {
    if (count_ < Capacity) entries_[count_] = entry;
    if (count_ <= Capacity) count_++;
  }
  // Calls clearEntry(entry) for each entry noted, or clearAll() when they were too many to keep.
  template <typename ClearEntry, typename ClearAll>
  void Clear(ClearEntry clearEntry, ClearAll clearAll) {
    if (count_ > Capacity) clearAll();
    else
      for (uint32_t i = 0; i < count_; i++) clearEntry(entries_[i]);
    count_ = 0;
  }

 private:
  uint32_t entries_[Capacity];
  uint32_t count_ = 0;
};

void InitKingAttacks();
void InitPawnAttacks();
void InitKnightAttacks();
void InitRankAttacks();
void InitFileAttacks();
void InitDiagR45Attacks();
void InitDiagL45Attacks();
void InitMasks();
void InitEpToggles();
// Runs the nine board initialisers in their order (start-up then selects the evaluation's phase tables).
void InitTables();

Bitboard RotateR90(Bitboard b);
Bitboard RotateR45(Bitboard b);
Bitboard RotateL45(Bitboard b);

// ---- The position ----
struct PositionState {
  Bitboard Occupied, OccupiedR90, OccupiedR45, OccupiedL45;
  Bitboard ColourBoard[2];
  Bitboard PieceBoard[13];  // indexed by PieceCode 1..10; the king entries stay empty
  uint64_t PositionKey;
  uint32_t PawnKey;
  Move EpdAvoidMove;
  uint8_t EpSquare;
  uint8_t TotalMaterial;
  uint8_t Board[64];
  Move EpdBestMove;
  uint16_t CastleRights;
  uint8_t KingSquare[2];
  uint8_t PieceMaterial[2];
  uint8_t PawnCount[2];
  int32_t SideToMove;
};
extern PositionState Position;

// Attack sets of a slider on s under the current occupancy.
inline Bitboard RankAttacksFrom(int s) { return RankAttacks[s][(Position.Occupied >> (8 * (7 - RankIndex(s)))) & 255]; }
inline Bitboard FileAttacksFrom(int s) { return FileAttacks[s][(Position.OccupiedR90 >> (8 * FileIndex(s))) & 255]; }
inline Bitboard DiagR45AttacksFrom(int s) { return DiagR45Attacks[s][(Position.OccupiedR45 >> R45Shift[s]) & R45Mask[s]]; }
inline Bitboard DiagL45AttacksFrom(int s) { return DiagL45Attacks[s][(Position.OccupiedL45 >> L45Shift[s]) & L45Mask[s]]; }
inline Bitboard RookAttacksFrom(int s) { return RankAttacksFrom(s) | FileAttacksFrom(s); }
inline Bitboard BishopAttacksFrom(int s) { return DiagR45AttacksFrom(s) | DiagL45AttacksFrom(s); }
inline Bitboard QueenAttacksFrom(int s) { return RookAttacksFrom(s) | BishopAttacksFrom(s); }

// Material units by PieceCode (pawn 1, minor 3, rook 5, queen 9).
inline constexpr uint8_t MaterialUnits[13] = {100, 1, 1, 3, 3, 3, 3, 5, 5, 9, 9, 150, 200};

// Key history: one entry per ply played or searched.
struct KeyHistoryEntry {
  uint64_t Key;
  uint16_t Move;  // the move played from this position, 0 until then
  uint16_t HalfmoveClock;
};
inline constexpr int KeyHistorySize = 1024;
extern KeyHistoryEntry KeyHistory[KeyHistorySize];
extern int HistoryTop;  // index of the current position's entry

// Root snapshot of the game position, read by the coordinate-move reader.
extern uint8_t RootBoard[64];
extern uint8_t RootEpSquare;
extern uint16_t RootCastleRights;
extern uint8_t RootKingSquare[2];
extern int32_t RootSideToMove;

extern uint16_t GamePly, SearchAge;

extern const uint64_t ZobristKeys[13][64];

inline constexpr const char* InitialFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// An EPD operation read after the FEN fields: kind 'a' ("am", a move to avoid), 'b' ("bm", the
// best move) or 0 for none, with its move text.
struct EpdOperation {
  char kind;
  char text[10];
};
// Sets up the board, the key history, the root snapshot and the ply counters from FEN text; the
// first "am"/"bm" operation is left in epd. A refused text leaves the previous game whole.
bool SetupPosition(const char* text, EpdOperation* epd = nullptr);
// Puts back the game that the last successful setup replaced.
void RestorePreviousGame();
char* WriteFen(char* buffer);
void PrintBoard(const uint8_t* board);
// Recomputes every derived field from the mailbox and compares (debug consistency check).
bool PositionIsConsistent();

// ---- Ply records and the move list entries ----
struct CheckInfo {
  Bitboard checkers;
  Bitboard rookLines;
  Bitboard bishopLines;
  // Own pieces that stand first on a line from the king towards an enemy slider, the only ones
  // whose move can expose the king (every pinned piece, and perhaps a few more).
  Bitboard screens;
};

struct MoveEntry {
  int16_t Score;
  uint16_t Move;
};

inline constexpr int MaxMovesPerList = 256;

struct PlyRecord {
  CheckInfo Check;
  // Board state saved before the first move of a node, restored by UnmakeMove.
  Bitboard SavedOccupied, SavedColourBoard, MovedPieceBoard;
  Bitboard SavedOccupiedR90, SavedOccupiedR45, SavedOccupiedL45;
  uint64_t SavedKey;
  uint32_t SavedPawnKey;
  uint16_t SavedCastleRights;
  uint8_t SavedEpSquare;
  uint8_t CapturedCode;
  int8_t MaterialDelta;
  // Search fields.
  bool Reduced;
  Move CurrentMove;  // the move being searched from this node
  MoveEntry* ListStart;
  MoveEntry* ListEnd;  // nullptr: not generated yet
  MoveEntry* Current;
  Move HashMove;
  int HashDepth;
  int HashScore;
  int HashBound;
  Move Killer1, Killer2;
  Move BestMove;
  uint32_t OrderKeys[MaxMovesPerList];
};

inline constexpr int PlyRecordCount = 136;
// PlyRecords[0] is the record before the root; the root is PlyRecords[1].
extern PlyRecord PlyRecords[PlyRecordCount + 1];
extern PlyRecord* CurrentPly;

// ---- Making moves ----
void SaveBoardState(PlyRecord* record);
void MakeMove(Move move, PlyRecord* record);
void UnmakeMove(Move move, PlyRecord* record);
// A game move: refused (logged with the position) unless legal; advances GamePly and SearchAge
// and refreshes the root snapshot. The search's own bookkeeping of a game move is the engine's.
bool MakeRealMove(Move move);
// Writes the lines that the levels above add to the move maker's failure dump (search depth,
// legality, pondered move); set by the engine at start-up.
extern void (*MoveMakerFailureContext)(std::FILE* file);
char* MoveToText(Move move, char* buffer);
Move ReadCoordinateMove(const char* token);
// Full legality of a stored move in the current position (pseudo-legal, rights held, king safe).
bool MoveIsLegal(Move move);

// ---- Attack, check, legality and draw tests ----
void ComputeCheckers(CheckInfo* info);
// True when the side to move is in check.
bool SideToMoveInCheck();
bool KingAttackedAfterMove(Move move, int side);
// The same for a move of the side to move of the position that `before` describes: when it was
// not in check, only a move of the king, en passant, castling or a move of one of its screens
// needs the test.
bool KingAttackedAfterMove(Move move, int side, const CheckInfo& before);
bool ValidateMove(Move move);
uint16_t DetectDraw(int occurrences);
int RepetitionAfterMove(Move move);
void MakeNullMove();
void UnmakeNullMove();
