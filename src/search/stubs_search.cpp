// Placeholders until the search lands; each definition goes when the real one arrives.
#include "search/search.h"
TTBucket TranspositionTable[2][TTBucketCount];
TTSlot* ProbeTT(uint64_t, int) { return nullptr; }
void StoreTT(uint64_t, int, Move, int, int, int) {}
void StoreRootTT(uint64_t, int, Move, int, int, int) {}
void ClearTT() {}
void ShrinkTT(int) {}
void RenormaliseAge() {}
MoveEntry MoveStack[MoveStackSize];
uint32_t NodeCount, NextPollAt;
bool StopSearch;
int IterationDepth, MaxDepth = 127, AspirationState;
uint32_t CheckCount[2];
bool AllMovesDraw, AllMovesLose;
char PVBuffer[1024];
int32_t HistoryTable[2][4096];
uint64_t CutoffCount[12][64], TryCount[12][64];
void ResetOrderingStatistics() {}
void ClearKillers() {}
bool CheckTimeAndInput() { return false; }
int Search(int, int, int, int, int) { return 0; }
int Quiesce(int, int, int, int) { return 0; }
int RootSearch(int, int) { return 0; }
uint32_t IterativeDeepening() { return 0; }
int PrincipalVariationText(char* b, int) { b[0] = 0; return 8190; }
