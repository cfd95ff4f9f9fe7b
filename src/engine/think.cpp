// Thinking, pondering and time control: the move budget from the interface's clocks, the
// stop rule and the input poll run inside the search, and think, which plays the engine's
// move (or announces the finished game) and then ponders on the predicted reply.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include "book/book.h"
#include "engine/engine.h"
#include "movegen/movegen.h"
#include "search/search.h"

int64_t LastOwnClock = -1;
int64_t LevelBaseTime = -1;
int64_t FixedMoveTime;
int DepthLimit;
uint32_t SearchResult;
PlyRecord PonderRecord;

namespace {

// Time the interface and the pipe may take around a move, and the least time a move gets.
constexpr int64_t LatencyReserve = 150;
constexpr int64_t ShortestMove = 10;
// The time of a move when the interface tells neither a clock nor a time control.
constexpr int64_t DefaultMoveTime = 5000;
// Scores beyond this are mate scores: a reply predicted with one is not pondered on.
constexpr int PonderScoreLimit = 4999;

// The engine's clock: as the interface last reported it, else level's base time and increment
// (the clock assumed full, as at the start of a move); -1 when neither is known.
int64_t OwnClock() {
  if (LastOwnClock >= 0) return LastOwnClock;
  return LevelBaseTime >= 0 ? LevelBaseTime + Increment : -1;
}

// Starts the hard limit of the engine's own move from the moment its time began: a fixed move
// time ends there (less the interface's reserve), a clock leaves the reserve its time control needs.
void StartOwnClock(int64_t from) {
  int64_t clock = OwnClock();
  if (FixedMoveTime > 0 || clock < 0) MoveDeadline = from + std::max(MoveBudget, ShortestMove);
  else MoveDeadline = from + HardTimeLimit(clock);
}

// Plays the engine's move and tells the interface; any reply read from now on is newer.
bool PlayEngineMove(Move move, char* text) {
  MoveToText(move, text);
  if (!PlayGameMove(move)) return false;
  std::printf("move %s\n", text);
  InputQuietAt = Now();
  return true;
}

// The engine's own moves before its next one. Plies alternate from GamePly 1, so the move a side
// makes at ply p follows (p - 1) / 2 of its own; while the opponent is to move, its move comes first.
int OwnMovesMade() { return (EngineState == Thinking ? GamePly - 1 : GamePly) / 2; }

// The engine's own search starts: its budget is counted again, now that the side to move is the
// engine's: all of st's time less the interface's reserve, else from the engine's clock, else a
// default time; never 0.
void RenewBudget() {
  if (EngineState != Thinking) return;
  int64_t clock = OwnClock();
  if (FixedMoveTime > 0) MoveBudget = std::max(FixedMoveTime - LatencyReserve, ShortestMove);
  else if (clock >= 0) ComputeMoveBudget(static_cast<int>(clock / 10), 0);
  else MoveBudget = DefaultMoveTime;
}

// Counts the pondering time as used, up to two thirds of the budget.
void CreditPonderTime(int64_t now) {
  int64_t credit = 2 * MoveBudget / 3;
  if (now - SearchStart > credit) SearchStart = now - credit;
}

// The legal move of the side to move that the move ordering would try first (the generator's
// highest score), or 0 when there is none (mate or stalemate); rootKept: of the moves the last
// root search kept (the bitbases may have set losing ones aside).
Move BestOrderedLegalMove(bool rootKept = false) {
  MoveEntry list[MaxMovesPerList];
  MoveEntry* end = GenerateMovesOrEvasions(list);
  const MoveEntry* best = nullptr;
  for (MoveEntry* entry = list; entry < end; entry++)
    if ((!best || entry->Score > best->Score) && MoveIsLegal(entry->Move) && !(rootKept && RootExcludes(entry->Move)))
      best = entry;
  return best ? best->Move : 0;
}

bool IsDrawCode(Move move) {
  return move == MarkerRepetition || move == MarkerFiftyMoves || move == MarkerInsufficient;
}

// The engine's decision after a search: a game-end marker or a legal move with its score.
// Result line of a game found over before moving (side: the side to move, which is mated).
const char* MarkerResult(Move marker, int side) {
  switch (marker) {
    case MarkerCheckmated: return side == Black ? "1-0 {Tirvex mated 0}\n" : "0-1 {Tirvex mated 0}\n";
    case MarkerStalemate: return "1/2-1/2 {Draw by stalemate (1)}\n";
    case MarkerRepetition: return "1/2-1/2 {Draw by 3 fold repetition (2)}\n";
    case MarkerFiftyMoves: return "1/2-1/2 {Draw by 50 moves rule (3)}\n";
    default: return "1/2-1/2 {Draw by insufficient material to mate (4)}\n";
  }
}

// Result line after the engine's move with root score score, or nullptr when the game goes on.
// A mate is announced only when the board confirms it, so that a stale or colliding table
// entry can never make the engine claim a result the interface would refuse.
const char* ResultAfterMove(int score) {
  int16_t sc = static_cast<int16_t>(score);
  if (sc > 8050) {
    const TTSlot* slot = ProbeTT(Position.PositionKey, Position.SideToMove);
    bool claimed = sc == 8099 || (slot && TTMove(slot) == MarkerCheckmated);
    if (!claimed || BestOrderedLegalMove() || !SideToMoveInCheck()) return nullptr;
    bool whiteWins = Position.SideToMove == Black;
    if (sc == 8099) return whiteWins ? "1-0 {Tirvex mates 1}\n" : "0-1 {Tirvex mates 1}\n";
    return whiteWins ? "1-0 {Tirvex mates 1#}\n" : "0-1 {Tirvex mates 1#}\n";
  }
  switch (DetectDraw(2)) {
    case MarkerRepetition: return "1/2-1/2 {Draw by 3 fold repetition (22)}\n";
    case MarkerFiftyMoves: return "1/2-1/2 {Draw by 50 moves rule (33)}\n";
    case MarkerInsufficient: return "1/2-1/2 {Draw by insufficient material to mate (44)}\n";
    default: return nullptr;
  }
}

// Reads the root entry after the search, plays the move or announces the end. Returns the
// result line (nullptr when the game goes on) and the entry's depth in depth.
const char* PlaySearchResult(int* depth) {
  const TTSlot* slot = ProbeTT(Position.PositionKey, Position.SideToMove);
  *depth = slot ? TTDepth(slot) : 0;
  LogText("\n------M: mv%u sc: %d sct: %d d: %d\n", slot ? TTMove(slot) : 0, slot ? TTScore(slot) : 0,
          slot ? TTBound(slot) : 0, *depth);
  Decision decision = DecideMove(slot);
  const char* result;
  if (IsMarker(decision.move)) {
    result = MarkerResult(decision.move, Position.SideToMove);
  } else {
    char text[8];
    PlayEngineMove(decision.move, text);
    LogLine("\nmove %s\tscore: %d", text, decision.score);
    result = ResultAfterMove(decision.score);
  }
  EngineState = Waiting;
  if (result) std::printf("%s", result);
  return result;
}

// The reply the table expects in the position now on the board, or 0 for no prediction.
Move PredictedReply() {
  const TTSlot* slot = ProbeTT(Position.PositionKey, Position.SideToMove);
  Move reply = slot ? TTMove(slot) : 0;
  bool usable = reply && TTScore(slot) >= -PonderScoreLimit && TTScore(slot) <= PonderScoreLimit;
  if (usable && IsMarker(reply)) {
    LogText("\n************ WARNING: FIXING PONDERED FROM NOT VALID STATE !!! ***********************\n");
    std::printf("\n****************_FixingPonderedMove_***************\n\n");
  }
  if (usable && MoveIsLegal(reply)) return reply;
  LogLine("-************** NO ponder move, clock:%" PRId64, Now());
  return 0;
}

// Plays the book move for the current position, if the books have a legal one: the own books'
// first, else the Polyglot book's, within the same first 63 plies.
bool PlayBookMove() {
  if (GamePly >= 64) return false;
  LogLine("getBookMove");
  Move move = getBookMove();
  LogLine("bookMove %u", move);
  const char* source = "book";
  if (!move && PolyglotBook.File >= 0) {
    move = getPolyglotMove();
    LogLine("polyglotBookMove %u", move);
    source = "polyglot book";
  }
  char text[8];
  if (!move || !PlayEngineMove(move, text)) return false;
  LogLine("move (%s) %s", source, text);
  EngineState = Waiting;
  LogLine("- NO ponder move");
  return true;
}

// Makes the predicted reply through PonderRecord and searches on it without a time limit.
// True when the opponent played the prediction during the search, which then became the
// engine's own search.
bool Ponder(Move reply) {
  char text[8];
  MoveToText(reply, text);
  LogLine("-ponder move: %s", text);
  PrepareAnswers(reply);
  SaveBoardState(&PonderRecord);
  EngineState = Pondering;
  PonderMove = reply;
  MakeMove(reply, &PonderRecord);
  StartEngine(false);
  return EngineState == Thinking;
}

// The prediction came true: the pondering search goes on as the engine's own, against the clock.
void AcceptPonderHit(const char* word) {
  int64_t now = Now();
  StopSearch = false;
  AcceptPrediction();
  EngineState = Thinking;
  RenewBudget();
  CreditPonderTime(now);
  StartOwnClock(std::min(now, WordArrivedAt));
  LogLine("--- GOOD PONDER --- cmd:%s", word);
}

// Stops the search as effect says; a word that only waits leaves it running. Analysis stops for
// every word that changes the game or the engine's task.
void StopForInput(SearchEffect effect) {
  if (effect == Waits || effect == Answers || (effect == EndsPondering && !SearchWithoutClock())) return;
  InputStop = effect;
  StopSearch = true;
}

// One word read during a search (see PollInput).
void PollWord() {
  char word[CommandBufferSize], move[CommandBufferSize + 16];
  if (!ReadWord(word, sizeof word)) std::strcpy(word, "quit");
  LogLine("-cC: %s", word);
  if (InputOverflow) {
    LogLine("-M: refused word longer than %d characters", CommandBufferSize - 1);
    return;
  }
  // A move, bare or after usermove.
  const bool userMove = std::strcmp(word, "usermove") == 0;
  if (userMove) {
    char text[CommandBufferSize] = "";
    ReadWord(text, sizeof text);
    std::snprintf(move, sizeof move, "usermove %s", text);
  }
  Move m = ReadCoordinateMove(userMove ? move + 9 : word);
  if (m && EngineState == Pondering && m == PonderMove) return AcceptPonderHit(word);
  if (m || userMove) {
    KeepForLoop(userMove ? move : word, false);
    return StopForInput(MovesNow);
  }
  if (std::strncmp(word, "time", 4) == 0) return ReadClockCommand(" [cC]");
  if (EngineState == Analysing && std::strcmp(word, "?") == 0) return;  // nothing to play
  const CommandInfo info = CommandInfoOf(word);
  if (info.effect == Answers && SearchWithoutClock()) return RunCommand(word);
  KeepForLoop(word, info.takesArguments);
  StopForInput(info.effect);
}

}  // namespace

// The root's table move when it is legal (not a fail-low bound; not used when the bitbases know
// the root, whose entry may come from a search without them), else the search's own move, else
// the best move of an interrupted first iteration, else the best-ordered legal move that the
// bitbases kept; a position drawn by rule before the search, or without a legal move, gives its
// marker.
Decision DecideMove(const TTSlot* slot) {
  Move searched = static_cast<Move>(SearchResult >> 16);
  int searchedScore = static_cast<int16_t>(SearchResult & 0xFFFF);
  if (searchedScore == -9999 && IsDrawCode(searched)) return {searched, 0};
  Move any = BestOrderedLegalMove();
  if (!any) return {SideToMoveInCheck() ? MarkerCheckmated : MarkerStalemate, 0};
  // An upper bound left by an iteration that failed low and was then interrupted names no
  // real best move: the last completed iteration's move is played instead.
  bool failedLow = slot && TTBound(slot) == BoundUpper && MoveIsLegal(searched);
  Move stored = slot && !RootInBitbases ? TTMove(slot) : 0;
  if (!failedLow && MoveIsLegal(stored)) return {stored, TTScore(slot)};
  if (MoveIsLegal(searched)) return {searched, searchedScore};
  if (MoveIsLegal(PlyRecords[1].BestMove)) return {PlyRecords[1].BestMove, 0};
  Move kept = BestOrderedLegalMove(true);
  return {kept ? kept : any, 0};
}


// Budget of the engine's next move from its clock (centiseconds); the opponent's clock is
// logged with the command but does not enter the budget.
void ComputeMoveBudget(int ownClock, int) {
  MovesToGo = MovesPerControl <= 0 ? 33 : MovesPerControl - OwnMovesMade() % MovesPerControl;
  int64_t t = ownClock / MovesToGo;  // centiseconds per move
  if (t >= 500) t -= 100;
  else if (t >= 220) t -= 50;
  MoveBudget = t * (MovesToGo == 1 ? 9 : 10) + Increment;
  BudgetGeneration++;
}

// time N [otim M]: the opponent's clock is read only when the next word is otim; any other word
// goes back to the loop, and a missing number ends the command.
void ReadClockCommand(const char* suffix) {
  int own = 0, opponent = 0;
  if (!ReadInteger(&own)) return;
  char word[CommandBufferSize];
  if (ReadWord(word, sizeof word) && std::strcmp(word, "otim") == 0) {
    ReadInteger(&opponent);
    LogText("%d %s %d%s\n", own, word, opponent, suffix);
  } else {
    if (word[0]) UnreadWord(word);
    LogText("%d%s\n", own, suffix);
  }
  LastOwnClock = int64_t(own) * 10;
  ComputeMoveBudget(own, opponent);
}

// The clock less a reserve for the interface, and in a control of several moves at most a
// third of the clock (plus the increment), so that neither the search's time extensions nor
// its clock restart can make one move lose the game on time.
int64_t HardTimeLimit(int64_t ownClock) {
  int64_t limit = ownClock - LatencyReserve - ownClock / 20;
  if (MovesToGo > 1) limit = std::min(limit, ownClock / 3 + Increment);
  return std::max(limit, ShortestMove);
}

void RetractPrediction() {
  if (!PonderMove) return;
  UnmakeMove(PonderMove, &PonderRecord);
  PonderMove = 0;
}

// The search's input reader: one word when input waits. A clock is applied at once, the
// predicted move turns pondering into the engine's own search, a word that asks for an answer
// (ping, hint, bk, .) is answered at once while pondering or analysing; every other word is
// kept for the command loop, in arrival order, with the rest of its line when it takes
// arguments, and stops the search as its table entry says.
bool PollInput() {
  if (InputPending() == 0) return false;
  SearchReading = true;
  PollWord();
  SearchReading = false;
  return true;
}

void StartEngine(bool goodPonder) {
  LogLine("-M: entered StartEngine, goodPonder: %d", goodPonder ? 1 : 0);
  MaxDepth = DepthLimit > 0 ? DepthLimit : 127;
  StopSearch = false;
  InputStop = Waits;
  RenewBudget();
  int64_t now = Now();
  // The interface's clock has run since the word that started the engine's own search arrived.
  int64_t from = EngineState == Thinking ? std::min(now, WordArrivedAt) : now;
  if (goodPonder) CreditPonderTime(now);
  else SearchStart = from;
  StartOwnClock(from);
  LogLine("*** xxx czas uzyty: %" PRId64, Now() - SearchStart);
  SearchResult = IterativeDeepening();
}

Move HintMove() {
  const TTSlot* slot = ProbeTT(Position.PositionKey, Position.SideToMove);
  if (slot && !IsMarker(TTMove(slot)) && MoveIsLegal(TTMove(slot))) return TTMove(slot);
  Move book = getBookMove();
  if (!book) book = PolyglotMainMove();
  return book ? book : BestOrderedLegalMove();
}

bool AnalysisDone;

void Analyse() {
  PrepareAnswers(0);
  LogLine("-M: analysing");
  MaxDepth = 127;
  StopSearch = false;
  InputStop = Waits;
  SearchStart = Now();
  MoveDeadline = -1;
  SearchResult = IterativeDeepening();
  // Ended by itself (a mate found, the greatest depth): nothing more to say until input comes.
  AnalysisDone = InputStop == Waits;
}

// Finds and plays the engine's move (or announces the end of the game), keeps the table in
// shape and ponders on the predicted reply.
void think() {
  bool goodPonder = EngineState == Pondering;
  LogLine("entered think: %d", goodPonder ? 1 : 0);
  if (PlayBookMove()) return;
  EngineState = Thinking;
  LogLine("start engine");
  StartEngine(goodPonder);
  for (;;) {
    // force, new, setboard or result ended the search: the engine makes no move.
    if (InputStop == EndsSearch) {
      EngineState = Waiting;
      LogLine("-M: search abandoned, no move");
      return;
    }
    int depth;
    if (PlaySearchResult(&depth)) break;
    // Deep tables grow stale as the fifty-move count rises; otherwise only the ages shift.
    if (KeyHistory[HistoryTop].HalfmoveClock > 80) ShrinkTT(depth);
    else RenormaliseAge();
    // Words read during the search (a move that stopped it, a ping) are handled before any
    // pondering, so that answers keep their order.
    if (!PonderEnabled || InputStop != Waits || InputKept()) break;
    Move reply = PredictedReply();
    if (!reply) break;
    if (!Ponder(reply)) return;
  }
  if (EngineState == Waiting) LogLine("- NO ponder move");
}
