// Process-wide search state, the clock the engine sets for it, and the periodic clock and input check.
#include "search/search.h"

MoveEntry MoveStack[MoveStackSize];
uint32_t NodeCount;
uint32_t NextPollAt;
bool StopSearch;
int IterationDepth;
int MaxDepth = 127;
int AspirationState;
uint32_t CheckCount[2];
bool AllMovesDraw, AllMovesLose;
char PVBuffer[1024];
bool PostThinking = true;
Move IterationBestMove;
int RootMoveCount, RootMovesSearched;

int EngineState = Force;
int MovesPerControl = 35;
int MovesToGo = 35;
int64_t Increment;
int64_t MoveBudget;
int64_t SearchStart;
uint32_t BudgetGeneration;
int64_t MoveDeadline = -1;
SearchEffect InputStop;
SearchLimitSettings SearchLimits;
bool (*ReadSearchInput)() = [] { return false; };

bool TimeUp() {
  if (SearchWithoutClock()) return false;
  int64_t now = Now();
  if (MoveDeadline >= 0 && now >= MoveDeadline) return true;
  return SearchStart + MoveBudget - now <= 0 && IterationDepth > 2;
}

// The clock (and the node limit) is read every 1,024 nodes and the input looked at every 5
// milliseconds, so that a slow build or machine still stops at the hard limit and notices the
// opponent's move in time.
bool CheckTimeAndInput() {
  static int64_t lastInputLook;
  if (NodeCount <= NextPollAt || StopSearch) return StopSearch;
  NextPollAt += SearchLimits.clockNodes;
  if (TimeUp() || (SearchLimits.nodes && NodeCount >= SearchLimits.nodes)) return StopSearch = true;
  int64_t now = Now();
  if (now - lastInputLook < SearchLimits.inputMilliseconds) return false;
  lastInputLook = now;
  if (ReadSearchInput()) {
    if (StopSearch) return true;
    if (TimeUp()) return StopSearch = true;
  }
  return false;
}
