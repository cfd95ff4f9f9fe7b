// The bitbase library interface through the real binary: a stand-in "egbbdll.so" built by
// the test records the arguments it receives and answers a fixed score, so the loading,
// the start-up messages, the configuration corrections and the probe's piece and square
// conversion are all checked end to end.
#include <gtest/gtest.h>
#include <string>
#include "../support/game_support.h"

namespace {

constexpr const char* StandIn = R"(#include <stdio.h>
void load_egbb_5men(char* path, int cache, int option) {
  FILE* f = fopen("load_args.txt", "w");
  fprintf(f, "%s %d %d\n", path, cache, option);
  fclose(f);
}
int probe_egbb_5men(int side, int wk, int bk, int p1, int s1, int p2, int s2, int p3, int s3) {
  FILE* f = fopen("probe_args.txt", "w");
  fprintf(f, "%d %d %d %d %d %d %d %d %d\n", side, wk, bk, p1, s1, p2, s2, p3, s3);
  fclose(f);
  return 17010;
}
)";

// Builds the stand-in library into egbb/ and runs the commands with the given Tirvex.ini.
ToolRun WithLibrary(const std::string& ini, const std::string& commands) {
  return ToolRun(commands, {{"standin.c", StandIn}, {"Tirvex.ini", ini}},
                 "mkdir egbb && cc -shared -fPIC -o egbb/egbbdll.so standin.c");
}

TEST(Bitbases, LoadedLibraryIsReportedAndProbedByEval) {
  ToolRun run = WithLibrary("EGBB_PATH= egbb \nEGBB_CACHE=-3\nEGBB_LOAD=9\n", "eval\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.out, "BOOK ERROR: \nEGBB_LOAD=1\nEGBB_CACHE=4\n\nfeature ")) << run.out;
  EXPECT_FALSE(Contains(run.out, "WARNING"));
  EXPECT_EQ(run.File("load_args.txt"), "egbb/ 4194304 1\n");
  // R7/8/8/6p1/8/b7/4k3/K7 w: white to move (0), kings a1 (0) and e2 (12); the other pieces
  // from h1 towards a8: bishop a3 (10 on 16), pawn g5 (12 on 38), rook a8 (3 on 56).
  EXPECT_EQ(run.File("probe_args.txt"), "0 0 12 10 16 12 38 3 56\n");
  EXPECT_TRUE(Contains(run.out, "egbb score: 8001\n"));
}

TEST(Bitbases, SmallCacheAndLoadOptionZeroAreWarnedAbout) {
  EXPECT_TRUE(Contains(WithLibrary("EGBB_PATH=egbb\nEGBB_CACHE=2\nEGBB_LOAD=0\n", "").out,
                       "EGBB_LOAD=0\nEGBB WARNING: EGBB_LOAD < 1 in 'Tirvex.ini' file.\n"
                       "EGBB_CACHE=2\nEGBB WARNING: EGBB_CACHE < 4 in 'Tirvex.ini' file.\n"));
}

}  // namespace
