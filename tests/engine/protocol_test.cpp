// The command loop, start-up and configuration through the real binary: the handshake as
// the xboard interface sends it, word matching, argument consumption, log lines and the
// refusal of input that does not fit.
#include <gtest/gtest.h>
#include <csignal>
#include <string>
#include "../support/engine_process.h"

namespace {

std::string Session(const std::string& commands) { return std::string(XboardHandshake) + commands; }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The line of a perft 1 run: the number of legal moves of the position on the board.
std::string PerftOneLine(const std::string& out) {
  size_t at = out.find("\n1\t");
  return at == std::string::npos ? "" : out.substr(at + 1, out.find('\n', at + 1) - at - 1);
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
  EXPECT_EQ(PerftOneLine(run.out).substr(0, 5), "1\t0.0");
  EXPECT_TRUE(Contains(run.out, "\t20\n"));  // newgame set the start position
  EXPECT_FALSE(Contains(run.out, "eval score"));
  EngineRun eval = RunEngine(Session("eval\nquit\n"));
  EXPECT_TRUE(Contains(eval.out, "\n8 R . . . . . . . \n"));
  EXPECT_TRUE(Contains(eval.out, "eval score: 94\n"));
}

TEST(CommandLoop, EvalLeavesItsPositionOnTheBoard) {
  EngineRun eval = RunEngine(Session("eval\nperft 1\nquit\n"));
  EngineRun setboard = RunEngine(Session("setboard R7/8/8/6p1/8/b7/4k3/K7 w - - 0 1\nperft 1\nquit\n"));
  EXPECT_FALSE(PerftOneLine(eval.out).empty());
  EXPECT_EQ(PerftOneLine(eval.out), PerftOneLine(setboard.out));
}

TEST(CommandLoop, TimeAndLevelConsumeTheirArgumentsAndLogThem) {
  EngineRun run = RunEngine(Session("timeX 3000\notim 2900\nlevel 40 0:30 0\nlevel 0 2:30 12\notim 5\nquit\n"));
  EXPECT_TRUE(Contains(run.log, "::cmd:: timeX\n3000 otim 2900\n::cmd:: level\n40 0:30 0\n::cmd:: level\n0 2:30 12\n"));
  EXPECT_TRUE(Contains(run.log, "::cmd:: otim\n::cmd:: 5\n::cmd:: quit"));
}

TEST(CommandLoop, SetboardIsLoggedAndAnIllegalPositionOnlyInTheLog) {
  EngineRun run = RunEngine("new\nsetboard 8/8/4k3/8/8/4K3/4P3/8 w - -\nquit\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.log, "::cmd:: setboard"));
  EngineRun refused = RunEngine(Session("new\nsetboard 8/8/4k3/8/9/4K3/4P3/8 w - -\nperft 1\nquit\n"));
  EXPECT_TRUE(Contains(refused.log, "-M: tellusererror Illegal position\n"));
  EXPECT_TRUE(Contains(refused.out, "BOOK ERROR: \nEGBB ERROR: endgame bitbases not loaded. Check EGBB_PATH in "
                                    "'Tirvex.ini' file.\nply"));  // nothing printed for the refusal
  EXPECT_TRUE(Contains(refused.out, "\t20\n"));                    // the start position stays
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

TEST(CommandLoop, WhiteAndBlackSetTheSideToMove) {
  EngineRun run = RunEngine(Session("setboard 4k3/8/8/8/8/8/8/R3K3 w - -\nblack\nperft 1\nwhite\nperft 1\nquit\n"));
  size_t first = run.out.find("\n1\t");
  ASSERT_NE(first, std::string::npos);
  EXPECT_TRUE(Contains(run.out.substr(first, 12), "\t5\n"));  // the black king's five moves
  EXPECT_FALSE(Contains(run.out.substr(run.out.find("\n1\t", first + 1)), "\t5\n"));
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
