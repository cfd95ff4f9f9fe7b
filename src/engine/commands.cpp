// The command loop: reads the interface's words one at a time, logs each and dispatches it
// through one flat table; applies the opponent's moves (judging a pondering prediction) and
// runs the engine's own test and tool commands.
//
// During a search the loop does not run: the search's input poll (PollInput) reads the
// words. There, a new clock is applied at once, a predicted move turns pondering into the
// engine's own search, an unexpected move stops the search, and every other word acts as the
// table's "during a search" column says.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "book/book.h"
#include "engine/engine.h"
#include "eval/eval.h"
#include "records/records.h"
#include "search/search.h"

char CommandBuffer[CommandBufferSize];
bool PendingCommand;
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
bool TakesMove(const char* word) {
  return (EngineState == Pondering || EngineState == Waiting || EngineState == Force) &&
         ReadCoordinateMove(word) != 0;
}

void NewGame() {
  SetUpPosition(InitialFen);
  EngineState = Waiting;
}

// level MPS BASE INC: moves per control and the increment; the base time comes with each clock.
void Level() {
  int mps = MovesPerControl, inc = static_cast<int>(Increment / 1000);
  char base[CommandBufferSize] = "";
  // A missing number ends the command; the word read in its place goes back to the loop.
  if (ReadInteger(&mps) && ReadWord(base, sizeof base)) ReadInteger(&inc);
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
  if (SetUpPosition(CommandBuffer)) return;
  // The interface must learn that its position was not taken, or it would go on with the old game.
  std::printf("tellusererror Illegal position\n");
  LogLine("-M: tellusererror Illegal position");
}

// white/black: the side to move, refused (as a setup is) when the other side would stand in check.
void SetSideToMove(int side) {
  if (side != Position.SideToMove && KingAttackedAfterMove(0, side ^ 1)) {
    std::printf("tellusererror Illegal position\n");
    LogLine("-M: tellusererror Illegal position");
    return;
  }
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
// SecondArgument. A word too long for its buffer would name another file: false, with a
// message, and the command is not run.
bool ReadToolArguments(int count) {
  bool whole = true;
  for (char* word : {CommandBuffer, SecondArgument}) {
    if (count-- <= 0) break;
    ReadWord(word, CommandBufferSize);
    if (!InputOverflow) continue;
    std::printf("File name too long (max %d characters accepted): '%s...'\n", CommandBufferSize - 1, word);
    whole = false;
  }
  return whole;
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
  SearchEffect effect;
  void (*run)();
};

void Ignore() {}

// Tested in this order; the first match wins. A word matching nothing is only logged.
// During a search, a word acts by its effect (see SearchEffect); moves and clocks are the poll's.
constexpr Command Commands[] = {
    {"time", 4, Waits, [] { ReadClockCommand(""); }},
    {nullptr, 0, MovesNow, PlayOpponentMove},
    {"go", 2, EndsPondering, think},
    {"new", 3, EndsSearch, NewGame},
    {"result", 6, EndsSearch, NewGame},
    {"level", 5, EndsPondering, Level},
    {"force", 5, EndsSearch, StopEngine},
    {"setboard", 8, EndsSearch, SetBoard},
    {"easy", 0, Waits, [] { PonderEnabled = false; }},
    {"hard", 0, Waits, [] { PonderEnabled = true; }},
    {"quit", 4, MovesNow, [] { EngineState = Quit; }},
    {"white", 5, EndsPondering, [] { SetSideToMove(White); }},
    {"black", 5, EndsPondering, [] { SetSideToMove(Black); }},
    {"eval", 0, Waits, EvalCommand},
    // A conversion ends pondering (taking the prediction back): most replay games on the board.
    {"pgn2pos", 0, EndsPondering, [] { if (ReadToolArguments(1)) Pgn2Pos(CommandBuffer); }},
    {"pgn2game", 0, EndsPondering, [] { if (ReadToolArguments(2)) Pgn2Game(CommandBuffer, SecondArgument); }},
    {"pgnlist2game", 0, EndsPondering, [] { if (ReadToolArguments(2)) PgnList2Game(CommandBuffer, SecondArgument); }},
    {"game2pgn", 0, EndsPondering, [] { if (ReadToolArguments(2)) Game2Pgn(CommandBuffer, SecondArgument); }},
    {"game2pos", 0, EndsPondering, [] { if (ReadToolArguments(2)) Game2Pos(CommandBuffer, SecondArgument); }},
    {"bookshow", 0, Waits, BookShowCommand},
    {"dbshow", 0, Waits, [] { DbShowCommand(false); }},
    {"dbshowlin", 0, Waits, [] { DbShowCommand(true); }},
    {"bookcreate", 0, Waits, BookCreateCommand},
    {"dbcreate", 0, Waits, [] { if (ReadToolArguments(2)) DbCreateCommand(CommandBuffer, SecondArgument); }},
    {"benchmark", 0, Waits, Benchmark},
    {"benchmarkspeed", 0, Waits, BenchmarkSpeed},
    {"perft", 0, Waits, PerftCommand},
    {"test", 0, Waits, TestCommand},
    // Not acted on, but they change the interface's game: a prediction on the board goes.
    {"undo", 0, EndsPondering, Ignore},
    {"remove", 0, EndsPondering, Ignore},
    {"edit", 0, EndsPondering, Ignore},
    {"?", 0, MovesNow, Ignore},
};

bool Matches(const Command& command, const char* word) {
  if (!command.word) return TakesMove(word);
  return command.prefix ? std::strncmp(word, command.word, command.prefix) == 0
                        : std::strcmp(word, command.word) == 0;
}

const Command* Find(const char* word) {
  for (const Command& command : Commands)
    if (Matches(command, word)) return &command;
  return nullptr;
}

// A word that changes the interface's game first takes back a prediction made for pondering,
// so that it acts on the real game position.
void Dispatch(const char* word) {
  const Command* command = Find(word);
  if (!command) return;
  if (EngineState == Pondering && command->word && command->effect >= EndsPondering) {
    RetractPrediction();
    EngineState = Waiting;
  }
  command->run();
}

}  // namespace

SearchEffect SearchEffectOf(const char* word) {
  const Command* command = Find(word);
  return command && command->word ? command->effect : Waits;
}

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
  ReadSearchInput = PollInput;  // the searches it starts read the input through the poll
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
