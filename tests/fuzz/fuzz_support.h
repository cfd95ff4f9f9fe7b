// Shared by the fuzz targets: one-time start-up of the engine's tables, with standard output
// silenced and the working directory moved to a scratch directory, so that nothing a target
// runs can write into the source tree; and a book lookup.
#pragma once
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include "book/book.h"
#include "engine/engine.h"
#include "eval/eval.h"

inline void FuzzStartup() {
  static bool done = [] {
    char pattern[] = "/tmp/tirvex-fuzz-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) std::abort();
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
