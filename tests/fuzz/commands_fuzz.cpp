// The command loop fed any words and lines, as a hostile interface might send them: no crash,
// no sanitizer report, no hang, and a consistent board whatever the stream did.
#include <fcntl.h>
#include <unistd.h>
#include <cstring>
#include <string>
#include "fuzz_support.h"
#include "search/search.h"

namespace {

// Tool commands take file names from the input; they have fuzz targets of their own, on their
// readers, so that a stream here never writes files. A table of gigabytes (memory) would pass
// the fuzzer's memory limit.
bool Skipped(const std::string& text) {
  for (const char* word : {"pgn2", "game2", "pgnlist", "dbcreate", "bookcreate", "memory"})
    if (text.find(word) != std::string::npos) return true;
  return false;
}

// Standard input becomes a pipe holding the whole stream and then its end.
void FeedInput(const uint8_t* data, size_t size) {
  int ends[2];
  if (pipe(ends) != 0) std::abort();
  fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
  if (write(ends[1], data, size) != static_cast<ssize_t>(size)) std::abort();
  close(ends[1]);
  dup2(ends[0], STDIN_FILENO);
  close(ends[0]);
  std::clearerr(stdin);
}

// The state start-up leaves: a new game, default clocks, pondering on.
void ResetEngine() {
  SetupGame(InitialFen);
  EngineState = Waiting;
  PonderEnabled = true;
  PonderMove = 0;
  MovesPerControl = MovesToGo = 35;
  Increment = MoveBudget = SearchStart = 0;
  LastOwnClock = LevelBaseTime = MoveDeadline = -1;
  FixedMoveTime = 0;
  DepthLimit = 0;
  PostThinking = true;
  AnalysisDone = false;
}

// Searches stop after a few hundred nodes and look at the waiting input every few dozen, so
// that a stream of searches and ponders runs in a millisecond, not on the clock, and still meets
// words while it searches.
void LimitSearches() {
  std::setvbuf(stdin, nullptr, _IONBF, 0);
  SearchLimits = {32, 0, 256};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  static bool limited = (LimitSearches(), true);
  (void)limited;
  std::string text(reinterpret_cast<const char*>(data), size);
  if (Skipped(text)) return 0;
  ResetEngine();
  FeedInput(data, size);
  CommandLoop();
  char word[CommandBufferSize];
  while (ReadWord(word, sizeof word)) {}  // what a quit left unread
  if (!PositionIsConsistent()) std::abort();
  return 0;
}
