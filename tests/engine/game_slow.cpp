// Whole games and searches through the real binary: thinking lines and legal moves, the
// result announcements, the words that arrive during a search or while pondering, and
// pondering with a correct and a wrong prediction. The engine's board is compared with the
// real game by replaying the moves here and matching the "-FEN:" line that the engine logs
// when it starts a search.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "../support/game_support.h"

namespace {

TEST(Thinking, GoPrintsThinkingLinesAndALegalMove) {
  EngineRun run = RunEngine("new\nlevel 0 1 0\ntime 6000 otim 6000\ngo\nquit\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::regex_search(run.out, std::regex("\n    2     -?[0-9]+     [0-9]+     [0-9]+  [a-h]")));
  std::vector<std::string> moves = EngineMoves(run.out);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(Replay(InitialFen, moves)) << moves[0];
}

// Game ends the engine announces: before moving (no move line) or after its move.
struct ResultCase {
  const char* commands;
  const char* expected;
  bool moves;
};
const ResultCase ResultCases[] = {
    {"new\nforce\nf2f3\ne7e5\ng2g4\ngo\n", "move d8h4\n0-1 {Tirvex mates 1}\n", true},  // fool's mate
    {"setboard 7k/6Q1/6K1/8/8/8/8/8 b - -\ngo\n", "1-0 {Tirvex mated 0}\n", false},
    {"setboard 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo\n", "1/2-1/2 {Draw by stalemate (1)}\n", false},
    {"new\nforce\ng1f3\ng8f6\nf3g1\nf6g8\ng1f3\ng8f6\nf3g1\nf6g8\ngo\n", "1/2-1/2 {Draw by 3 fold repetition (2)}\n",
     false},
    {"setboard 7K/8/8/8/8/k2N4/1p6/8 w - -\ngo\n", "move d3b2\n1/2-1/2 {Draw by insufficient material to mate (44)}\n",
     true},
};

TEST(Results, FinishedGamesAreAnnounced) {
  for (const ResultCase& c : ResultCases) {
    EngineRun run = RunEngine(Session(c.commands));
    EXPECT_TRUE(Contains(run.out, c.expected)) << c.commands;
    EXPECT_EQ(EngineMoves(run.out).empty(), !c.moves) << c.commands;
  }
}

// The engine's own search of the test position, without a time limit, in its fourth iteration.
void StartLongSearch(EngineProcess& engine) {
  engine.Start();
  engine.Send(Session("test\ngo\n"));
  ASSERT_TRUE(engine.WaitForOutput("\n    4     "));
}

// Words sent during the engine's own search: "?" plays at once; force, new, setboard and
// result stop it without a move (the interface no longer expects one) and then act.
struct StopCase {
  const char* words;
  bool moves;
  const char* perftAfter;  // the legal-move count of the position then on the board
};
const StopCase StopCases[] = {
    {"?\n", true, nullptr},
    {"force\n", false, "\t43\n"},  // the test position stays, white to move
    {"new\n", false, "\t20\n"},
    {"result 1-0 {White resigns}\n", false, "\t20\n"},
    {"setboard 4k3/8/8/8/8/8/8/R3K3 w - -\n", false, "\t15\n"},
};

TEST(DuringSearch, StopWordsEndTheSearchWithOrWithoutAMove) {
  for (const StopCase& c : StopCases) {
    EngineProcess engine;
    StartLongSearch(engine);
    engine.Send(c.words);
    if (c.moves) {
      EXPECT_TRUE(engine.WaitForOutput("\nmove ")) << c.words;
    } else {
      engine.Send("perft 1\n");
      ASSERT_TRUE(engine.WaitForOutput("total nodes: ")) << c.words;
      EXPECT_TRUE(EngineMoves(engine.Output()).empty()) << c.words;
      EXPECT_TRUE(Contains(engine.Output(), c.perftAfter)) << c.words;
      EXPECT_TRUE(Contains(engine.Log(), "-M: search abandoned, no move\n")) << c.words;
    }
    engine.Send("quit\n");
    EXPECT_EQ(engine.Finish(), 0) << c.words;
  }
}

TEST(DuringSearch, OtherWordsWaitAndQuitEndsTheProgram) {
  EngineProcess engine;
  StartLongSearch(engine);
  engine.Send("post\neasy\n");
  EXPECT_FALSE(engine.WaitForOutput("\nmove ", 1));
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
  for (const char* word : {"post", "easy", "quit"}) EXPECT_TRUE(Contains(engine.Log(), std::string("-cC: ") + word + "\n"));
  EXPECT_EQ(EngineMoves(engine.Output()).size(), 1u);  // quit plays the move found, then ends
}

// A game in which the engine plays white, moves and starts pondering.
struct PonderGame {
  EngineProcess engine;
  std::string firstMove, prediction;

  void Begin(const std::string& start = "new\nhard\nlevel 0 5 0\ntime 3000 otim 3000\ngo\n") {
    engine.Start();
    engine.Send(Session(start));
    ASSERT_TRUE(engine.WaitForOutput("\nmove "));
    ASSERT_TRUE(engine.WaitForLog("-ponder move: "));
    ASSERT_TRUE(engine.WaitForLog("*** xxx czas uzyty"));
    firstMove = EngineMoves(engine.Output()).at(0);
    prediction = LineAfter(engine.Log(), "-ponder move: ");
  }

  bool WaitForMoves(size_t count, int seconds = 60) {
    return engine.WaitForOutputWhere([&](const std::string& out) { return EngineMoves(out).size() >= count; },
                                     seconds);
  }

  // The opponent's move with its clock commands, then the engine's answer.
  std::string Reply(const std::string& move) {
    engine.Send("time 2900\notim 2900\n" + move + "\n");
    EXPECT_TRUE(WaitForMoves(2));
    return EngineMoves(engine.Output()).at(1);
  }

  // Stops pondering with force, then lets the engine search the game position and returns
  // the FEN it logs when that search starts.
  std::string EngineBoard() {
    size_t before = engine.Log().size();
    engine.Send("force\ngo\n");
    EXPECT_TRUE(WaitForMoves(3));
    engine.Send("quit\n");
    EXPECT_EQ(engine.Finish(), 0);
    std::string log = engine.Log();
    return LineAfter(log, "-FEN:\t", log.find("::cmd:: go\n", before));
  }
};

TEST(Pondering, ACorrectPredictionContinuesTheSearchAcrossHarmlessWordsAndAClock) {
  PonderGame game;
  game.Begin();
  ASSERT_FALSE(game.prediction.empty());
  // Words the loop only takes note of do not end the pondering the hit continues.
  game.engine.Send("post\ncomputer\n");
  std::string second = game.Reply(game.prediction);
  std::string log = game.engine.Log();
  for (const char* word : {"post", "computer", "time"}) EXPECT_TRUE(Contains(log, std::string("-cC: ") + word + "\n"));
  EXPECT_TRUE(Contains(log, "--- GOOD PONDER --- cmd:" + game.prediction + "\n"));
  std::string board = game.EngineBoard();
  EXPECT_TRUE(Contains(game.engine.Log(), "2900 otim 2900 [cC]\n"));
  ASSERT_TRUE(Replay(InitialFen, {game.firstMove, game.prediction, second}));
  EXPECT_EQ(board, CurrentFen());
}

TEST(Pondering, AWrongPredictionIsTakenBack) {
  PonderGame game;
  game.Begin();
  ASSERT_TRUE(Replay(InitialFen, {game.firstMove}));
  std::string other;
  for (const std::string& move : LegalMoves())
    if (move != game.prediction) other = move;
  std::string second = game.Reply(other);
  EXPECT_TRUE(Contains(game.engine.Log(), "-BAD PONDER\n"));
  std::string board = game.EngineBoard();
  ASSERT_TRUE(Replay(InitialFen, {game.firstMove, other, second}));
  EXPECT_EQ(board, CurrentFen());
}

// Words that change the game end the pondering, the prediction is taken back, and they act on
// the real game: the engine then moves in the position they set up.
struct GameWordCase {
  const char* words;
  const char* fen;  // the position the engine's next move is played from; nullptr: after the first move
};
const GameWordCase GameWordCases[] = {
    {"result 1-0 {x}\nnew\nlevel 0 0:05 0\ntime 500\notim 500\ngo\n", InitialFen},
    {"setboard 4k3/8/8/8/8/8/8/R3K3 b - -\ngo\n", "4k3/8/8/8/8/8/8/R3K3 b - -"},
    {"level 0 0:05 0\ntime 500\notim 500\nblack\ngo\n", nullptr},
    {"undo\nwhite\nforce\nblack\ngo\n", nullptr},
};

TEST(Pondering, WordsThatChangeTheGameEndItAndActOnTheRealPosition) {
  for (const GameWordCase& c : GameWordCases) {
    PonderGame game;
    game.Begin();
    game.engine.Send(c.words);
    ASSERT_TRUE(game.WaitForMoves(2, 30)) << c.words;
    std::string second = EngineMoves(game.engine.Output()).at(1);
    if (c.fen) EXPECT_TRUE(Replay(c.fen, {second})) << c.words << second;
    else EXPECT_TRUE(Replay(InitialFen, {game.firstMove, second})) << c.words << second;
    game.engine.Send("quit\n");
    EXPECT_EQ(game.engine.Finish(), 0);
  }
}

TEST(Pondering, SideWordsAfterAPonderSearchThatEndedTakeThePredictionBackFirst) {
  // White mates or wins at once; the predicted black reply leaves a position the pondering
  // search settles by itself, so the prediction still stands when black and go arrive.
  const char* fen = "4k3/8/8/8/8/4n3/6K1/3Q4 w - - 0 1";
  PonderGame game;
  game.Begin(std::string("force\nsetboard ") + fen + "\nlevel 0 0:05 0\ntime 100\notim 100\ngo\n");
  game.engine.Send("black\ngo\n");
  ASSERT_TRUE(game.WaitForMoves(2, 30));
  std::vector<std::string> moves = EngineMoves(game.engine.Output());
  EXPECT_TRUE(Replay(fen, {moves[0], moves[1]})) << moves[0] << " " << moves[1];
  EXPECT_FALSE(Contains(game.engine.Output(), "stalemate"));
  game.engine.Send("quit\n");
  EXPECT_EQ(game.engine.Finish(), 0);
}

TEST(Pondering, APredictionPlayedAfterThePonderSearchEndedIsAcceptedByTheLoop) {
  // White, a rook down, checks perpetually (Qe8+ Kh7 Qh5+ Kg8, every reply forced). After
  // two rounds the predicted reply repeats the position a third time, so the pondering
  // search ends at once and the command loop judges the prediction when it arrives.
  EngineProcess engine;
  engine.Start();
  engine.Send(Session("setboard 6k1/6p1/8/7Q/8/1r6/q7/7K w - -\nforce\nh5e8\ng8h7\ne8h5\nh7g8\nh5e8\ng8h7\n"
                      "hard\nlevel 0 5 0\ntime 1000 otim 1000\ngo\n"));
  ASSERT_TRUE(engine.WaitForLog("-ponder move: "));
  ASSERT_TRUE(engine.WaitForLog("*** xxx czas uzyty"));
  EXPECT_EQ(EngineMoves(engine.Output()), std::vector<std::string>{"e8h5"});
  std::string prediction = LineAfter(engine.Log(), "-ponder move: ");
  EXPECT_EQ(prediction, "h7g8");
  engine.Send("perft 1\n");  // answered only by the command loop, once pondering has ended
  ASSERT_TRUE(engine.WaitForOutput("total nodes: "));
  engine.Send(prediction + "\n");
  EXPECT_TRUE(engine.WaitForOutput("1/2-1/2 {Draw by 3 fold repetition (2)}\n"));
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
  EXPECT_TRUE(Contains(engine.Log(), "-WARNING ------------------------------ ------------- -------- GOOD PONDER\n"));
}

}  // namespace
