// The clock, end to end: games through the real binary against an instant opponent, with the
// interface's clock kept here as xboard keeps it (time runs from the opponent's move to the
// engine's answer; increments and new controls are added), under tiny and awkward controls.
// Every move must arrive before the engine's clock runs out, with a margin for the interface.
#include <gtest/gtest.h>
#include <chrono>
#include <random>
#include <set>
#include <thread>
#include <string>
#include <vector>
#include "../support/game_support.h"

namespace {

using Clock = std::chrono::steady_clock;

struct ClockCase {
  const char* name;
  const char* fen;        // the game's start; nullptr: the initial position
  const char* level;      // the level command's arguments
  bool engineWhite;
  int64_t start;          // the engine's clock at the first move, ms, added again at each new control
  int movesPerControl;    // 0: the whole game
  int64_t increment;      // ms added after each of the engine's moves
  int engineMoves;        // moves the game lasts at most
  bool ponder;            // pondering on, and the opponent plays the predicted reply
};

// The margin every move leaves on the clock: the interface's own latency.
constexpr int64_t Margin = 25;

// Kings behind a locked pawn wall: no capture, no way through, so a game lasts until the
// fifty-move rule (50 moves a side), long enough to cross a control of 40.
constexpr const char* Wall = "4k3/8/8/p1p1p1p1/P1P1P1P1/8/8/4K3 w - -";

const ClockCase ClockCases[] = {
    {"two seconds for the game", nullptr, "0 0:02 0", true, 2000, 0, 0, 40, false},
    {"40 moves in 5 s as white, across a control", Wall, "40 0:05 0", true, 5000, 40, 0, 44, false},
    {"40 moves in 5 s as black, across a control", Wall, "40 0:05 0", false, 5000, 40, 0, 44, false},
    {"one second and 0.1 s a move", nullptr, "0 0:01 0.1", false, 1000, 0, 100, 40, false},
    {"half a second left and 0.1 s a move", nullptr, "0 0:05 0.1", true, 500, 0, 100, 30, false},
    {"ponder hits with three seconds for the game", nullptr, "0 0:03 0", true, 3000, 0, 0, 40, true},
};

struct ClockGame {
  const ClockCase& c;
  EngineProcess engine;
  std::mt19937 random{20261207};
  int64_t clock;
  int64_t lowest;
  int ownMoves = 0;
  std::set<uint64_t> seen;

  explicit ClockGame(const ClockCase& game) : c(game), clock(game.start), lowest(game.start) {}

  // The engine announced a result after offset from, or the board here has no legal move.
  bool Over(size_t from) { return engine.Output().find(" {", from) != std::string::npos || LegalMoves().empty(); }

  // Waits for the engine's move line after output offset from and charges its clock; false when
  // none came in time. Only the new output is searched, so the wait costs the same at every move.
  bool AwaitMove(Clock::time_point sent, size_t from) {
    size_t at = std::string::npos;
    bool answered = engine.WaitForOutputWhere(
        [&](const std::string& out) {
          at = out.find("\nmove ", from ? from - 1 : 0);
          return (at != std::string::npos && out.find('\n', at + 1) != std::string::npos) ||
                 out.find(" {", from) != std::string::npos;
        },
        clock / 1000 + 10);
    int64_t used = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
    if (!answered) return false;
    if (at == std::string::npos) return true;  // the engine announced the end instead
    const std::string& out = engine.Output();
    std::string move = out.substr(at + 6, out.find('\n', at + 1) - at - 6);
    clock -= used;
    lowest = std::min(lowest, clock);
    EXPECT_GE(clock, Margin) << c.name << ": move " << ownMoves + 1 << " took " << used << " ms";
    ownMoves++;
    if (c.movesPerControl && ownMoves % c.movesPerControl == 0) clock += c.start;  // a new control
    clock += c.increment;
    return Play(move);
  }

  // The opponent's reply: the engine's prediction when pondering is tested, else a random move,
  // one that leads to a position not seen before where there is one (so that the game is not
  // cut short by a repetition).
  std::string Reply(int predictions) {
    if (c.ponder && engine.WaitForLog("-ponder move: ", 1)) {
      std::string log = engine.Log();
      if (Count(log, "-ponder move: ") > predictions) {
        std::string predicted = LineAfter(log, "-ponder move: ", log.rfind("-ponder move: "));
        for (Move m : LegalMoves())
          if (Text(m) == predicted) return predicted;
      }
    }
    std::vector<Move> legal = LegalMoves(), fresh;
    for (Move m : legal) {
      PlyRecord record;
      SaveBoardState(&record);
      MakeMove(m, &record);
      if (!seen.count(Position.PositionKey ^ Position.SideToMove)) fresh.push_back(m);
      UnmakeMove(m, &record);
    }
    const std::vector<Move>& pick = fresh.empty() ? legal : fresh;
    return Text(pick[random() % pick.size()]);
  }

  // Plays a move of either side on the board here, remembering the position it leads to.
  bool Play(const std::string& move) {
    if (!::Play(move)) return false;
    seen.insert(Position.PositionKey ^ Position.SideToMove);
    return true;
  }

  void PlayGame() {
    const char* fen = c.fen ? c.fen : InitialFen;
    ASSERT_TRUE(SetupGame(fen));
    engine.Start();
    engine.Send(Session(std::string("new\nsetboard ") + fen + "\n" + (c.ponder ? "hard" : "easy") + "\nlevel " +
                        c.level + "\n"));
    std::string word = "go";
    if (!c.engineWhite) {
      word = Reply(0);
      ASSERT_TRUE(Play(word));
    }
    for (int n = 0; n < c.engineMoves; n++) {
      int predictions = Count(engine.Log(), "-ponder move: ");
      if (c.ponder && n > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));  // time to ponder
      size_t from = engine.Output().size();
      Clock::time_point sent = Clock::now();
      engine.Send("time " + std::to_string(clock / 10) + "\notim 30000\n" + word + "\n");  // as the interface sends it
      ASSERT_TRUE(AwaitMove(sent, from)) << c.name << ": no move with " << clock << " ms left";
      if (Over(from)) break;
      word = Reply(predictions);
      ASSERT_TRUE(Play(word));
    }
    engine.Send("quit\n");
    EXPECT_EQ(engine.Finish(), 0) << c.name;
  }
};

TEST(Clock, EveryMoveArrivesBeforeTheClockRunsOut) {
  for (const ClockCase& c : ClockCases) {
    ClockGame game(c);
    game.PlayGame();
    std::string log = game.engine.Log();
    EXPECT_FALSE(Contains(log, "MakeRealMove ILLEGAL")) << c.name;
    if (c.ponder) {
      EXPECT_TRUE(Contains(log, "--- GOOD PONDER ---")) << c.name;
    }
    std::printf("%s: %d moves, lowest clock %lld ms\n", c.name, game.ownMoves, static_cast<long long>(game.lowest));
    if (c.movesPerControl) {
      EXPECT_GT(game.ownMoves, c.movesPerControl) << c.name << ": the control was not crossed";
    }
  }
}

// Without a time command: st's time is used nearly whole and never exceeded; level's base time
// stands for the clock; with neither, a few seconds. Times from the go to the move line.
TEST(Clock, MovesWithoutAClockCommandTakeTheirTime) {
  struct Row { const char* commands; int64_t least, most; } rows[] = {
      {"st 1\n", 600, 1000},
      {"st 1\nnew\n", 2000, 5100},                 // new drops st: the default time
      {"level 40 0:20 0\n", 200, 20000 / 40 + 300},  // the clock assumed full: 20 s for 40 moves
      {"level 0 0 2\n", 1000, 2300},                 // no base time: the increment
  };
  for (const Row& row : rows) {
    EngineProcess engine;
    engine.Start();
    engine.Send(Session(std::string("new\neasy\n") + row.commands + "ping 1\n"));
    ASSERT_TRUE(engine.WaitForOutput("pong 1\n"));
    Clock::time_point sent = Clock::now();
    engine.Send("go\n");
    ASSERT_TRUE(engine.WaitForOutputWhere([](const std::string& out) { return EngineMoves(out).size() == 1; }));
    int64_t used = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
    EXPECT_GE(used, row.least) << row.commands;
    EXPECT_LE(used, row.most) << row.commands;
    engine.Send("quit\n");
    EXPECT_EQ(engine.Finish(), 0);
  }
}

// Stopped by the clock before depth 6, the root search takes one more budget; that restart too
// stays within the hard limit.
TEST(Clock, TheRestartBeforeDepthSixKeepsWithinTheClock) {
  const ClockCase tight = {"restart", nullptr, "0 0:01 0", true, 300, 0, 50, 12, false};
  ClockGame game(tight);
  game.PlayGame();
  EXPECT_TRUE(Contains(game.engine.Log(), "fixing move... ")) << "no restart happened";
}

}  // namespace
