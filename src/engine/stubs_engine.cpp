// Placeholders until engine control lands; each definition goes when the real one arrives.
#include "engine/engine.h"
char CommandBuffer[CommandBufferSize];
bool PendingCommand;
int EngineState;
bool PonderEnabled = true;
Move PonderMove;
int MovesPerControl = 35, MovesToGo = 35;
int64_t Increment, MoveBudget, SearchStart, LastOwnClock = -1;
void OpenLog() {}
void CloseLog() {}
void LogLine(const char*, ...) {}
void LogText(const char*, ...) {}
int64_t Now() { return 0; }
int InputPending() { return 0; }
bool ReadWord(char*, int) { return false; }
void IgnoreInterrupts() {}
bool Startup() { return true; }
void CommandLoop() {}
void StopEngine() {}
void ComputeMoveBudget(int, int) {}
bool TimeUp() { return false; }
void PollInput() {}
void StartEngine(bool) {}
void think() {}
bool BitbasesLoaded;
bool BitbaseProbing = true;
int BitbaseLoadMode = 1;
bool LoadBitbases(const char*, int, int) { return false; }
int ProbeBitbases() { return 99999; }
