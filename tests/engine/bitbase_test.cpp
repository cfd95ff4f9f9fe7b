// The bitbase library interface through the real binary: a stand-in "egbbdll.so" built by
// the test records the arguments it receives and answers a fixed score, so the loading,
// the start-up messages, the configuration corrections and the probe's piece and square
// conversion are all checked end to end.
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include "../support/engine_process.h"

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

std::string ReadText(const std::string& name) {
  std::ifstream file(name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Builds the stand-in library into dir/egbb/ and runs a session with the given ini lines.
EngineRun RunWithLibrary(EngineProcess& engine, const std::string& ini, const std::string& commands) {
  engine.WriteFile("standin.c", StandIn);
  std::string command = "mkdir -p " + engine.Directory() + "/egbb && cc -shared -fPIC -o " + engine.Directory() +
                        "/egbb/egbbdll.so " + engine.Directory() + "/standin.c";
  EXPECT_EQ(std::system(command.c_str()), 0);
  engine.WriteFile("Tirvex.ini", ini);
  engine.Start();
  engine.Send(std::string(XboardHandshake) + commands);
  int status = engine.Finish();
  return {engine.Output(), engine.Log(), status};
}

TEST(Bitbases, LoadedLibraryIsReportedAndProbedByEval) {
  EngineProcess engine;
  EngineRun run = RunWithLibrary(engine, "EGBB_PATH= egbb \nEGBB_CACHE=-3\nEGBB_LOAD=9\n", "eval\nquit\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("feature done=1\nBOOK ERROR: \nEGBB_LOAD=1\nEGBB_CACHE=4\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("WARNING"), std::string::npos);
  EXPECT_EQ(ReadText(engine.Directory() + "/load_args.txt"), "egbb/ 4194304 1\n");
  // R7/8/8/6p1/8/b7/4k3/K7 w: white to move (0), kings a1 (0) and e2 (12); the other pieces
  // from h1 towards a8: bishop a3 (10 on 16), pawn g5 (12 on 38), rook a8 (3 on 56).
  EXPECT_EQ(ReadText(engine.Directory() + "/probe_args.txt"), "0 0 12 10 16 12 38 3 56\n");
  EXPECT_NE(run.out.find("egbb score: 8001\n"), std::string::npos);
}

TEST(Bitbases, SmallCacheAndLoadOptionZeroAreWarnedAbout) {
  EngineProcess engine;
  EngineRun run = RunWithLibrary(engine, "EGBB_PATH=egbb\nEGBB_CACHE=2\nEGBB_LOAD=0\n", "quit\n");
  EXPECT_NE(run.out.find("EGBB_LOAD=0\nEGBB WARNING: EGBB_LOAD < 1 in 'Tirvex.ini' file.\n"
                         "EGBB_CACHE=2\nEGBB WARNING: EGBB_CACHE < 4 in 'Tirvex.ini' file.\n"),
            std::string::npos)
      << run.out;
}

TEST(Bitbases, MissingLibraryOrOverLongPathCountsAsNotLoaded) {
  for (std::string path : {std::string("nowhere"), std::string(300, 'd')}) {
    EngineRun run = RunEngine(std::string(XboardHandshake) + "eval\nquit\n", "EGBB_PATH=" + path + "\n");
    EXPECT_NE(run.out.find("EGBB ERROR: endgame bitbases not loaded. Check EGBB_PATH in 'Tirvex.ini' file.\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("eval score: "), std::string::npos);
  }
}

}  // namespace
