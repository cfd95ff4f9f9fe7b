// The command loop: reads the interface's words one at a time, logs each and dispatches it
// through one flat table; applies the opponent's moves (judging a pondering prediction), takes
// moves back, answers the protocol's handshake and pings, and runs the engine's own test and
// tool commands.
//
// During a search the loop does not run: the search's input poll (PollInput) reads the words.
// There, a new clock is applied at once, a predicted move turns pondering into the engine's own
// search, a ping is answered unless the engine thinks on its own move, and every other word is
// kept for the loop, in arrival order, and acts as the table's "during a search" column says.
#include <algorithm>
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
bool PonderEnabled = true;
Move PonderMove;

namespace {

constexpr const char* EvalFen = "R7/8/8/6p1/8/b7/4k3/K7 w - - 0 1";
constexpr const char* TestFen = "2rb1rk1/p4p2/2n3p1/q2NpPP1/2p5/P1Q1PP2/1P1R4/2K4R w - - 0 23";
// The longest setboard text: the buffer keeps room for the line end and the string's end.
constexpr int SetboardLimit = CommandBufferSize - 2;
// The features announced in answer to protover, done=1 last: start-up has finished by then.
constexpr const char* Features[][2] = {
    {"myname", "\"Tirvex " TIRVEX_VERSION "\""}, {"setboard", "1"}, {"ping", "1"},   {"colors", "0"},
    {"sigint", "0"},  {"sigterm", "0"}, {"draw", "0"}, {"variants", "\"normal\""}, {"analyze", "1"}, {"memory", "1"}, {"done", "1"},
};
constexpr int64_t LongestFixedMoveTime = int64_t(1) << 40;  // st beyond it is as good as no limit

// Second argument word of the two-word tool commands.
char SecondArgument[CommandBufferSize];
// The answers to hint and bk while a search runs on a board that is not the game's (PrepareAnswers).
char HintAnswer[8];
char BookAnswer[4096];
// The rest of a line that a command takes whole.
char RestOfLine[4096];

// Sets up a position; a new position ends any prediction made for pondering.
bool SetUpPosition(const char* fen) {
  if (!SetupGame(fen)) return false;
  PonderMove = 0;
  if (EngineState == Pondering) EngineState = Waiting;
  return true;
}

// Plays the opponent's move text, or tells the interface that it is illegal.
bool PlayMoveText(Move move, const char* text) {
  if (move && PlayGameMove(move)) return true;
  std::printf("Illegal move: %s\n", text);
  return false;
}

// An opponent's move. While pondering it judges the prediction: a hit after the pondering
// search ended makes the reply a game move and thinks on; a miss takes the reply back first.
// An illegal move is refused and the engine then waits for a legal one.
void PlayOpponentMove(const char* text) {
  Move move = ReadCoordinateMove(text);
  if (EngineState == Pondering) {
    if (move && move == PonderMove) {
      LogLine("-WARNING ------------------------------ ------------- -------- GOOD PONDER");
      AcceptPrediction();
      think();
      return;
    }
    LogLine("-BAD PONDER");
    RetractPrediction();
    EngineState = Waiting;
    if (!PlayMoveText(move, text)) return;
    SearchAge++;
    think();
    return;
  }
  if (PlayMoveText(move, text) && EngineState == Waiting) think();
}

// usermove MOVE: the move as a word of its own.
void UserMove() {
  char text[CommandBufferSize] = "";
  ReadWord(text, sizeof text);
  LogLine("%s", text);
  PlayOpponentMove(text);
}

// Moves are taken only in the states in which the engine follows the game.
bool TakesMove(const char* word) {
  return (EngineState == Pondering || EngineState == Waiting || EngineState == Force || EngineState == Analysing) &&
         ReadCoordinateMove(word) != 0;
}

// new: the start position, the engine to play the side not to move (or analysing it); the
// clock of the last game and its fixed move time and depth go.
void NewGame() {
  SetUpPosition(InitialFen);
  if (EngineState != Analysing) EngineState = Waiting;
  LastOwnClock = -1;
  FixedMoveTime = 0;
  DepthLimit = 0;
}

// Reads the rest of the line for a command that takes it whole, so that none of its words (a
// result's comment) can run as a command, and logs it.
const char* ReadRestOfLine() {
  ReadLine(RestOfLine, sizeof RestOfLine);
  LogLine("%s", RestOfLine);
  return RestOfLine;
}

// result RESULT {COMMENT}: the game is over. The board stays, for reviewing or analysing it;
// the engine waits in force mode until the next game's new.
void GameResult() {
  ReadRestOfLine();
  StopEngine();
}

// level's base time, minutes or minutes:seconds, in milliseconds; -1 when it is not a number.
int64_t BaseTime(const char* text) {
  char* end;
  long minutes = std::strtol(text, &end, 10);
  if (end == text) return -1;
  long seconds = *end == ':' ? std::strtol(end + 1, nullptr, 10) : 0;
  return (int64_t(std::clamp(minutes, 0L, 1000000L)) * 60 + std::clamp(seconds, 0L, 59L)) * 1000;
}

// level MPS BASE INC: moves per control, the base time (the clock assumed when the interface
// sends none) and the increment; a time control replaces st.
void Level() {
  int mps = MovesPerControl, inc = static_cast<int>(Increment / 1000);
  char base[CommandBufferSize] = "";
  // A missing number ends the command; the word read in its place goes back to the loop.
  if (ReadInteger(&mps) && ReadWord(base, sizeof base)) ReadInteger(&inc);
  LogLine("%d %s %d", mps, base, inc);
  MovesPerControl = mps;
  Increment = inc >= 1 ? int64_t(inc) * 1000 : 0;
  if (BaseTime(base) >= 0) LevelBaseTime = BaseTime(base);
  FixedMoveTime = 0;
}

// st SECONDS: every move takes at most this time.
void FixedTime() {
  char word[CommandBufferSize];
  if (!ReadWord(word, sizeof word)) return;
  char* end;
  double seconds = std::strtod(word, &end);
  if (end == word) return UnreadWord(word);
  FixedMoveTime = seconds > 0 ? std::min(static_cast<int64_t>(std::min(seconds, 1e12) * 1000), LongestFixedMoveTime) : 0;
}

// sd DEPTH: the search goes no deeper; 0 or less lifts the limit.
void SearchDepth() {
  int depth = 0;
  if (ReadInteger(&depth)) DepthLimit = std::clamp(depth, 0, 127);
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

// white/black: the side to move; ignored when the other side would stand in check (interfaces
// send them in pairs around a setup, so one of a pair may be out of place for a moment).
void SetSideToMove(int side) {
  if (side != Position.SideToMove && KingAttackedAfterMove(0, side ^ 1)) {
    LogLine("-M: side to move not changed: the side not to move would stand in check");
    return;
  }
  if (side == Position.SideToMove) return;
  Position.SideToMove = side;
  RootSideToMove = side;
  RestartGameRecord();
}

// undo (one ply) and remove (two): the game as if the moves had never been made.
void TakeBack(int plies) {
  if (!TakeBackGameMoves(plies)) LogLine("-M: takeback of %d plies refused: the game has fewer moves", plies);
}

// ping N: answered once every command before it has been handled.
void Ping() {
  int number = 0;
  if (ReadInteger(&number)) std::printf("pong %d\n", number);
  else std::printf("pong\n");
}

// protover N: the features, done=1 last.
void AnnounceFeatures() {
  int version = 2;
  ReadInteger(&version);
  for (const auto& feature : Features) std::printf("feature %s=%s\n", feature[0], feature[1]);
}

// accepted/rejected FEATURE: the interface's answer to a feature; a rejection is logged.
void FeatureAnswer(bool accepted) {
  char feature[CommandBufferSize] = "";
  ReadWord(feature, sizeof feature);
  if (!accepted) LogLine("-M: the interface rejected feature %s", feature);
}

// analyze: the engine analyses the position on the board, and every position the interface
// then sets up, until exit.
void StartAnalysis() {
  EngineState = Analysing;
  AnalysisDone = false;
}

void ExitAnalysis() {
  if (EngineState == Analysing) EngineState = Force;
}

// hint: the move the engine expects or advises for the side to move.
void Hint() {
  char text[8] = "";
  if (!SearchReading) {
    if (Move move = HintMove()) MoveToText(move, text);
  } else if (EngineState == Analysing && IterationBestMove && !IsMarker(IterationBestMove)) {
    MoveToText(IterationBestMove, text);
  } else {
    std::memcpy(text, HintAnswer, sizeof text);
  }
  if (text[0]) std::printf("Hint: %s\n", text);
}

// bk: the book moves of the game's position.
void BookMoves() {
  if (!SearchReading) WriteBookMoves(BookAnswer, sizeof BookAnswer);
  std::printf("%s", BookAnswer);
}

// .: the analysis's progress: centiseconds, nodes, depth, root moves left and in all.
void AnalysisStatus() {
  if (!SearchReading || EngineState != Analysing) return;
  std::printf("stat01: %" PRId64 " %u %d %d %d\n", (Now() - SearchStart) / 10, NodeCount, IterationDepth,
              RootMoveCount - RootMovesSearched, RootMoveCount);
}

// memory N: the transposition table takes at most N megabytes (emptied).
void Memory() {
  int megabytes = 0;
  if (ReadInteger(&megabytes)) SizeTable(megabytes);
}

// A command whose number argument has no effect here (cores, nps).
void IgnoreNumber() {
  int ignored;
  ReadInteger(&ignored);
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
  LastOwnClock = int64_t(999999999) * 10;
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

void Ignore() {}

// What follows a command's word on its line: nothing, argument words, or a text taken whole.
enum Arguments : uint8_t { NoArguments, Words, Line };

struct Command {
  const char* word;  // nullptr: a coordinate move
  int prefix;        // letters compared; 0 for an exact match
  Arguments arguments;
  SearchEffect effect;  // what the word does when it arrives during a search
  void (*run)();
};

// Tested in this order; the first match wins. A word matching nothing is only logged.
constexpr Command Commands[] = {
    {"time", 4, Words, Waits, [] { ReadClockCommand(""); }},
    {nullptr, 0, NoArguments, MovesNow, [] { PlayOpponentMove(CommandBuffer); }},
    {"go", 2, NoArguments, EndsPondering, think},
    {"new", 3, NoArguments, EndsSearch, NewGame},
    {"result", 6, Line, EndsSearch, GameResult},
    {"level", 5, Words, EndsPondering, Level},
    {"force", 5, NoArguments, EndsSearch, StopEngine},
    {"setboard", 8, Line, EndsSearch, SetBoard},
    {"easy", 0, NoArguments, Waits, [] { PonderEnabled = false; }},
    {"hard", 0, NoArguments, Waits, [] { PonderEnabled = true; }},
    {"quit", 4, NoArguments, MovesNow, [] { EngineState = Quit; }},
    {"white", 5, NoArguments, EndsPondering, [] { SetSideToMove(White); }},
    {"black", 5, NoArguments, EndsPondering, [] { SetSideToMove(Black); }},
    {"eval", 0, NoArguments, Waits, EvalCommand},
    // A conversion ends pondering (taking the prediction back): most replay games on the board.
    {"pgn2pos", 0, Words, EndsPondering, [] { if (ReadToolArguments(1)) Pgn2Pos(CommandBuffer); }},
    {"pgn2game", 0, Words, EndsPondering, [] { if (ReadToolArguments(2)) Pgn2Game(CommandBuffer, SecondArgument); }},
    {"pgnlist2game", 0, Words, EndsPondering, [] { if (ReadToolArguments(2)) PgnList2Game(CommandBuffer, SecondArgument); }},
    {"game2pgn", 0, Words, EndsPondering, [] { if (ReadToolArguments(2)) Game2Pgn(CommandBuffer, SecondArgument); }},
    {"game2pos", 0, Words, EndsPondering, [] { if (ReadToolArguments(2)) Game2Pos(CommandBuffer, SecondArgument); }},
    {"bookshow", 0, NoArguments, Waits, BookShowCommand},
    {"dbshow", 0, NoArguments, Waits, [] { DbShowCommand(false); }},
    {"dbshowlin", 0, NoArguments, Waits, [] { DbShowCommand(true); }},
    {"bookcreate", 0, NoArguments, Waits, BookCreateCommand},
    {"dbcreate", 0, Words, Waits, [] { if (ReadToolArguments(2)) DbCreateCommand(CommandBuffer, SecondArgument); }},
    {"benchmark", 0, Words, Waits, Benchmark},
    {"benchmarkspeed", 0, Words, Waits, BenchmarkSpeed},
    {"perft", 0, Words, Waits, PerftCommand},
    {"test", 0, NoArguments, Waits, TestCommand},
    // The protocol's handshake, takebacks and the interface's other commands.
    {"xboard", 6, NoArguments, Waits, Ignore},
    {"protover", 0, Words, Waits, AnnounceFeatures},
    {"accepted", 0, Words, Waits, [] { FeatureAnswer(true); }},
    {"rejected", 0, Words, Waits, [] { FeatureAnswer(false); }},
    {"usermove", 0, Words, MovesNow, UserMove},
    {"undo", 0, NoArguments, EndsSearch, [] { TakeBack(1); }},
    {"remove", 0, NoArguments, EndsSearch, [] { TakeBack(2); }},
    {"ping", 0, Words, Answers, Ping},
    {"st", 0, Words, Waits, FixedTime},
    {"sd", 0, Words, Waits, SearchDepth},
    {"cores", 0, Words, Waits, IgnoreNumber},
    {"nps", 0, Words, Waits, IgnoreNumber},
    {"name", 0, Line, Waits, [] { ReadRestOfLine(); }},
    {"rating", 0, Line, Waits, [] { ReadRestOfLine(); }},
    {"ics", 0, Line, Waits, [] { ReadRestOfLine(); }},
    {"variant", 0, Line, Waits, [] { ReadRestOfLine(); }},
    {"option", 0, Line, Waits, [] { ReadRestOfLine(); }},
    {"draw", 0, NoArguments, Waits, Ignore},
    {"computer", 0, NoArguments, Waits, Ignore},
    {"random", 0, NoArguments, Waits, Ignore},
    {"edit", 0, NoArguments, EndsPondering, Ignore},
    // Analysis and the interface's questions.
    {"analyze", 0, NoArguments, EndsPondering, StartAnalysis},
    {"exit", 0, NoArguments, EndsPondering, ExitAnalysis},
    {".", 0, NoArguments, Answers, AnalysisStatus},
    {"hint", 0, NoArguments, Answers, Hint},
    {"bk", 0, NoArguments, Answers, BookMoves},
    {"post", 0, NoArguments, Waits, [] { PostThinking = true; }},
    {"nopost", 0, NoArguments, Waits, [] { PostThinking = false; }},
    {"memory", 0, Words, Waits, Memory},
    {"?", 0, NoArguments, MovesNow, Ignore},
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
  // Analysis starts again after every word that changes the game or the engine's task.
  if (command->effect != Waits && command->effect != Answers) AnalysisDone = false;
  command->run();
}

// The first word: an interface that does not start with xboard is told what the engine speaks;
// it may still send xboard and protover later.
void Greet(const char* word) {
  if (std::strncmp(word, "xboard", 6) != 0) std::printf("Engine works only with xboard protocol ver. 2\n");
  std::printf("\n");
}

}  // namespace

CommandInfo CommandInfoOf(const char* word) {
  const Command* command = Find(word);
  if (!command || !command->word) return {Waits, false};
  return {command->effect, command->arguments != NoArguments};
}

void PrepareAnswers(Move predicted) {
  Move hint = predicted ? predicted : HintMove();
  HintAnswer[0] = 0;
  if (hint) MoveToText(hint, HintAnswer);
  WriteBookMoves(BookAnswer, sizeof BookAnswer);
}

void RunCommand(const char* word) {
  if (const Command* command = Find(word)) command->run();
}

void SizeTable(int megabytes) {
  // Clearing the table between games touches all of it: it must fit in the machine's memory.
  if (int64_t memory = PhysicalMemoryMegabytes(); memory > 0 && megabytes > memory / 2)
    megabytes = static_cast<int>(memory / 2);
  if (ResizeTT(megabytes)) LogLine("-M: transposition table of %u buckets a side", TTBucketCount);
  else LogLine("-M: no memory for a table of %d MB; the table stays as it was", megabytes);
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
  bool first = true;
  while (EngineState != Quit) {
    // Analysis runs whenever the engine analyses and no input waits.
    if (EngineState == Analysing && !AnalysisDone && !InputKept() && InputPending() == 0) Analyse();
    if (!ReadWord(CommandBuffer, CommandBufferSize)) {
      LogLine("-M: end of input");
      std::strcpy(CommandBuffer, "quit");
    }
    const bool refused = InputOverflow;
    LogLine("::cmd:: %s", CommandBuffer);
    if (first) Greet(CommandBuffer);
    first = false;
    if (refused) LogLine("-M: refused word longer than %d characters", CommandBufferSize - 1);
    else Dispatch(CommandBuffer);
  }
}
