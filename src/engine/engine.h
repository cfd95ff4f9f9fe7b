// Engine control: entry point, command loop, log, start-up, thinking and time
// control, result announcements, the bitbase interface and the platform layer.
#pragma once
#include <cstdint>
#include "board/board.h"

enum EngineStateValue : int { Force = 0, Thinking = 1, Pondering = 2, Waiting = 3, Quit = 4 };

inline constexpr int CommandBufferSize = 256;
extern char CommandBuffer[CommandBufferSize];
extern bool PendingCommand;
extern int EngineState;
extern bool PonderEnabled;
extern Move PonderMove;

// Time control, all times in milliseconds of the engine clock.
extern int MovesPerControl;
extern int MovesToGo;
extern int64_t Increment;
extern int64_t MoveBudget;
extern int64_t SearchStart;
extern int64_t LastOwnClock;  // the engine's clock from the last time command, -1 before any

// ---- Log ("Tirvex.log") ----
void OpenLog();
void CloseLog();
// One whole line, flushed at once.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Text without an added line end or flush.
void LogText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- Platform ----
// Milliseconds since program start.
int64_t Now();
// Bytes waiting on standard input; 1 when the input is closed or broken.
int InputPending();
// Reads one whitespace-separated word into buffer; false at end of input.
bool ReadWord(char* buffer, int size);
void IgnoreInterrupts();

// ---- Commands and control ----
bool Startup();
void CommandLoop();
void StopEngine();
void ComputeMoveBudget(int ownClock, int opponentClock);
bool TimeUp();
void PollInput();
void StartEngine(bool goodPonder);
void think();

// ---- Endgame bitbases ----
extern bool BitbasesLoaded;
extern bool BitbaseProbing;
extern int BitbaseLoadMode;
bool LoadBitbases(const char* directory, int cacheMegabytes, int loadOption);
// Score for the side to move, or 99999 when the bitbases have no answer.
int ProbeBitbases();
