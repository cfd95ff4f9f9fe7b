// tirvex_bench perft|eval|search|book|all: speed figures and the search node signature.
#include <cstdio>
#include <cstring>
#include "bench.h"
#include "board/board.h"
#include "engine/engine.h"
#include "eval/eval.h"

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "all";
  InitTables();
  InitPhaseTables();
  bool all = std::strcmp(what, "all") == 0;
  int status = 0;
  if (all || std::strcmp(what, "perft") == 0) status |= BenchPerft();
  if (all || std::strcmp(what, "eval") == 0) status |= BenchEval();
  if (all || std::strcmp(what, "search") == 0) status |= BenchSearch();
  if (all || std::strcmp(what, "book") == 0) status |= BenchBook();
  return status;
}
