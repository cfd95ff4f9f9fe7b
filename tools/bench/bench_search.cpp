// Search benchmark: fixed positions searched to fixed depths from a cleared state. The total node
// count is the regression signature of the search (it changes only when the search's tree changes);
// nodes are counted as the search counts them, quiescence nodes excluded.
#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include "bench.h"
#include "engine/engine.h"
#include "search/search.h"

namespace {

struct BenchPosition {
  const char* Fen;
  int Depth;
};

constexpr BenchPosition Positions[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 9},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 8},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 13},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", 8},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", 8},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -", 8},
    {"6k1/5pp1/4p2p/3pP3/r2P4/2R3P1/5P1P/6K1 w - -", 12},
};

// Thinking lines go to /dev/null while the benchmark runs.
class SilencedOutput {
 public:
  SilencedOutput() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~SilencedOutput() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

// Standard input becomes an open pipe with nothing in it: the search's input poll must neither read
// the caller's input nor take a closed input for "quit".
void QuietInput() {
  int ends[2];
  if (pipe(ends) == 0) dup2(ends[0], STDIN_FILENO);
}

struct Timing {
  double Wall, Cpu;  // seconds; the processor time is the fairer figure on a shared machine
};

// Searches the position to its depth from a cleared table and cleared statistics; returns NodeCount
// and the time spent in the search itself.
uint32_t SearchToDepth(const BenchPosition& p, Timing& time) {
  SetupGame(p.Fen);
  MaxDepth = p.Depth;
  MoveBudget = INT64_MAX / 8;
  MoveDeadline = -1;
  EngineState = Thinking;
  StopSearch = false;
  SearchStart = Now();
  SilencedOutput silence;
  auto start = std::chrono::steady_clock::now();
  std::clock_t cpuStart = std::clock();
  IterativeDeepening();
  time.Cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  time.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return NodeCount;
}

}  // namespace

int BenchSearch() {
  uint64_t total = 0;
  Timing sum{0, 0};
  QuietInput();
  std::printf("search: depth      nodes  wall ms   cpu ms  position\n");
  for (const BenchPosition& p : Positions) {
    Timing time{0, 0};
    uint32_t nodes = SearchToDepth(p, time);
    total += nodes;
    sum.Wall += time.Wall;
    sum.Cpu += time.Cpu;
    std::printf("search: %5d %10u %8.0f %8.0f  %s\n", p.Depth, nodes, time.Wall * 1000, time.Cpu * 1000, p.Fen);
  }
  std::printf("search: total nodes (signature) %" PRIu64 "\n", total);
  std::printf("search: %.0f nodes/s wall, %.0f nodes/s cpu\n", sum.Wall > 0 ? total / sum.Wall : 0.0,
              sum.Cpu > 0 ? total / sum.Cpu : 0.0);
  return 0;
}
