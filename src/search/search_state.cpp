// Process-wide search state and the periodic clock and input check.
#include "engine/engine.h"
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

// The clock is read every ClockInterval nodes and the input looked at every InputInterval
// milliseconds, so that a slow build or machine still stops at the hard limit and notices the
// opponent's move in time.
bool CheckTimeAndInput() {
  static int64_t lastInputLook;
  if (NodeCount <= NextPollAt || StopSearch) return StopSearch;
  NextPollAt += ClockInterval;
  if (TimeUp()) return StopSearch = true;
  int64_t now = Now();
  if (now - lastInputLook < InputInterval) return false;
  lastInputLook = now;
  if (InputPending() != 0) {
    PollInput();
    if (StopSearch) return true;
    if (TimeUp()) return StopSearch = true;
  }
  return false;
}
