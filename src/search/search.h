// Search: transposition table, alpha-beta and quiescence searches, move ordering,
// root search with iterative deepening, perft, the clock and input check, and bitbase probes.
#pragma once
#include <cstdint>
#include "board/board.h"

// ---- Scores ----
inline constexpr int ScoreInfinity = 8190;  // also the abort value
inline constexpr int ScoreMate = 8100;       // mated at ply p scores p - 8100
inline constexpr int ScoreIllegal = -8191;   // root list: illegal or excluded by the bitbases
inline constexpr int BitbaseNoResult = 99999;
inline constexpr uint32_t PollInterval = 16384;  // nodes between two looks at the input in perft
// How often a search reads the clock and looks at the input, and how far it may go. The engine
// keeps these; a test harness may shorten them.
struct SearchLimitSettings {
  uint32_t clockNodes = 1024;     // nodes between two clock readings
  int64_t inputMilliseconds = 5;  // between two looks at the input
  uint32_t nodes = 0;             // nodes counted before a search or perft stops, 0 for no limit
};
extern SearchLimitSettings SearchLimits;

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
// One half per side to move, TTHalves[0] black and [1] white, of TTBucketCount buckets each (a
// power of two): 2^19 by default, 36 MB in all.
inline constexpr uint32_t DefaultTTBuckets = 1 << 19;
extern TTBucket* TTHalves[2];
extern uint32_t TTBucketCount;

inline Move TTMove(const TTSlot* s) { return static_cast<Move>(s->Word0 & 0xFFFF); }
inline int TTDepth(const TTSlot* s) { return s->Word2 & 0x7F; }
inline int TTBound(const TTSlot* s) { return s->Word2 & 0x180; }
inline int TTAge(const TTSlot* s) { return (s->Word2 >> 9) & 0x1FF; }
inline int TTScore(const TTSlot* s) { return static_cast<int>(s->Word2 >> 18) - 8190; }

// The first slot of the position's bucket that holds it, or nullptr.
TTSlot* ProbeTT(uint64_t key, int side);
// Starts loading the bucket of the position after a move (both cache lines it may span), so that
// the child's probe finds it in the cache: the searches call it for every move of a list once it
// is made, and the loads overlap while the moves are ordered and searched. The key is foreseen
// from the piece moved, the piece taken and the en-passant square given up, all that most moves
// change; for the others the load is wasted. Always inlined: a call to a function that only
// prefetches counts as free of effects, and the compiler drops it.
[[gnu::always_inline]] inline void PrefetchTTAfter(Move move) {
  const int from = MoveFrom(move), to = MoveTo(move), piece = Position.Board[from], taken = Position.Board[to];
  uint64_t key = Position.PositionKey ^ ZobristKeys[piece][from] ^ ZobristKeys[piece][to];
  if (taken) key ^= ZobristKeys[taken][to];
  if (Position.EpSquare) key ^= ZobristKeys[0][Position.EpSquare];
  const auto* bucket = reinterpret_cast<const char*>(
      &TTHalves[Position.SideToMove ^ 1][static_cast<uint32_t>(key) & (TTBucketCount - 1)]);
  __builtin_prefetch(bucket);
  __builtin_prefetch(bucket + sizeof(TTBucket) - 1);
}
void StoreTT(uint64_t key, int side, Move move, int score, int depth, int bound);
void StoreRootTT(uint64_t key, int side, Move move, int score, int depth, int bound);
void ClearTT();
// Sizes the table to the most buckets (a power of two, at least 1,024 a half) that fit in
// megabytes, empty; false, with the table as it was, when the memory cannot be had.
bool ResizeTT(int megabytes);
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
// Thinking lines are printed (post) or not (nopost); analysis prints them either way.
extern bool PostThinking;
// The best root move of the last completed iteration, 0 before the first; the root moves of the
// iteration under way and how many of them have been searched.
extern Move IterationBestMove;
extern int RootMoveCount, RootMovesSearched;

extern int32_t HistoryTable[2][4096];
// The highest history count: the ordering key (history + score + 33000) still fits 32 bits.
inline constexpr int32_t HistoryLimit = INT32_MAX - 66000;
extern uint64_t CutoffCount[12][64];  // by PieceCode - 1 and destination square
extern uint64_t TryCount[12][64];

// HistoryTable to 0, CutoffCount and TryCount to 1.
void ResetOrderingStatistics();
// Both killer slots of every ply record to 0.
void ClearKillers();

// ---- The clock and the input, as the engine running the search sets them ----
// What the program is doing; a pondering search has no clock.
enum EngineStateValue : int { Force = 0, Thinking = 1, Pondering = 2, Waiting = 3, Quit = 4, Analysing = 5 };

extern int EngineState;
// Pondering and analysis search without a clock: only input stops them.
inline bool SearchWithoutClock() { return EngineState == Pondering || EngineState == Analysing; }
// Time control, all times in milliseconds of the engine clock.
extern int MovesPerControl;
extern int MovesToGo;
extern int64_t Increment;
extern int64_t MoveBudget;
extern int64_t SearchStart;
// Counts budget computations, so that a search can tell that a clock command replaced its budget.
extern uint32_t BudgetGeneration;
// Clock value at which the engine's own search stops whatever its depth, so that no move
// can overrun the engine's clock; -1 when no clock is known.
extern int64_t MoveDeadline;
// Pondering and analysis have no limit. Otherwise the search stops at the hard limit whatever its depth,
// and at the end of the budget once an iteration of depth 2 has completed.
bool TimeUp();

// What a word read during a search does there.
enum SearchEffect : int {
  Waits,          // kept for the command loop, which handles it after the search
  Answers,        // answered at once while pondering or analysing (ping, hint, bk); else waits
  MovesNow,       // stops the search; the engine plays the best move found so far ("?", quit)
  EndsPondering,  // stops a pondering search (the loop takes the prediction back); else waits
  EndsSearch,     // stops any search without a move (new, setboard, result, force, undo, remove)
};
// How input stopped the running search: Waits when it did not.
extern SearchEffect InputStop;
// Reads and acts on a word of input when one waits during a search (it may set StopSearch and
// InputStop); true when it read one. The engine's command loop installs its reader; a search
// run on its own reads no input.
extern bool (*ReadSearchInput)();

// Clock and input check run by the searches (the clock every 1,024 nodes, the input every 5 ms);
// true when the search must stop.
bool CheckTimeAndInput();

// ---- Endgame bitbases ----
// The outside library's probe: side, kings, then three (piece, square) slots in its own codes.
using BitbaseProbeFunction = int (*)(int side, int whiteKing, int blackKing, int piece1, int square1, int piece2,
                                     int square2, int piece3, int square3);
// Set when the engine has loaded the library (BitbaseLibrary then holds its probe).
extern bool BitbasesLoaded;
extern BitbaseProbeFunction BitbaseLibrary;
// Cleared by the root search when the tables have chosen the root moves.
extern bool BitbaseProbing;
extern int BitbaseLoadMode;
// Score for the side to move, or BitbaseNoResult when the bitbases have no answer.
int ProbeBitbases();
// The library's score for the side to move scaled to the engine's mate range (99999 passes).
int ConvertBitbaseScore(int libraryScore);

// ---- Move ordering (lazy selection from the node's list in its ply record) ----
inline constexpr int ScoreHashMove = 30000;
inline constexpr int ScoreKiller1 = -9998, ScoreKiller2 = -9999;
inline constexpr int LiftLimit = -8100;     // entries at or below it may be lifted
inline constexpr int HistoryPhase = -10000;  // entries below it are ordered by history
// Gives the hash move and the killers their ordering scores among entries scored at or below limit.
void LiftHashAndKillers(PlyRecord* r, int limit);
// The quiescence variant: hash move 30000, killers keep their score plus 1500 / 1000.
void LiftQuiesceMoves(PlyRecord* r);
// Starts a fresh pass over the list of r.
inline void BeginSelection(PlyRecord* r) { r->Current = r->ListStart; }
// Best remaining entry by score, then by history once scores drop below -10000; nullptr at the end.
MoveEntry* SelectMove(PlyRecord* r, bool& historyPhase);
// Best remaining entry by score only (quiescence); nullptr at the end.
MoveEntry* SelectByScore(PlyRecord* r);
// A quiet or castling move becomes killer 1 (the old killer 1 moves to slot 2); anyMove: every kind learns.
void LearnKiller(PlyRecord* r, Move move, bool anyMove);
// Beta cut-off at depth: killers, history, cut-off statistics; countEarlier also counts the tries listed before cut.
void LearnCutoff(PlyRecord* r, const MoveEntry* cut, int depth, bool countEarlier);
// True when the cut-off rate of this piece on this square is below 60 percent or still untried.
bool ReduceByStatistics(int piece, int to);

// ---- Searches ----
// Reads the table entry of the current position into the record's hash fields; nullptr (hash move and
// depth 0) on a miss.
TTSlot* ProbeIntoRecord(PlyRecord* r);
// True when the record's entry answers the window: exact, lower bound >= beta or upper bound <= alpha.
inline bool EntryCutsOff(const PlyRecord* r, int alpha, int beta) {
  return r->HashBound == BoundExact || (r->HashBound == BoundLower && r->HashScore >= beta) ||
         (r->HashBound == BoundUpper && r->HashScore <= alpha);
}
// Narrows the window to a stored bound that lies inside it.
inline void NarrowWindow(const PlyRecord* r, int& alpha, int& beta) {
  if (r->HashBound == BoundLower && r->HashScore > alpha && r->HashScore < beta) alpha = r->HashScore;
  if (r->HashBound == BoundUpper && r->HashScore < beta && r->HashScore > alpha) beta = r->HashScore;
}
// Prepares the ply records and counters for a new search from the root record.
void PrepareRootSearch();
// Searches the child reached by the move just made from a node at ply: quiescence at the horizon (or
// deep in the tree), a full window until alpha has been raised, then a null window with a re-search.
int SearchChild(int depth, int ply, int alpha, int beta, bool alphaRaised);

int Search(int depth, int ply, int alpha, int beta, int nullAllowed);
int Quiesce(int depth, int ply, int alpha, int beta);
int RootSearch(int alpha, int beta);
// {score in the low 16 bits, move in the high 16 bits}.
uint32_t IterativeDeepening();
// Set per search: the bitbases know the root position, so their filter of the root moves and
// the search's own result choose the move, not an entry of the table (which a search without
// them, or an older deeper one, may have stored).
extern bool RootInBitbases;
// True when the last root search set move aside: illegal, or not among the moves the bitbases
// keep (the winning moves nearest to mate, or the drawing ones).
bool RootExcludes(Move move);
int PrincipalVariationText(char* buffer, int n);

void Perft(int n);
uint64_t PerftCount(int depth);
