// Perft: counts the legal move tree of the current position depth by depth,
// through the same ply records, move stack, generators and move maker as the search.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include "movegen/movegen.h"
#include "search/search.h"

namespace {
constexpr int MaxPerftDepth = 127;

// Nodes between two looks at the input: PollInterval, or the node limit when it is lower.
uint32_t PollStep() { return SearchLimits.nodes ? std::min(PollInterval, SearchLimits.nodes) : PollInterval; }

// Every poll step the input is looked at as the search looks at it: "?", "quit", the end of the
// input, a move, or a word that ends a search stop the count, as does the node limit.
bool PerftStopped() {
  if (NodeCount <= NextPollAt || StopSearch) return StopSearch;
  NextPollAt += PollStep();
  ReadSearchInput();
  if (SearchLimits.nodes && NodeCount >= SearchLimits.nodes) StopSearch = true;
  return StopSearch;
}
}  // namespace

uint64_t PerftCount(int depth) {
  PlyRecord* record = CurrentPly;
  ComputeCheckers(&record->Check);
  record->ListStart = (record - 1)->ListEnd;
  record->ListEnd = record->Check.checkers ? GenerateEvasions(record->ListStart, &record->Check)
                                           : GenerateMoves(record->ListStart);
  SaveBoardState(record);
  const int mover = Position.SideToMove;
  uint64_t count = 0;
  for (MoveEntry* e = record->ListStart; e < record->ListEnd; e++) {
    Move move = e->Move;
    NodeCount++;
    MakeMove(move, record);
    CurrentPly = record + 1;
    if (!KingAttackedAfterMove(move, mover, record->Check)) {
      count++;
      if (depth > 1) {
        CurrentPly->ListEnd = nullptr;
        count += PerftCount(depth - 1);
      }
    }
    CurrentPly = record;
    UnmakeMove(move, record);
    if (PerftStopped()) break;
  }
  return count;
}

void Perft(int n) {
  if (n > MaxPerftDepth) n = MaxPerftDepth;
  PlyRecord* start = CurrentPly;
  // Depth n reaches n + 1 records past the start record; never run past the array.
  int room = static_cast<int>(PlyRecords + PlyRecordCount - start) - 1;
  if (n > room) n = room;
  start->ListEnd = MoveStack;
  NodeCount = 0;
  NextPollAt = PollStep();
  StopSearch = false;
  InputStop = Waits;
  CurrentPly = start + 1;
  CurrentPly->ListEnd = nullptr;
  ComputeCheckers(&CurrentPly->Check);
  std::printf("ply\tduration\tnodes\n");
  uint64_t total = 0;
  for (int i = 1; i <= n; i++) {
    int64_t t0 = Now();
    uint64_t c = PerftCount(i);
    int64_t t1 = Now();
    if (StopSearch) {
      LogLine("-M: perft stopped at depth %d", i);
      break;
    }
    std::printf("%d\t%2.1f\t%" PRIu64 "\n", i, static_cast<double>(t1 - t0) * 0.001, c);
    total += c;
  }
  CurrentPly = start;
  std::printf("total nodes: %" PRIu64 "\n", total);
  std::printf("(total moves[32]: %u)\n", NodeCount);
}
