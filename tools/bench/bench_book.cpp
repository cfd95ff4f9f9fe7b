// Book lookup cost: getBookMove at the first 20 plies of 2000 games that follow the default
// book (run/book) while it has a move and otherwise take a legal move chosen by a seeded
// generator, with the record reads each lookup makes. The files are in the page cache after
// the first games, so the figure is the engine's own cost, not the disk's.
#include <chrono>
#include <cstdio>
#include <random>
#include "bench.h"
#include "board/board.h"
#include "book/book.h"
#include "movegen/movegen.h"

namespace {

constexpr int Games = 2000, Plies = 20;
constexpr const char* BookDirectory = "run/book/";

uint64_t BookReads() { return PrimaryBook.Files[0].Reads + PrimaryBook.Files[1].Reads; }

// A legal move of the current position picked by the generator, or 0.
Move AnyLegalMove(std::mt19937& random) {
  MoveEntry list[MaxMovesPerList];
  Move legal[MaxMovesPerList];
  int count = 0;
  for (MoveEntry *e = list, *end = GenerateMoves(list); e < end; e++)
    if (MoveIsLegal(e->Move)) legal[count++] = e->Move;
  return count ? legal[random() % count] : 0;
}

}  // namespace

int BenchBook() {
  if (!OpenBookSet(PrimaryBook, BookDirectory)) {
    std::printf("book: %s missing (make run or make book builds it): %s", BookDirectory, PrimaryBook.Message);
    return 0;
  }
  std::mt19937 random(2024);
  uint64_t lookups = 0, found = 0, reads = BookReads();
  double seconds = 0;
  for (int game = 0; game < Games; game++) {
    SetupPosition(InitialFen);
    for (int ply = 0; ply < Plies; ply++) {
      auto t0 = std::chrono::steady_clock::now();
      Move move = ChooseBookMove(random() & 0x7FFFFFFF);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      lookups++;
      found += move != 0;
      if (!move) move = AnyLegalMove(random);
      if (!move || !MakeRealMove(move)) break;
    }
  }
  reads = BookReads() - reads;
  std::printf("book: %llu getBookMove lookups (%llu found a move): %.1f us each, %.2f record reads each\n",
              static_cast<unsigned long long>(lookups), static_cast<unsigned long long>(found),
              seconds * 1e6 / double(lookups), double(reads) / double(lookups));
  return 0;
}
