// Search: transposition table, alpha-beta and quiescence searches, move ordering,
// root search with iterative deepening, and perft.
#pragma once
#include "board/board.h"

// ---- Scores ----
inline constexpr int ScoreInfinity = 8190;  // also the abort value
inline constexpr int ScoreMate = 8100;       // mated at ply p scores p - 8100
inline constexpr int ScoreIllegal = -8191;   // root list: illegal or excluded by the bitbases

// ---- Transposition table ----
enum BoundType : int { BoundExact = 0, BoundLower = 0x80, BoundUpper = 0x100 };

struct TTSlot {
  uint32_t Word0;  // key low-word bits 16-31, move in bits 0-15
  uint32_t Word1;  // key high word
  uint32_t Word2;  // depth 0-6, bound 7-8, age 9-17, score + 8190 in 18-31
};
struct TTBucket {
  TTSlot Slot[3];
};
inline constexpr int TTBucketCount = 1 << 19;
// One half per side to move: [0] black, [1] white.
extern TTBucket TranspositionTable[2][TTBucketCount];

inline Move TTMove(const TTSlot* s) { return static_cast<Move>(s->Word0 & 0xFFFF); }
inline int TTDepth(const TTSlot* s) { return s->Word2 & 0x7F; }
inline int TTBound(const TTSlot* s) { return s->Word2 & 0x180; }
inline int TTAge(const TTSlot* s) { return (s->Word2 >> 9) & 0x1FF; }
inline int TTScore(const TTSlot* s) { return static_cast<int>(s->Word2 >> 18) - 8190; }

// The first slot of the position's bucket that holds it, or nullptr.
TTSlot* ProbeTT(uint64_t key, int side);
void StoreTT(uint64_t key, int side, Move move, int score, int depth, int bound);
void StoreRootTT(uint64_t key, int side, Move move, int score, int depth, int bound);
void ClearTT();
void ShrinkTT(int n);
void RenormaliseAge();

// ---- Search state ----
inline constexpr int MoveStackSize = (PlyRecordCount + 4) * MaxMovesPerList;
extern MoveEntry MoveStack[MoveStackSize];

extern uint32_t NodeCount;
extern uint32_t NextPollAt;
extern bool StopSearch;
extern int IterationDepth;
extern int MaxDepth;
extern int AspirationState;
extern uint32_t CheckCount[2];
extern bool AllMovesDraw, AllMovesLose;
extern char PVBuffer[1024];

extern int32_t HistoryTable[2][4096];
extern uint64_t CutoffCount[12][64];  // by PieceCode - 1 and destination square
extern uint64_t TryCount[12][64];

// HistoryTable to 0, CutoffCount and TryCount to 1.
void ResetOrderingStatistics();
// Both killer slots of every ply record to 0.
void ClearKillers();

// Clock and input check run by the searches every 16,384 nodes; true when the search must stop.
bool CheckTimeAndInput();

int Search(int depth, int ply, int alpha, int beta, int nullAllowed);
int Quiesce(int depth, int ply, int alpha, int beta);
int RootSearch(int alpha, int beta);
// {score in the low 16 bits, move in the high 16 bits}.
uint32_t IterativeDeepening();
int PrincipalVariationText(char* buffer, int n);

void Perft(int n);
uint64_t PerftCount(int depth);
