// Perft speed: moves made per second by the generators and the move maker.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include "engine/engine.h"
#include "bench.h"
#include "board/board.h"
#include "search/search.h"

namespace {

struct PerftRun {
  const char* name;
  const char* fen;
  int depth;
  uint64_t expected;  // cumulative count of plies 1..depth
};

constexpr PerftRun Runs[] = {
    {"initial", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 6,
     20ULL + 400 + 8902 + 197281 + 4865609 + 119060324},
    {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 5,
     48ULL + 2039 + 97862 + 4085603 + 193690690},
};

// Runs one perft and prints its rate; false when the count is wrong.
bool Run(const PerftRun& run) {
  if (!SetupGame(run.fen)) return false;
  PlyRecord* start = CurrentPly;
  start->ListEnd = MoveStack;
  CurrentPly = start + 1;
  NodeCount = 0;
  auto t0 = std::chrono::steady_clock::now();
  std::clock_t c0 = std::clock();
  uint64_t nodes = PerftCount(run.depth);
  double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  CurrentPly = start;
  // The processor-time rate is the one to compare on a shared machine.
  std::printf("perft %-8s depth %d: %" PRIu64 " nodes (%u moves made) in %.2f s (%.2f s cpu): %.1f M nodes/s, "
              "%.1f M nodes/s of cpu%s\n",
              run.name, run.depth, nodes, NodeCount, seconds, cpu, nodes / seconds * 1e-6, nodes / cpu * 1e-6,
              nodes == run.expected ? "" : "  WRONG COUNT");
  return nodes == run.expected;
}

}  // namespace

int BenchPerft() {
  int status = 0;
  for (const PerftRun& run : Runs)
    if (!Run(run)) status = 1;
  return status;
}
