// Whole games and searches through the real binary: thinking lines and legal moves, the
// result announcements, the commands that arrive during a search, and pondering with a
// correct and a wrong prediction. The engine's board is compared with the real game by
// replaying the moves here with the board's own functions and matching the "-FEN:" line
// that the engine logs when it starts a search.
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>
#include "../support/engine_process.h"
#include "board/board.h"
#include "engine/engine.h"
#include "eval/eval.h"
#include "movegen/movegen.h"

namespace {

const bool Initialised = (InitTables(), InitPhaseTables(), true);

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The engine's move lines in order.
std::vector<std::string> EngineMoves(const std::string& out) {
  std::vector<std::string> moves;
  static const std::regex line("(^|\n)move ([a-h][1-8][a-h][1-8][qnrb]?)\n");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it)
    moves.push_back((*it)[2]);
  return moves;
}

// Sets up fen and plays moves with the board's functions; false when one is illegal.
bool Replay(const char* fen, const std::vector<std::string>& moves) {
  if (!SetupGame(fen)) return false;
  for (const std::string& text : moves)
    if (!MakeRealMove(ReadCoordinateMove(text.c_str()))) return false;
  return true;
}

std::string CurrentFen() {
  char fen[128];
  WriteFen(fen);
  return fen;
}

std::vector<std::string> LegalMoves() {
  MoveEntry list[MaxMovesPerList];
  CheckInfo check;
  ComputeCheckers(&check);
  MoveEntry* end = check.checkers ? GenerateEvasions(list, &check) : GenerateMoves(list);
  std::vector<std::string> moves;
  for (MoveEntry* e = list; e < end; e++)
    if (MoveIsLegal(e->Move)) {
      char text[8];
      MoveToText(e->Move, text);
      moves.push_back(text);
    }
  return moves;
}

// The text after marker up to the line end, for the first occurrence of marker after from.
std::string LineAfter(const std::string& log, const std::string& marker, size_t from = 0) {
  size_t at = log.find(marker, from);
  if (at == std::string::npos) return "";
  at += marker.size();
  return log.substr(at, log.find('\n', at) - at);
}

std::string Session(const std::string& commands) { return std::string(XboardHandshake) + commands; }

TEST(Thinking, GoPrintsThinkingLinesAndALegalMove) {
  EngineRun run = RunEngine("new\nlevel 0 1 0\ntime 6000 otim 6000\ngo\nquit\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::regex_search(run.out, std::regex("\n    2     -?[0-9]+     [0-9]+     [0-9]+  [a-h]")));
  std::vector<std::string> moves = EngineMoves(run.out);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(Replay(InitialFen, moves)) << moves[0];
}

TEST(Results, TheEngineAnnouncesItsMate) {
  EngineRun run = RunEngine(Session("new\nforce\nf2f3\ne7e5\ng2g4\ngo\n"));
  EXPECT_TRUE(Contains(run.out, "move d8h4\n0-1 {Tirvex mates 1}\n"));
}

TEST(Results, AFinishedGameIsAnnouncedWithoutAMove) {
  EngineRun mated = RunEngine(Session("setboard 7k/6Q1/6K1/8/8/8/8/8 b - -\ngo\n"));
  EXPECT_TRUE(Contains(mated.out, "1-0 {Tirvex mated 0}\n"));
  EXPECT_TRUE(EngineMoves(mated.out).empty());
  EngineRun stalemate = RunEngine(Session("setboard 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo\n"));
  EXPECT_TRUE(Contains(stalemate.out, "1/2-1/2 {Draw by stalemate (1)}\n"));
  EXPECT_TRUE(EngineMoves(stalemate.out).empty());
}

TEST(Results, ARepeatedPositionIsClaimedBeforeSearching) {
  EngineRun run = RunEngine(Session("new\nforce\ng1f3\ng8f6\nf3g1\nf6g8\ng1f3\ng8f6\nf3g1\nf6g8\ngo\n"));
  EXPECT_TRUE(Contains(run.out, "1/2-1/2 {Draw by 3 fold repetition (2)}\n"));
  EXPECT_TRUE(EngineMoves(run.out).empty());
}

TEST(Results, CapturingTheLastPawnIsAnnouncedAfterTheMove) {
  EngineRun run = RunEngine(Session("setboard 7K/8/8/8/8/k2N4/1p6/8 w - -\ngo\n"));
  EXPECT_TRUE(Contains(run.out, "move d3b2\n1/2-1/2 {Draw by insufficient material to mate (44)}\n"));
}

// Starts an unlimited search of the test position and waits for its fourth iteration.
void StartLongSearch(EngineProcess& engine) {
  engine.Start();
  engine.Send(Session("test\ngo\n"));
  ASSERT_TRUE(engine.WaitForOutput("\n    4     "));
}

TEST(DuringSearch, QuestionMarkPlaysAtOnce) {
  EngineProcess engine;
  StartLongSearch(engine);
  engine.Send("?\n");
  ASSERT_TRUE(engine.WaitForOutput("\nmove "));
  EXPECT_TRUE(Contains(engine.Log(), "-cC: ?\n"));
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
}

TEST(DuringSearch, ForcePlaysTheMoveAndThenStops) {
  EngineProcess engine;
  StartLongSearch(engine);
  engine.Send("force\n");
  ASSERT_TRUE(engine.WaitForOutput("\nmove "));
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
  std::string log = engine.Log();
  EXPECT_TRUE(Contains(log, "-cC: force\n"));
  EXPECT_TRUE(Contains(log, "::cmd:: force\n-M: entered StopEngine\n"));
  EXPECT_EQ(EngineMoves(engine.Output()).size(), 1u);
}

TEST(DuringSearch, QuitEndsTheProgram) {
  EngineProcess engine;
  StartLongSearch(engine);
  engine.Send("quit\n");
  EXPECT_EQ(engine.Finish(), 0);
  EXPECT_TRUE(Contains(engine.Log(), "-cC: quit\n"));
}

// A game in which the engine plays white, moves and starts pondering.
struct PonderGame {
  EngineProcess engine;
  std::string firstMove, prediction;

  void Begin() {
    engine.Start();
    engine.Send(Session("new\nhard\nlevel 0 5 0\ntime 3000 otim 3000\ngo\n"));
    ASSERT_TRUE(engine.WaitForOutput("\nmove "));
    ASSERT_TRUE(engine.WaitForLog("-ponder move: "));
    ASSERT_TRUE(engine.WaitForLog("*** xxx czas uzyty"));
    firstMove = EngineMoves(engine.Output()).at(0);
    prediction = LineAfter(engine.Log(), "-ponder move: ");
  }

  // The opponent's move with its clock commands, then the engine's answer.
  std::string Reply(const std::string& move) {
    engine.Send("time 2900\notim 2900\n" + move + "\n");
    EXPECT_TRUE(WaitForMoves(2));
    return EngineMoves(engine.Output()).at(1);
  }

  bool WaitForMoves(size_t count) {
    return engine.WaitForOutputWhere([&](const std::string& out) { return EngineMoves(out).size() >= count; });
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

TEST(Pondering, ACorrectPredictionContinuesTheSearchAcrossAClockCommand) {
  PonderGame game;
  game.Begin();
  ASSERT_FALSE(game.prediction.empty());
  std::string second = game.Reply(game.prediction);
  std::string log = game.engine.Log();
  EXPECT_TRUE(Contains(log, "-cC: time\n"));
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
