// Evaluation speed over positions of random legal games, with the pawn cache warm and cold.
#include <chrono>
#include <cstdio>
#include "bench.h"
#include "eval/eval.h"
#include "playout.h"

namespace {

constexpr int BenchPositions = 4000;
PositionState Positions[BenchPositions];

// Pawn-cache word the evaluation of the current position reads.
uint32_t& PawnCacheWord() {
  return PawnCache[(Position.PawnKey ^ PawnCacheSalt[MaterialPhase()]) & (PawnCacheSize - 1)];
}

// Nanoseconds per position of passes over all positions, repeated for at least a quarter
// second; each position is copied into the Position, then work() runs on it.
template <typename Work>
double NanosecondsPerPosition(Work work) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  long long done = 0;
  do {
    for (const PositionState& p : Positions) {
      Position = p;
      work();
    }
    done += BenchPositions;
  } while (Clock::now() - start < std::chrono::milliseconds(250));
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / static_cast<double>(done);
}

}  // namespace

int BenchEval() {
  int collected = 0;
  RandomPlayouts(InitialFen, BenchPositions, 160, 20240611, [&] { Positions[collected++] = Position; });
  volatile int sink = 0;
  long long checksum = 0;
  for (const PositionState& p : Positions) {
    Position = p;
    checksum += Evaluate();
  }
  const double copy = NanosecondsPerPosition([&] { sink = Position.PawnKey; });
  const double warm = NanosecondsPerPosition([&] { sink = Evaluate(); });
  const double cold = NanosecondsPerPosition([&] {
    PawnCacheWord() = 0;
    sink = Evaluate();
  });
  std::printf("eval: %d positions of random games, score checksum %lld\n", BenchPositions, checksum);
  std::printf("eval: warm pawn cache %.0f ns, %.2f M evaluations/s\n", warm - copy, 1e3 / (warm - copy));
  std::printf("eval: cold pawn cache %.0f ns, %.2f M evaluations/s\n", cold - copy, 1e3 / (cold - copy));
  std::printf("eval: (copying a position in, %.0f ns, is taken off both)\n", copy);
  return 0;
}
