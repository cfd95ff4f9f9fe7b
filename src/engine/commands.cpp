// The command loop: reads the interface's words one at a time, logs each and dispatches it
// through one flat table; applies the opponent's moves (judging a pondering prediction) and
// runs the engine's own test and tool commands.
//
// During a search the loop does not run: the search's input poll (PollInput) reads the
// words. There, a new clock is applied at once; "?", "force", "quit" and an unexpected move
// stop the search; a predicted move turns pondering into the engine's own search; any other
// word waits in CommandBuffer for this loop.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "engine/engine.h"
#include "eval/eval.h"
#include "search/search.h"

char CommandBuffer[CommandBufferSize];
bool PendingCommand;
int EngineState = Force;
bool PonderEnabled = true;
Move PonderMove;

namespace {

constexpr const char* EvalFen = "R7/8/8/6p1/8/b7/4k3/K7 w - - 0 1";
constexpr const char* TestFen = "2rb1rk1/p4p2/2n3p1/q2NpPP1/2p5/P1Q1PP2/1P1R4/2K4R w - - 0 23";
// The longest setboard text: the buffer keeps room for the line end and the NUL of the design.
constexpr int SetboardLimit = CommandBufferSize - 2;

// Second argument word of the two-word tool commands.
char SecondArgument[CommandBufferSize];

// Sets up a position; a new position ends any prediction made for pondering.
bool SetUpPosition(const char* fen) {
  if (!SetupGame(fen)) return false;
  PonderMove = 0;
  if (EngineState == Pondering) EngineState = Waiting;
  return true;
}

// An opponent's move. While pondering it judges the prediction: a hit after the pondering
// search ended makes the reply a game move and thinks on; a miss takes the reply back first.
// An illegal move is refused by MakeRealMove and the engine then waits for a legal one.
void PlayOpponentMove() {
  Move move = ReadCoordinateMove(CommandBuffer);
  if (EngineState == Pondering) {
    if (move == PonderMove) {
      LogLine("-WARNING ------------------------------ ------------- -------- GOOD PONDER");
      AcceptPrediction();
      think();
      return;
    }
    LogLine("-BAD PONDER");
    RetractPrediction();
    EngineState = Waiting;
    if (!PlayGameMove(move)) return;
    SearchAge++;
    think();
    return;
  }
  if (PlayGameMove(move) && EngineState == Waiting) think();
}

// Moves are taken only in the states in which the engine follows the game.
bool TakesMove() {
  return (EngineState == Pondering || EngineState == Waiting || EngineState == Force) &&
         ReadCoordinateMove(CommandBuffer) != 0;
}

// "go" makes the engine play the side to move; a prediction left on the board from pondering
// is taken back first so that the engine thinks on the real game position.
void Go() {
  if (EngineState == Pondering) {
    RetractPrediction();
    EngineState = Waiting;
  }
  think();
}

void NewGame() {
  SetUpPosition(InitialFen);
  EngineState = Waiting;
}

// level MPS BASE INC: moves per control and the increment; the base time comes with each clock.
void Level() {
  int mps = MovesPerControl, inc = static_cast<int>(Increment / 1000);
  char base[CommandBufferSize];
  ReadInteger(&mps);
  ReadWord(base, sizeof base);
  ReadInteger(&inc);
  LogLine("%d %s %d", mps, base, inc);
  MovesPerControl = mps;
  Increment = inc >= 1 ? int64_t(inc) * 1000 : 0;
}

// setboard FEN: the rest of the line, refused whole when it does not fit.
void SetBoard() {
  ReadLine(CommandBuffer, SetboardLimit + 1);
  LogLine("setboard %s", CommandBuffer);
  if (InputOverflow) {
    LogLine("-M: refused setboard text longer than %d characters", SetboardLimit);
    return;
  }
  if (!SetUpPosition(CommandBuffer)) LogLine("-M: tellusererror Illegal position");
}

void SetSideToMove(int side) {
  Position.SideToMove = side;
  RootSideToMove = side;
}

// eval: the static score of a fixed position, from the bitbases when they know it.
void EvalCommand() {
  SetUpPosition(EvalFen);
  PrintBoard(Position.Board);
  bool probe = Position.PawnCount[White] + Position.PawnCount[Black] <= 3 && BitbasesLoaded && BitbaseProbing &&
               PopCount(Position.Occupied) <= 5;
  int score = probe ? ProbeBitbases() : 99999;
  if (score == 99999) std::printf("eval score: %d\n", Evaluate());
  else std::printf("egbb score: %d\n", score);
}

// test: a fixed middlegame position with in effect unlimited time; a following go searches it.
void TestCommand() {
  MovesPerControl = 1;
  Increment = 0;
  SetUpPosition(TestFen);
  EngineState = Waiting;
  PonderEnabled = false;
  PrintBoard(Position.Board);
  ComputeMoveBudget(999999999, 1);
}

// The tool commands read their argument words: the first into CommandBuffer, the second into
// SecondArgument. The conversion, book and database tools come later; until then they only
// consume their arguments.
void ReadToolArguments(int count) {
  if (count > 0) ReadWord(CommandBuffer, CommandBufferSize);
  if (count > 1) ReadWord(SecondArgument, CommandBufferSize);
}

void Benchmark() {
  char word[CommandBufferSize];
  int count = 0;
  ReadWord(word, sizeof word);
  ReadInteger(&count);
  std::printf("Define __STAT\n");
}

void BenchmarkSpeed() {
  char word[CommandBufferSize];
  ReadWord(word, sizeof word);
  std::printf("Define __STAT\n");
}

void PerftCommand() {
  int depth = 0;
  ReadInteger(&depth);
  Perft(depth);
}

struct Command {
  const char* word;  // nullptr: a coordinate move
  int prefix;        // letters compared; 0 for an exact match
  void (*run)();
};

// Tested in this order; the first match wins. A word matching nothing is only logged.
constexpr Command Commands[] = {
    {"time", 4, [] { ReadClockCommand(""); }},
    {nullptr, 0, PlayOpponentMove},
    {"go", 2, Go},
    {"new", 3, NewGame},
    {"result", 6, NewGame},
    {"level", 5, Level},
    {"force", 5, StopEngine},
    {"setboard", 8, SetBoard},
    {"easy", 0, [] { PonderEnabled = false; }},
    {"hard", 0, [] { PonderEnabled = true; }},
    {"quit", 4, [] { EngineState = Quit; }},
    {"white", 5, [] { SetSideToMove(White); }},
    {"black", 5, [] { SetSideToMove(Black); }},
    {"eval", 0, EvalCommand},
    {"pgn2pos", 0, [] { ReadToolArguments(1); }},
    {"pgn2game", 0, [] { ReadToolArguments(2); }},
    {"pgnlist2game", 0, [] { ReadToolArguments(2); }},
    {"game2pgn", 0, [] { ReadToolArguments(2); }},
    {"game2pos", 0, [] { ReadToolArguments(2); }},
    {"bookshow", 0, [] {}},
    {"dbshow", 0, [] {}},
    {"dbshowlin", 0, [] {}},
    {"bookcreate", 0, [] {}},
    {"dbcreate", 0, [] { ReadToolArguments(2); }},
    {"benchmark", 0, Benchmark},
    {"benchmarkspeed", 0, BenchmarkSpeed},
    {"perft", 0, PerftCommand},
    {"test", 0, TestCommand},
};

bool Matches(const Command& command, const char* word) {
  if (!command.word) return TakesMove();
  return command.prefix ? std::strncmp(word, command.word, command.prefix) == 0
                        : std::strcmp(word, command.word) == 0;
}

void Dispatch(const char* word) {
  for (const Command& command : Commands)
    if (Matches(command, word)) {
      command.run();
      return;
    }
}

}  // namespace

void StopEngine() {
  LogLine("-M: entered StopEngine");
  if (EngineState == Pondering) RetractPrediction();
  EngineState = Force;
  StopSearch = true;
  SearchStart = 0;
  LogLine("-M: exited StopEngine");
}

// Runs until quit; the end of input counts as quit. A word too long for CommandBuffer is
// logged and refused.
void CommandLoop() {
  while (EngineState != Quit) {
    bool refused = false;
    if (!PendingCommand) {
      if (!ReadWord(CommandBuffer, CommandBufferSize)) {
        LogLine("-M: end of input");
        std::strcpy(CommandBuffer, "quit");
      }
      refused = InputOverflow;
    }
    PendingCommand = false;
    LogLine("::cmd:: %s", CommandBuffer);
    if (refused) LogLine("-M: refused word longer than %d characters", CommandBufferSize - 1);
    else Dispatch(CommandBuffer);
  }
}
