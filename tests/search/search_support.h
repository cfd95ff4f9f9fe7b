// Shared set-up for the search tests: a quiet standard input and a bounded iterative-deepening run.
#pragma once
#include <unistd.h>
#include "../movegen/movegen_helpers.h"
#include "search/search.h"

namespace search_test {

using namespace movegen_test;

// Standard input becomes an open pipe with nothing in it, so that the search's input poll neither
// reads the test runner's input nor takes a closed input for "quit".
inline const bool InputQuiet = [] {
  int ends[2];
  return pipe(ends) == 0 && dup2(ends[0], STDIN_FILENO) >= 0;
}();

struct SearchRun { int Score; Move Best; uint32_t Nodes; std::string Output; };  // Output: the thinking lines

// Runs iterative deepening on the current position up to maxDepth, with time to spare unless a budget
// in milliseconds is given.
inline SearchRun SearchCurrent(int maxDepth, int64_t budget = 1000000000) {
  MaxDepth = maxDepth;
  MoveBudget = budget;
  MoveDeadline = -1;
  EngineState = Thinking;
  StopSearch = false;
  SearchStart = Now();
  testing::internal::CaptureStdout();
  uint32_t result = IterativeDeepening();
  std::string output = testing::internal::GetCapturedStdout();
  return {static_cast<int16_t>(result & 0xFFFF), static_cast<Move>(result >> 16), NodeCount, output};
}

// Sets up fen from a fresh state (table, killers and statistics cleared) and searches it.
inline SearchRun SearchFen(const char* fen, int maxDepth) {
  EXPECT_TRUE(SetupGame(fen)) << fen;
  return SearchCurrent(maxDepth);
}

// A table entry as "move bound score"; the one the searches left for the position on the board.
inline std::string Entry(Move m, int bound, int score) {
  return Text(m) + " " + std::to_string(bound) + " " + std::to_string(score);
}
inline std::string Stored() {
  const TTSlot* e = ProbeTT(Position.PositionKey, Position.SideToMove);
  return e ? Entry(TTMove(e), TTBound(e), TTScore(e)) : "nothing";
}

// Cumulative perft count of depth through the ply records, as the "perft" command runs it.
inline uint64_t CountFromRoot(int depth) {
  PlyRecord* start = CurrentPly;
  start->ListEnd = MoveStack;
  CurrentPly = start + 1;
  StopSearch = false;
  NextPollAt = UINT32_MAX;  // counted without looking at the input
  uint64_t n = PerftCount(depth);
  CurrentPly = start;
  return n;
}

}  // namespace search_test
