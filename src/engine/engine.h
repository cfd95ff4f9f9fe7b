// Engine control: entry point, command loop, log, start-up, thinking and time
// control, result announcements, loading the bitbase library and the platform layer.
#pragma once
#include <cstdint>
#include "search/search.h"

inline constexpr int CommandBufferSize = 256;
extern char CommandBuffer[CommandBufferSize];
extern bool PonderEnabled;
extern Move PonderMove;

// The engine's clock in milliseconds from the last time command of this game, -1 before any.
extern int64_t LastOwnClock;
// level's base time in milliseconds, -1 before any level command: with no time command the
// engine's clock is assumed full.
extern int64_t LevelBaseTime;
// st: the time of every move in milliseconds, 0 for none. sd: the depth limit, 0 for none.
extern int64_t FixedMoveTime;
extern int DepthLimit;
// Result of the last IterativeDeepening run: {score in the low 16 bits, move in the high 16 bits}.
extern uint32_t SearchResult;
// The predicted reply is made and taken back through this record, kept apart from the search's.
extern PlyRecord PonderRecord;

// ---- Platform ----
// Bytes waiting in the standard input pipe, -1 when it is closed or broken.
int BytesWaiting();
void IgnoreInterrupts();
// The machine's memory in megabytes, 0 when unknown.
int64_t PhysicalMemoryMegabytes();

// ---- Input ----
// Set while the search's poll reads: it reads standard input only, never the input kept for the
// loop, and a word it gives back goes back to its own input.
extern bool SearchReading;
// Bytes waiting on standard input, 0 when a word read would wait (white space alone is
// consumed); 1 when the input is closed or broken. Input kept for the loop does not count.
int InputPending();
// Keeps the word the poll has just read, with the blank or line end after it (and with the rest
// of its line when withLine), for the command loop, which reads kept input first.
void KeepForLoop(const char* word, bool withLine);
// True while a word kept for the loop waits.
bool InputKept();
// Reads one whitespace-separated word into buffer; false at end of input. A word longer than
// size - 1 characters is consumed whole, its start is kept and InputOverflow is set.
bool ReadWord(char* buffer, int size);
// Reads the rest of the current input line (line end excluded); false at end of input. An
// over-long line is consumed whole, its start kept and InputOverflow set.
bool ReadLine(char* buffer, int size);
extern bool InputOverflow;
// The last moment the input was seen with nothing unread (also set when the engine has just
// moved: no reply can be older), and the earliest moment the last word read can have arrived.
extern int64_t InputQuietAt;
extern int64_t WordArrivedAt;
// Gives a word back to the input: the next ReadWord returns it (and InputPending counts it).
void UnreadWord(const char* word);
// Reads a decimal integer word (sign allowed, reading stops at the first non-digit); false,
// with value unchanged, for a word without digits (which is given back) or an over-long one.
bool ReadInteger(int* value);

// ---- The game ----
// Sets up a position as a new game: the board, cleared search tables, ordering statistics and
// pawn cache, and the EPD "am"/"bm" move; a refused text leaves the previous game whole.
bool SetupGame(const char* text);
// Plays a game move (MakeRealMove) and renews the search's statistics and table ages for it.
bool PlayGameMove(Move move);
// Takes back the last count game moves: the board, key history, root snapshot and GamePly as if
// they had never been made; false, with nothing changed, when fewer were made since the start.
bool TakeBackGameMoves(int count);
// The position on the board becomes the start of the game's record (its side to move was set).
void RestartGameRecord();
// The engine's lines of the move maker's failure dump.
void WriteFailureContext(std::FILE* file);

// ---- Start-up and configuration ----
// Lines of the configuration file: up to 4094 characters and the line end.
inline constexpr int ConfigLineSize = 4096;
struct Configuration {
  char bitbasePath[ConfigLineSize + 1] = "";
  int bitbaseCache = 4;  // megabytes
  int bitbaseLoad = 1;
  int tableMegabytes = 0;  // HASH_MB: the transposition table's size, 0 for the default
  bool bookOpened = false;  // the primary book set opened; PrimaryBook says why not
};
// Applies the "Tirvex.ini" lines of file (the books named are opened at once).
void ReadConfiguration(std::FILE* file, Configuration& config);
bool Startup();

// ---- Commands and control ----
// What a word does when it is read during a search, and whether the rest of its line belongs
// to it (its arguments).
struct CommandInfo {
  SearchEffect effect;
  bool takesArguments;
};
CommandInfo CommandInfoOf(const char* word);
// Runs the command word at once; it reads its arguments from the input.
void RunCommand(const char* word);
void CommandLoop();
// Sizes the transposition table to at most megabytes, and at most half the machine's memory
// (emptied), and logs the size it took.
void SizeTable(int megabytes);
void StopEngine();
void ComputeMoveBudget(int ownClock, int opponentClock);
// Reads the three argument words of a time command (own clock, a word, opponent's clock),
// logs them followed by suffix (unflushed) and computes the move budget.
void ReadClockCommand(const char* suffix);
// Longest time in milliseconds one move may take with ownClock milliseconds on the engine's clock.
int64_t HardTimeLimit(int64_t ownClock);
bool PollInput();
void StartEngine(bool goodPonder);
void think();
// The engine's decision after a search: a game-end marker or a legal move with its score.
struct Decision {
  Move move;
  int score;
};
// Chooses from the root's table entry (slot), the search's result and the root search's own best
// move; a search cut short before its first iteration still gives the best-ordered legal move.
Decision DecideMove(const TTSlot* slot);
// The move a hint names in the current position: the reply the table expects, else a book
// move (the Polyglot book's most weighted one after the own books), else the best-ordered legal
// move; 0 when there is no legal move.
Move HintMove();
// Searches the position on the board without a limit, printing a thinking line each iteration
// and never a move, until input stops it or the search ends by itself (AnalysisDone).
void Analyse();
extern bool AnalysisDone;
// Prepares the answers to hint and bk for a search that answers them at once (pondering,
// analysis), whose board is not the game's: from the game's position, predicted being the
// reply pondered on.
void PrepareAnswers(Move predicted);
// Takes the predicted reply back when one is made on the board for pondering.
void RetractPrediction();
// The predicted reply came true: it becomes a game move (GamePly and SearchAge advance).
void AcceptPrediction();

// ---- Endgame bitbases (the search probes what this loads) ----
bool LoadBitbases(const char* directory, int cacheMegabytes, int loadOption);
