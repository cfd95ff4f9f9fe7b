// The command loop, start-up and configuration through the real binary: the handshake as
// the xboard interface sends it, word matching, argument consumption, log lines and the
// refusal of input that does not fit.
#include <gtest/gtest.h>
#include <csignal>
#include <string>
#include "../support/game_support.h"

namespace {

// The legal-move counts that the "perft 1" commands of a session printed, in order.
std::vector<std::string> PerftOneCounts(const std::string& out) {
  std::vector<std::string> counts;
  static const std::regex line("\n1\t[0-9.]+\t([0-9]+)\n");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it)
    counts.push_back((*it)[1]);
  return counts;
}

TEST(Handshake, AnswersXboardWithTheFeatureLinesAndConsumesSixWords) {
  EngineRun run = RunEngine(Session("quit\n"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "\nfeature done=0\nfeature setboard=1\n"
            "ERROR: Tirvex.ini file cannot be opened.\n"
            "feature done=1\n"
            "BOOK ERROR: \n"
            "EGBB ERROR: endgame bitbases not loaded. Check EGBB_PATH in 'Tirvex.ini' file.\n");
  // protover 2, accepted done, accepted setboard are taken by the handshake; the last
  // "accepted done" reaches the command loop.
  EXPECT_FALSE(Contains(run.log, "::cmd:: protover"));
  EXPECT_FALSE(Contains(run.log, "::cmd:: setboard"));
  EXPECT_TRUE(Contains(run.log, "::cmd:: accepted\n::cmd:: done\n::cmd:: quit\n"));
}

TEST(Handshake, AnotherFirstWordWarnsAndConsumesNothingMore) {
  EngineRun run = RunEngine("hello\nprotover 2\nquit\n", "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("Engine works only with xboard protocol ver. 2\n\nfeature done=0\nfeature setboard=1\n", 0), 0u);
  EXPECT_TRUE(Contains(run.log, "::cmd:: protover\n::cmd:: 2\n::cmd:: quit\n"));
}

TEST(Configuration, CommentsIndentationAndMalformedKeysAreIgnored) {
  std::string longPath(300, 'b');
  EngineRun comment = RunEngine(Session("quit\n"), "  # BOOK_PATH=" + longPath + "\n\nBOOK_PATH =x\n");
  EXPECT_TRUE(Contains(comment.out, "feature done=1\nBOOK ERROR: \nEGBB ERROR:"));
  EXPECT_FALSE(Contains(comment.out, "Tirvex.ini file cannot be opened"));
  EngineRun tooLong = RunEngine(Session("quit\n"), "\t BOOK_PATH=  " + longPath + "  \n");
  EXPECT_TRUE(Contains(tooLong.out, "BOOK ERROR: Book path is too long (max 255 characters accepted).\n"));
  EXPECT_TRUE(Contains(tooLong.log, "BOOK ERROR: Book path is too long (max 255 characters accepted).\n"));
}

TEST(Configuration, ALineTooLongToReadEndsTheFile) {
  std::string longPath(300, 'b');
  EngineRun run = RunEngine(Session("quit\n"), std::string(5000, ' ') + "x\nBOOK_PATH=" + longPath + "\n");
  EXPECT_TRUE(Contains(run.out, "BOOK ERROR: \n"));
}

TEST(CommandLoop, PrefixWordsMatchAndExactWordsDoNot) {
  EngineRun run = RunEngine(Session("setboard 4k3/8/8/8/8/8/8/R3K3 w - -\nnewgame\nperft 1\nevaluate\nevalx\nquit\n"));
  EXPECT_EQ(PerftOneCounts(run.out), std::vector<std::string>{"20"});  // newgame set the start position
  EXPECT_FALSE(Contains(run.out, "eval score"));
  EngineRun eval = RunEngine(Session("eval\nquit\n"));
  EXPECT_TRUE(Contains(eval.out, "\n8 R . . . . . . . \n"));
  EXPECT_TRUE(Contains(eval.out, "eval score: 94\n"));
}

TEST(CommandLoop, EvalLeavesItsPositionOnTheBoard) {
  EngineRun eval = RunEngine(Session("eval\nperft 1\nquit\n"));
  EngineRun setboard = RunEngine(Session("setboard R7/8/8/6p1/8/b7/4k3/K7 w - - 0 1\nperft 1\nquit\n"));
  EXPECT_FALSE(PerftOneCounts(eval.out).empty());
  EXPECT_EQ(PerftOneCounts(eval.out), PerftOneCounts(setboard.out));
}

TEST(CommandLoop, TimeAndLevelConsumeTheirArgumentsAndLogThem) {
  EngineRun run = RunEngine(Session("timeX 3000\notim 2900\nlevel 40 0:30 0\nlevel 0 2:30 12\notim 5\nquit\n"));
  EXPECT_TRUE(Contains(run.log, "::cmd:: timeX\n3000 otim 2900\n::cmd:: level\n40 0:30 0\n::cmd:: level\n0 2:30 12\n"));
  EXPECT_TRUE(Contains(run.log, "::cmd:: otim\n::cmd:: 5\n::cmd:: quit"));
}

TEST(CommandLoop, ARefusedSetboardTellsTheInterfaceAndKeepsThePosition) {
  EngineRun refused = RunEngine(Session("new\nsetboard 8/8/4k3/8/9/4K3/4P3/8 w - -\nperft 1\nquit\n"));
  EXPECT_TRUE(Contains(refused.log, "::cmd:: setboard\nsetboard  8/8/4k3/8/9/4K3/4P3/8 w - -\n"));
  EXPECT_TRUE(Contains(refused.log, "-M: tellusererror Illegal position\n"));
  EXPECT_TRUE(Contains(refused.out, "\ntellusererror Illegal position\nply"));
  EXPECT_TRUE(Contains(refused.out, "\t20\n"));  // the start position stays
}

TEST(CommandLoop, EndOfInputActsAsQuit) {
  EngineRun run = RunEngine(Session("new\n"));
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.log, "-M: end of input\n::cmd:: quit\n"));
}

TEST(CommandLoop, OverLongWordsAndSetboardLinesAreRefusedWhole) {
  std::string word255(255, 'x'), word300(300, 'e');
  std::string longFen = "8/8/4k3/8/8/4K3/4P3/8 w - -" + std::string(240, ' ') + "x";
  EngineRun run = RunEngine(Session("new\n" + word255 + "\n" + word300 + "2e4\nsetboard " + longFen + "\nperft 1\nquit\n"));
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.log, "::cmd:: " + word255 + "\n::cmd:: "));
  EXPECT_TRUE(Contains(run.log, "-M: refused word longer than 255 characters\n"));
  EXPECT_TRUE(Contains(run.log, "-M: refused setboard text longer than 254 characters\n"));
  EXPECT_FALSE(Contains(run.log, "::cmd:: 2e4"));  // the rest of the long word is not a new word
  EXPECT_TRUE(Contains(run.out, "\t20\n"));       // the start position stays
}

TEST(CommandLoop, ToolCommandsConsumeExactlyTheirArgumentWords) {
  EngineRun run = RunEngine(Session("force\npgn2pos a\npgn2game a b\npgnlist2game a b\ngame2pgn a b\n"
                                    "game2pos a b\ndbcreate a b\nbenchmark a 3\nbenchmarkspeed a\nbookshow\n"
                                    "dbshow\ndbshowlin\nbookcreate\nperft\nquit\n"));
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(Contains(run.log, "::cmd:: a\n"));
  EXPECT_FALSE(Contains(run.log, "::cmd:: b\n"));
  EXPECT_FALSE(Contains(run.log, "::cmd:: 3\n"));
  EXPECT_TRUE(Contains(run.out, "Define __STAT\nDefine __STAT\n"));
  EXPECT_TRUE(Contains(run.out, "ply\tduration\tnodes\ntotal nodes: 0\n"));  // perft without a number: depth 0
}

TEST(CommandLoop, WhiteAndBlackSetTheSideToMoveUnlessTheOtherSideIsInCheck) {
  EngineRun run = RunEngine(Session("setboard 4k3/8/8/8/8/8/8/R3K3 w - -\nblack\nperft 1\nwhite\nperft 1\n"
                                    "setboard 4k3/8/8/8/8/8/4r3/4K3 w - -\nblack\nperft 1\nquit\n"));
  // The black king's five moves, the rook and king's fifteen, then the white king's three
  // answers to the check (black to move was refused).
  EXPECT_EQ(PerftOneCounts(run.out), (std::vector<std::string>{"5", "15", "3"}));
  EXPECT_EQ(Count(run.out, "tellusererror Illegal position\n"), 1);
}

// A number argument that is not a number gives its word back to the loop, and time reads the
// opponent's clock only from an otim that follows it.
struct ArgumentCase {
  const char* commands;
  const char* logged;  // the word the loop then handled
};
const ArgumentCase ArgumentCases[] = {
    {"perft\nnew\n", "::cmd:: perft\n::cmd:: new\n"},
    {"level x 0 0\n", "::cmd:: level\n40  0\n::cmd:: x\n::cmd:: 0\n"},  // level 40 5 0 came first
    {"time 500\ne2e4\n", "::cmd:: time\n500\n::cmd:: e2e4\n"},
    {"otim 300\ntime 400\nnew\n", "::cmd:: otim\n::cmd:: 300\n::cmd:: time\n400\n::cmd:: new\n"},
    {"time go\n", "::cmd:: time\n::cmd:: go\n"},
};

TEST(CommandLoop, WordsReadInPlaceOfAMissingNumberGoBackToTheLoop) {
  for (const ArgumentCase& c : ArgumentCases) {
    EngineRun run = RunEngine(Session(std::string("force\nlevel 40 5 0\n") + c.commands + "quit\n"));
    EXPECT_TRUE(Contains(run.log, c.logged)) << c.commands << run.log;
  }
}

// perft looks at the input as the search does: "?", quit and the end of input stop it.
TEST(CommandLoop, PerftIsStoppedByInput) {
  for (const char* stop : {"?\n", "quit\n", ""}) {
    EngineProcess engine;
    engine.Start();
    engine.Send(Session("perft 99\n"));
    ASSERT_TRUE(engine.WaitForOutput("\n4\t"));
    engine.Send(stop);
    if (!*stop) engine.CloseInput();
    EXPECT_TRUE(engine.WaitForOutput("total nodes: ", 20)) << stop;
    EXPECT_EQ(engine.Finish(), 0);
    EXPECT_TRUE(Contains(engine.Log(), "-M: perft stopped at depth ")) << stop;
  }
}

TEST(CommandLoop, OpponentMovesAreCheckedForLegality) {
  EngineRun run = RunEngine(Session("new\nforce\ne2e5\ne1e2\ne2e4\nperft 1\nquit\n"));
  EXPECT_TRUE(Contains(run.out, "Illegal Move: e2e5\n"));
  EXPECT_TRUE(Contains(run.out, "Illegal Move: e1e2\n"));
  EXPECT_TRUE(Contains(run.log, "*********** MakeRealMove ILLEGAL "));
  EXPECT_TRUE(Contains(run.out, "\t20\n"));  // e2e4 was played: black has twenty replies
  EXPECT_FALSE(Contains(run.out, "move "));  // force: no reply
}

TEST(CommandLoop, TestCommandPrintsItsPositionWithoutSearching) {
  EngineRun run = RunEngine(Session("test\nquit\n"));
  EXPECT_TRUE(Contains(run.out, "\n8 . . r b . r k . \n"));
  EXPECT_FALSE(Contains(run.out, "move "));
}

TEST(Signals, InterruptsAreIgnored) {
  EngineProcess engine;
  engine.Start();
  engine.Send(XboardHandshake);
  ASSERT_TRUE(engine.WaitForOutput("feature done=1\n"));
  engine.Signal(SIGINT);
  engine.Send("new\nperft 1\n");
  EXPECT_TRUE(engine.WaitForOutput("total nodes: 20\n"));
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
}

}  // namespace
