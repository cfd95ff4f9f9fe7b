// Shared set-up for the search tests: table initialisation and a bounded iterative-deepening run.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdint>
#include <string>
#include "board/board.h"
#include "engine/engine.h"
#include "eval/eval.h"
#include "search/search.h"

namespace search_test {

// Standard input becomes an open pipe with nothing in it, so that the search's input poll neither
// reads the test runner's input nor takes a closed input for "quit".
inline void QuietInput() {
  int ends[2];
  if (pipe(ends) == 0) dup2(ends[0], STDIN_FILENO);
}

inline void InitOnce() {
  static bool done = (InitTables(), InitPhaseTables(), QuietInput(), true);
  (void)done;
}

struct SearchRun {
  int Score;
  Move Best;
  uint32_t Nodes;
  std::string Output;  // the thinking lines printed on standard output
};

inline int ResultScore(uint32_t result) { return static_cast<int16_t>(result & 0xFFFF); }
inline Move ResultMove(uint32_t result) { return static_cast<Move>(result >> 16); }

// Runs iterative deepening on the current position up to maxDepth, with time to spare unless a budget
// in milliseconds is given.
inline SearchRun SearchCurrent(int maxDepth, int64_t budget = 1000000000) {
  MaxDepth = maxDepth;
  MoveBudget = budget;
  MoveDeadline = -1;
  EngineState = Thinking;
  StopSearch = false;
  PendingCommand = false;
  SearchStart = Now();
  testing::internal::CaptureStdout();
  uint32_t result = IterativeDeepening();
  std::string output = testing::internal::GetCapturedStdout();
  return {ResultScore(result), ResultMove(result), NodeCount, output};
}

// Sets up fen from a fresh state (table, killers and statistics cleared) and searches it.
inline SearchRun SearchFen(const char* fen, int maxDepth) {
  InitOnce();
  EXPECT_TRUE(SetupGame(fen)) << fen;
  return SearchCurrent(maxDepth);
}

inline std::string MoveText(Move m) {
  char text[8];
  MoveToText(m, text);
  return text;
}

}  // namespace search_test
