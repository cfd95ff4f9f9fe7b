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
      // Start-up reports before reading anything; protover is answered with the features, done=1
      // last, and accepted takes its feature's name. Another first word is warned about, and a
      // later protover is still answered.
      {Session("quit\n"), {},
       {"ERROR: Tirvex.ini file cannot be opened.\nBOOK ERROR: \n" + notLoaded + "\nfeature myname=\"Tirvex ",
        "feature ping=1\nfeature colors=0\n", "feature variants=\"normal\"\nfeature analyze=1\nfeature memory=1\nfeature done=1\n",
        "::cmd:: protover\n::cmd:: accepted\n::cmd:: accepted\n::cmd:: accepted\n::cmd:: quit\n"},
       {"::cmd:: setboard", "::cmd:: 2\n", "Engine works only"}},
      {"hello\nprotover 2\nquit\n", "",
       {"Engine works only with xboard protocol ver. 2\n\nfeature myname=", "::cmd:: protover\n::cmd:: quit\n"}, {}},
      // Configuration: comments, indentation and malformed keys are ignored, a path too long is
      // refused, and a line too long to read is reported and passed over.
      {Session("quit\n"), "  # BOOK_PATH=" + path + "\n\nBOOK_PATH =x\n", {"\nBOOK ERROR: \nEGBB ERROR:"},
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
      // white and black set the side to move, ignored when the other side would stand in check:
      // the black king's five moves, the rook and king's fifteen, the white king's three answers.
      {Session("setboard 4k3/8/8/8/8/8/8/R3K3 w - -\nblack\nperft 1\nwhite\nperft 1\n"
               "setboard 4k3/8/8/8/8/8/4r3/4K3 w - -\nblack\nperft 1\nquit\n"), {},
       {"total nodes: 5\n", "total nodes: 15\n", "total nodes: 3\n", "-M: side to move not changed"}, {"tellusererror"}},
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
       {"\nIllegal move: e2e5\n", "\nIllegal move: e1e2\n", "*********** MakeRealMove ILLEGAL ", "total nodes: 20\n"},
       {"\nmove ", "\n8 r n b q k b n r"}},
      {Session("test\nquit\n"), {}, {"\n8 . . r b . r k . \n"}, {"\nmove "}},
      // usermove carries a move; one that is not a move is answered as illegal.
      {Session("new\nforce\nusermove e2e4\nusermove e9e4\nperft 1\nquit\n"), {},
       {"\nIllegal move: e9e4\n", "total nodes: 20\n"}, {"\nmove "}},
      // Takebacks: undo one ply, remove two, as if the moves had never been made (a position
      // seen twice is not a repetition draw once its second visit is taken back); beyond the
      // game's start they are refused and nothing changes.
      {Session("new\nforce\ne2e4\ne7e5\ng1f3\nundo\nperft 1\nremove\nperft 1\nundo\nundo\nperft 1\nquit\n"), {},
       {"total nodes: 29\n", "total nodes: 20\n", "-M: takeback of 1 plies refused", "\n1\t0.0\t20\n"}, {}},
      {Session("new\nforce\ng1f3\ng8f6\nf3g1\nf6g8\ng1f3\ng8f6\nf3g1\nf6g8\nremove\nf3g1\nf6g8\nsd 2\ngo\n"), {},
       {"1/2-1/2 {Draw by 3 fold repetition (2)}\n"}, {"\nmove "}},
      {Session("new\nforce\ng1f3\ng8f6\nf3g1\nf6g8\ng1f3\ng8f6\nf3g1\nf6g8\nremove\nremove\nsd 2\ngo\n"), {},
       {"\nmove "}, {"1/2-1/2"}},
      // result ends the game: its comment never runs as commands, the board stays for review and
      // the engine follows moves without answering them until the next new.
      {Session("new\nresult 1-0 {Xboard: Forfeit due to illegal move: g1f3 (g1f3)}\ne2e4\nperft 1\nquit\n"), {},
       {"result\n 1-0 {Xboard: Forfeit due to illegal move: g1f3 (g1f3)}\n", "total nodes: 20\n"},
       {"\nmove ", "::cmd:: g1f3", "::cmd:: 1-0"}},
      // memory and HASH_MB size the table: two halves of a power of two of 36-byte buckets within
      // the megabytes given (10 MB: 2 x 2^17 x 36 = 9 MB; 100 MB: 72 MB; 1 MB: 576 kB).
      {Session("memory 100\nmemory 1\nsd 4\ngo\n"), "HASH_MB=10\n",
       {"-M: transposition table of 131072 buckets a side\n", "-M: transposition table of 1048576 buckets a side\n"
        "::cmd:: memory\n-M: transposition table of 8192 buckets a side\n", "\nmove "}, {}},
      // sd limits the depth of the search; pings are answered.
      {Session("new\nsd 1\nping 5\ngo\n"), {}, {"\n    1  ", "pong 5\n", "\nmove "}, {"\n    2  "}},
      {Session("new\nsd 3\ngo\n"), {}, {"\n    3  ", "\nmove "}, {"\n    4  "}},
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
