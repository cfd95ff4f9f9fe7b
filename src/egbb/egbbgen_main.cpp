// tirvex_egbbgen DIRECTORY [TABLE...]: makes the endgame tables missing in DIRECTORY (all of
// them, or the tables named, such as kqkr), with the tables they lead to.
#include <cstdio>
#include "egbb/egbb.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: tirvex_egbbgen DIRECTORY [TABLE...]\n");
    return 2;
  }
  return EgbbGenerate(argv[1], std::vector<std::string>(argv + 2, argv + argc)) ? 0 : 1;
}
