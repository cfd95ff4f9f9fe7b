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

bool CheckTimeAndInput() {
  if (NodeCount <= NextPollAt || StopSearch) return StopSearch;
  if (TimeUp()) return StopSearch = true;
  if (InputPending() != 0) {
    if (TimeUp()) return StopSearch = true;
    PollInput();
    if (StopSearch) return true;
    if (TimeUp()) return StopSearch = true;
  }
  NextPollAt += PollInterval;
  return false;
}
