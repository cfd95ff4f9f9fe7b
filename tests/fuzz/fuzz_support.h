// Shared by the fuzz targets: one-time start-up of the engine's tables, with standard output
// silenced and the working directory moved to a scratch directory, so that nothing a target
// runs can write into the source tree (and the files it writes stay in memory); and a book
// lookup.
#pragma once
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include "book/book.h"
#include "engine/engine.h"
#include "eval/eval.h"

// The scratch directory, in memory where the system has /dev/shm, removed at exit.
inline void EnterScratchDirectory() {
  static char pattern[] = "/dev/shm/tirvex-fuzz-XXXXXX";
  static char fallback[] = "/tmp/tirvex-fuzz-XXXXXX";
  static const char* directory = mkdtemp(pattern) ? pattern : mkdtemp(fallback);
  if (!directory || chdir(directory) != 0) std::abort();
  std::atexit([] { std::filesystem::remove_all(directory); });
}

inline void FuzzStartup() {
  static bool done = [] {
    EnterScratchDirectory();
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    InitTables();
    InitPhaseTables();
    MoveMakerFailureContext = WriteFailureContext;
    return true;
  }();
  (void)done;
}

// Opens the book in directory (no retry remembered) and looks for a move of the initial position.
inline void LookUpBook(const char* directory) {
  OpenBookSet(PrimaryBook, directory);
  PrimaryBook.RememberedDirectory[0] = 0;
  SetupGame(InitialFen);
  ChooseBookMove(0);
}
