// Book lookup cost: getBookMove at the first 20 plies of 2000 games that follow the default
// book (run/book) while it has a move and otherwise take a legal move chosen by a seeded
// generator, with the record reads each lookup makes. The files are in the page cache after
// the first games, so the figure is the engine's own cost, not the disk's. The same for the
// Polyglot book of Debian's gnuchess-book, with the time its opening check takes and the
// time of the key alone.
#include <algorithm>
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
constexpr const char* PolyglotFileName = "/usr/share/games/gnuchess/book.bin";

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

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The Polyglot book: opening (the size and order check, best of 10), then the moves of each
// position (key, lookup, legal moves) along games that follow the book, and the key alone.
int BenchPolyglot() {
  double open = 1e9;
  for (int i = 0; i < 10; i++) {
    auto t0 = std::chrono::steady_clock::now();
    if (!OpenPolyglotBook(PolyglotFileName)) {
      std::printf("polyglot: %s\n", PolyglotBook.Message);
      return 0;
    }
    open = std::min(open, SecondsSince(t0));
  }
  std::mt19937 random(2024);
  uint64_t lookups = 0, found = 0, reads = PolyglotBook.Reads, keys = 0;
  double seconds = 0, keySeconds = 0;
  for (int game = 0; game < Games; game++) {
    SetupPosition(InitialFen);
    for (int ply = 0; ply < Plies; ply++) {
      PolyglotMove moves[MaxMovesPerList];
      auto t0 = std::chrono::steady_clock::now();
      int count = PolyglotMoves(moves);
      seconds += SecondsSince(t0);
      t0 = std::chrono::steady_clock::now();
      keys ^= PolyglotKey();
      keySeconds += SecondsSince(t0);
      lookups++;
      found += count > 0;
      Move move = count ? ChoosePolyglotMove(moves, count, random()) : AnyLegalMove(random);
      if (!move || !MakeRealMove(move)) break;
    }
  }
  reads = PolyglotBook.Reads - reads;
  std::printf("polyglot: %llu entries, opened and checked in %.1f ms; %llu lookups (%llu found moves): %.1f us "
              "each, %.1f reads (pread) each; the key alone %.0f ns (%llx)\n",
              static_cast<unsigned long long>(PolyglotBook.EntryCount), open * 1e3, static_cast<unsigned long long>(lookups),
              static_cast<unsigned long long>(found), seconds * 1e6 / double(lookups), double(reads) / double(lookups),
              keySeconds * 1e9 / double(lookups), static_cast<unsigned long long>(keys));
  OpenPolyglotBook("");
  return 0;
}

}  // namespace

int BenchBook() {
  BenchPolyglot();
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
