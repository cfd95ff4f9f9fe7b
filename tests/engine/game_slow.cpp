// Searches through the real binary: the words that arrive during a search or while pondering,
// and pondering with a correct and a wrong prediction. The engine's board is compared with the
// real game by replaying the moves here and matching the "-FEN:" line that the engine logs when
// it starts a search.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "../support/game_support.h"

namespace {

// The engine's own search of the test position, without a time limit, in its fourth iteration.
void StartLongSearch(EngineProcess& engine) {
  engine.Start();
  engine.Send(Session("test\ngo\n"));
  ASSERT_TRUE(engine.WaitForOutput("\n    4     "));
}

// Words sent during the engine's own search: "?" plays at once; force, new, setboard and
// result stop it without a move (the interface no longer expects one) and then act, leaving a
// position of perftAfter legal moves.
struct StopCase { const char* words; bool moves; const char* perftAfter; };
const StopCase StopCases[] = {
    {"?\n", true, nullptr},
    {"force\n", false, "\t43\n"},  // the test position stays, white to move
    {"new\n", false, "\t20\n"},
    {"result 1-0 {White resigns}\n", false, "\t43\n"},  // the finished game stays on the board
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

// The opponent plays the prediction (the search goes on as the engine's own, across words the
// loop only takes note of and a clock) or another move (the prediction is taken back).
TEST(Pondering, APredictionComesTrueOrIsTakenBack) {
  for (bool hit : {true, false}) {
    PonderGame game;
    game.Begin();
    ASSERT_FALSE(game.prediction.empty());
    ASSERT_TRUE(Replay(InitialFen, game.firstMove));
    std::string reply = game.prediction;
    for (Move m : LegalMoves())
      if (!hit && Text(m) != game.prediction) reply = Text(m);
    game.engine.Send("post\ncomputer\n");
    std::string second = game.Reply(reply);
    std::string log = game.engine.Log();
    for (const char* word : {"post", "computer", "time"}) EXPECT_TRUE(Contains(log, std::string("-cC: ") + word + "\n"));
    EXPECT_TRUE(Contains(log, hit ? "--- GOOD PONDER --- cmd:" + reply + "\n" : "-BAD PONDER\n")) << hit;
    std::string board = game.EngineBoard();
    EXPECT_TRUE(Contains(game.engine.Log(), "2900 otim 2900 [cC]\n"));
    ASSERT_TRUE(Replay(InitialFen, game.firstMove + " " + reply + " " + second));
    EXPECT_EQ(board, Fen()) << hit;
  }
}

// Words that change the game end the pondering, the prediction is taken back, and they act on
// the real game: the engine then moves in the position they set up.
// The position the engine's next move is played from; nullptr: after the first move.
struct GameWordCase { const char *words, *fen; };
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
    if (c.fen) EXPECT_TRUE(Replay(c.fen, second)) << c.words << second;
    else EXPECT_TRUE(Replay(InitialFen, game.firstMove + " " + second)) << c.words << second;
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
  EXPECT_TRUE(Replay(fen, moves[0] + " " + moves[1])) << moves[0] << " " << moves[1];
  EXPECT_FALSE(Contains(game.engine.Output(), "stalemate"));
  game.engine.Send("quit\n");
  EXPECT_EQ(game.engine.Finish(), 0);
}

TEST(Pondering, APredictionPlayedAfterThePonderSearchEndedIsAcceptedByTheLoop) {
  // White, a rook down, checks perpetually (Qe8+ Kh7 Qh5+ Kg8, every reply forced). After
  // two rounds the predicted reply repeats the position a third time, so the pondering
  // search ends at once and the command loop judges the prediction when it arrives.
  PonderGame game;
  game.Begin("setboard 6k1/6p1/8/7Q/8/1r6/q7/7K w - -\nforce\nh5e8\ng8h7\ne8h5\nh7g8\nh5e8\ng8h7\n"
             "hard\nlevel 0 5 0\ntime 1000 otim 1000\ngo\n");
  EngineProcess& engine = game.engine;
  EXPECT_EQ(game.firstMove, "e8h5");
  EXPECT_EQ(game.prediction, "h7g8");
  engine.Send("perft 1\n");  // answered only by the command loop, once pondering has ended
  ASSERT_TRUE(engine.WaitForOutput("total nodes: "));
  engine.Send(game.prediction + "\n");
  EXPECT_TRUE(engine.WaitForOutput("1/2-1/2 {Draw by 3 fold repetition (2)}\n"));
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
  EXPECT_TRUE(Contains(engine.Log(), "-WARNING ------------------------------ ------------- -------- GOOD PONDER\n"));
}

}  // namespace
