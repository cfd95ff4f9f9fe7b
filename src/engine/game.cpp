// The game as the engine keeps it: a setup starts a new game (board, search tables, ordering
// statistics, pawn cache, EPD moves) and a game move also renews the search's bookkeeping. The
// game's record (its start and the moves made since) lets the interface take moves back.
#include <cstdio>
#include "engine/engine.h"
#include "eval/eval.h"
#include "records/records.h"
#include "search/search.h"

namespace {

// The game's start as FEN and the moves made since; a game longer than the record starts
// the record again where it stands.
char GameStart[128];
constexpr int MaxGameMoves = 4096;
Move GameMoves[MaxGameMoves];
int GameMoveCount;

void RecordGameMove(Move move) {
  if (GameMoveCount == MaxGameMoves) RestartGameRecord();
  GameMoves[GameMoveCount++] = move;
}

}  // namespace

bool SetupGame(const char* text) {
  EpdOperation op;
  if (!SetupPosition(text, &op)) return false;
  ClearTT();
  ResetOrderingStatistics();
  ClearKillers();
  ClearPawnCache();
  if (op.kind) {
    Move m = ParseSanMove(op.text);
    if (!m) {
      std::printf("Warning cannot recognize move: %s\r\n", op.text);
      RestorePreviousGame();
      return false;
    }
    (op.kind == 'a' ? Position.EpdAvoidMove : Position.EpdBestMove) = m;
  }
  RestartGameRecord();
  return true;
}

bool PlayGameMove(Move move) {
  if (!MakeRealMove(move)) return false;
  RecordGameMove(move);
  ResetOrderingStatistics();
  // The table's age field has 9 bits; games entered move by move must not outgrow it.
  if (SearchAge >= 511) RenormaliseAge();
  return true;
}

void RestartGameRecord() {
  WriteFen(GameStart);
  GameMoveCount = 0;
}

// Sets the start up again and replays the moves kept; the table's age goes on as it was, so
// that its entries keep their places, and the EPD moves of the setup stay.
bool TakeBackGameMoves(int count) {
  if (count > GameMoveCount) return false;
  const Move avoid = Position.EpdAvoidMove, best = Position.EpdBestMove;
  const uint16_t age = SearchAge;
  const int kept = GameMoveCount - count;
  SetupPosition(GameStart);
  for (int i = 0; i < kept; i++) MakeRealMove(GameMoves[i]);
  GameMoveCount = kept;
  Position.EpdAvoidMove = avoid;
  Position.EpdBestMove = best;
  SearchAge = age;
  ResetOrderingStatistics();
  ClearKillers();
  return true;
}

void AcceptPrediction() {
  GamePly++;
  SearchAge++;
  RecordGameMove(PonderMove);
  PonderMove = 0;
}

void WriteFailureContext(std::FILE* file) {
  std::fprintf(file, "current depth:%d\n", IterationDepth);
  bool illegal = KingAttackedAfterMove(0, Position.SideToMove ^ 1);
  std::fprintf(file, "islegal? : %s\n", illegal ? "illegal" : "legal");
  std::fprintf(file, "ponder move:%u; from=%d; to=%d; type=%d\n", PonderMove, MoveFrom(PonderMove),
               MoveTo(PonderMove), MoveKind(PonderMove));
}
