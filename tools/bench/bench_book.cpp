// Book lookup cost: getBookMove along book lines of the default book (run/book), with the
// record reads each lookup makes. The files are in the page cache after the first lines, so
// the figure is the engine's own cost, not the disk's.
#include <chrono>
#include <cstdio>
#include "bench.h"
#include "board/board.h"
#include "book/book.h"
#include "engine/engine.h"

namespace {

constexpr int Lines = 2000;
constexpr const char* BookDirectory = "run/book/";

uint64_t BookReads() { return PrimaryBook.Files[0].Reads + PrimaryBook.Files[1].Reads; }

}  // namespace

int BenchBook() {
  if (!OpenBookSet(PrimaryBook, BookDirectory)) {
    std::printf("book: %s missing (make run or make book builds it): %s", BookDirectory, PrimaryBook.Message);
    return 0;
  }
  // Each line follows the book from the start position, the clock value choosing the moves.
  uint64_t lookups = 0, plies = 0, reads = BookReads();
  auto t0 = std::chrono::steady_clock::now();
  for (int line = 0; line < Lines; line++) {
    SetupGame(InitialFen);
    for (int64_t clock = line * 7919;; clock = clock * 31 + 17) {
      Move move = ChooseBookMove(clock & 0x7FFFFFFF);
      lookups++;
      if (!move || !MakeRealMove(move)) break;
      plies++;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  reads = BookReads() - reads;
  std::printf("book: %llu getBookMove lookups on %d book lines (%.1f book plies a line): %.1f us each, "
              "%.1f record reads each\n",
              static_cast<unsigned long long>(lookups), Lines, double(plies) / Lines, seconds * 1e6 / double(lookups),
              double(reads) / double(lookups));
  return 0;
}
