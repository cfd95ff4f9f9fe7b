// The game as the engine keeps it: a setup starts a new game (board, search tables, ordering
// statistics, pawn cache, EPD moves) and a game move also renews the search's bookkeeping.
#include <cstdio>
#include "engine/engine.h"
#include "eval/eval.h"
#include "records/records.h"
#include "search/search.h"

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
  return true;
}

bool PlayGameMove(Move move) {
  if (!MakeRealMove(move)) return false;
  ResetOrderingStatistics();
  // The table's age field has 9 bits; games entered move by move must not outgrow it.
  if (SearchAge >= 511) RenormaliseAge();
  return true;
}

void WriteFailureContext(std::FILE* file) {
  std::fprintf(file, "current depth:%d\n", IterationDepth);
  bool illegal = KingAttackedAfterMove(0, Position.SideToMove ^ 1);
  std::fprintf(file, "islegal? : %s\n", illegal ? "illegal" : "legal");
  std::fprintf(file, "ponder move:%u; from=%d; to=%d; type=%d\n", PonderMove, MoveFrom(PonderMove),
               MoveTo(PonderMove), MoveKind(PonderMove));
}
