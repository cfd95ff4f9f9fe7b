// The command loop, start-up and configuration through the real binary: the handshake as
// the xboard interface sends it, word matching, argument consumption, log lines and the
// refusal of input that does not fit.
#include <gtest/gtest.h>
#include <csignal>
#include <optional>
#include <string>
#include "../support/game_support.h"

namespace {

// A whole session: texts that stdout or the log must hold, and texts that neither may hold.
struct SessionCase { std::string input; std::optional<std::string> ini; std::vector<std::string> present, absent; };

TEST(CommandLoop, SessionsAnswerAndLogAsTheirWordsCallFor) {
  const std::string path(300, 'b'), word255(255, 'x'), word300(300, 'e');
  const std::string longFen = "8/8/4k3/8/8/4K3/4P3/8 w - -" + std::string(240, ' ') + "x";
  const std::string argumentsAfter = "force\nlevel 40 5 0\n";
  const std::string notLoaded = "EGBB ERROR: endgame bitbases not loaded. Check EGBB_PATH in 'Tirvex.ini' file.\n";
  const SessionCase cases[] = {
      // The handshake takes protover 2, accepted done and accepted setboard; the last "accepted
      // done" reaches the loop. Another first word is warned about and takes nothing.
      {Session("quit\n"), {},
       {"\nfeature done=0\nfeature setboard=1\nERROR: Tirvex.ini file cannot be opened.\nfeature done=1\nBOOK ERROR: \n" + notLoaded,
        "::cmd:: accepted\n::cmd:: done\n::cmd:: quit\n"},
       {"::cmd:: protover", "::cmd:: setboard"}},
      {"hello\nprotover 2\nquit\n", "",
       {"Engine works only with xboard protocol ver. 2\n\nfeature done=0\nfeature setboard=1\n",
        "::cmd:: protover\n::cmd:: 2\n::cmd:: quit\n"}, {}},
      // Configuration: comments, indentation and malformed keys are ignored, a path too long is
      // refused, and a line too long to read is reported and passed over.
      {Session("quit\n"), "  # BOOK_PATH=" + path + "\n\nBOOK_PATH =x\n", {"feature done=1\nBOOK ERROR: \nEGBB ERROR:"},
       {"Tirvex.ini file cannot be opened"}},
      {Session("quit\n"), "\t BOOK_PATH=  " + path + "  \n", {"BOOK ERROR: Book path is too long (max 255 characters accepted).\n"}, {}},
      {Session("quit\n"), std::string(5000, ' ') + "x\nBOOK_PATH=" + path + "\n",
       {"WARNING: Tirvex.ini line 1 ignored: longer than 4094 characters\n", "BOOK ERROR: Book path is too long"}, {}},
      // Prefix words match (newgame sets the start position up), exact words do not.
      {Session("setboard 4k3/8/8/8/8/8/8/R3K3 w - -\nnewgame\nperft 1\nevaluate\nevalx\nquit\n"), {}, {"total nodes: 20\n"},
       {"eval score"}},
      // eval leaves its position on the board: Ka1 goes to a2 or b1, Ra8 along the rank or to a7-a3.
      {Session("eval\nperft 1\nquit\n"), {}, {"\n8 R . . . . . . . \n", "eval score: 94\n", "total nodes: 14\n"}, {}},
      {Session("timeX 3000\notim 2900\nlevel 40 0:30 0\nlevel 0 2:30 12\notim 5\nquit\n"), {},
       {"::cmd:: timeX\n3000 otim 2900\n::cmd:: level\n40 0:30 0\n::cmd:: level\n0 2:30 12\n",
        "::cmd:: otim\n::cmd:: 5\n::cmd:: quit"}, {}},
      // A refused setboard tells the interface and keeps the position.
      {Session("new\nsetboard 8/8/4k3/8/9/4K3/4P3/8 w - -\nperft 1\nquit\n"), {},
       {"::cmd:: setboard\nsetboard  8/8/4k3/8/9/4K3/4P3/8 w - -\n", "-M: tellusererror Illegal position\n",
        "\ntellusererror Illegal position\nply", "total nodes: 20\n"}, {}},
      {Session("new\n"), {}, {"-M: end of input\n::cmd:: quit\n"}, {}},
      // Over-long words and setboard lines are refused whole; the start position stays.
      {Session("new\n" + word255 + "\n" + word300 + "2e4\nsetboard " + longFen + "\nperft 1\nquit\n"), {},
       {"::cmd:: " + word255 + "\n::cmd:: ", "-M: refused word longer than 255 characters\n",
        "-M: refused setboard text longer than 254 characters\n", "total nodes: 20\n"}, {"::cmd:: 2e4"}},
      // Tool commands take exactly their argument words; perft without a number counts depth 0.
      {Session("force\npgn2pos a\npgn2game a b\npgnlist2game a b\ngame2pgn a b\ngame2pos a b\ndbcreate a b\n"
               "benchmark a 3\nbenchmarkspeed a\nbookshow\ndbshow\ndbshowlin\nbookcreate\nperft\nquit\n"), {},
       {"Define __STAT\nDefine __STAT\n", "ply\tduration\tnodes\ntotal nodes: 0\n"}, {"::cmd:: a\n", "::cmd:: b\n", "::cmd:: 3\n"}},
      // white and black set the side to move, refused when the other side would stand in check:
      // the black king's five moves, the rook and king's fifteen, the white king's three answers.
      {Session("setboard 4k3/8/8/8/8/8/8/R3K3 w - -\nblack\nperft 1\nwhite\nperft 1\n"
               "setboard 4k3/8/8/8/8/8/4r3/4K3 w - -\nblack\nperft 1\nquit\n"), {},
       {"total nodes: 5\n", "total nodes: 15\n", "total nodes: 3\n", "\ntellusererror Illegal position\n"}, {}},
      // A number argument that is not a number gives its word back to the loop, and time reads
      // the opponent's clock only from an otim that follows it.
      {Session(argumentsAfter + "perft\nnew\nquit\n"), {}, {"::cmd:: perft\n::cmd:: new\n"}, {}},
      {Session(argumentsAfter + "level x 0 0\nquit\n"), {}, {"::cmd:: level\n40  0\n::cmd:: x\n::cmd:: 0\n"}, {}},
      {Session(argumentsAfter + "time 500\ne2e4\nquit\n"), {}, {"::cmd:: time\n500\n::cmd:: e2e4\n"}, {}},
      {Session(argumentsAfter + "otim 300\ntime 400\nnew\nquit\n"), {},
       {"::cmd:: otim\n::cmd:: 300\n::cmd:: time\n400\n::cmd:: new\n"}, {}},
      {Session(argumentsAfter + "time go\nquit\n"), {}, {"::cmd:: time\n::cmd:: go\n"}, {}},
      // Opponent moves are checked for legality; e2e4 is played (black has twenty replies).
      {Session("new\nforce\ne2e5\ne1e2\ne2e4\nperft 1\nquit\n"), {},
       {"Illegal Move: e2e5\n", "Illegal Move: e1e2\n", "*********** MakeRealMove ILLEGAL ", "total nodes: 20\n"},
       {"\nmove "}},
      {Session("test\nquit\n"), {}, {"\n8 . . r b . r k . \n"}, {"\nmove "}},
      // Finished games are announced, after the engine's move or with none.
      {Session("new\nforce\nf2f3\ne7e5\ng2g4\ngo\n"), {}, {"move d8h4\n0-1 {Tirvex mates 1}\n"}, {}},  // fool's mate
      {Session("setboard 7k/6Q1/6K1/8/8/8/8/8 b - -\ngo\n"), {}, {"1-0 {Tirvex mated 0}\n"}, {"\nmove "}},
      {Session("setboard 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo\n"), {}, {"1/2-1/2 {Draw by stalemate (1)}\n"}, {"\nmove "}},
      {Session("new\nforce\ng1f3\ng8f6\nf3g1\nf6g8\ng1f3\ng8f6\nf3g1\nf6g8\ngo\n"), {},
       {"1/2-1/2 {Draw by 3 fold repetition (2)}\n"}, {"\nmove "}},
      {Session("setboard 7K/8/8/8/8/k2N4/1p6/8 w - -\ngo\n"), {},
       {"move d3b2\n1/2-1/2 {Draw by insufficient material to mate (44)}\n"}, {}},
      // A bitbase library missing, or a path too long to use, counts as not loaded.
      {Session("eval\nquit\n"), "EGBB_PATH=nowhere\n", {notLoaded, "eval score: "}, {}},
      {Session("eval\nquit\n"), "EGBB_PATH=" + std::string(300, 'd') + "\n", {notLoaded, "eval score: "}, {}},
  };
  for (const SessionCase& c : cases) {
    EngineRun run = RunEngine(c.input, c.ini);
    EXPECT_EQ(run.status, 0) << c.input;
    for (const std::string& text : c.present) EXPECT_TRUE(Contains(run.out + run.log, text)) << c.input << "\n" << text;
    for (const std::string& text : c.absent) EXPECT_FALSE(Contains(run.out + run.log, text)) << c.input << "\n" << text;
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
