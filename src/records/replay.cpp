// Replaying a record's moves on the global position: each move is checked against the
// generated moves and the mover's king before it counts, and every move played is taken
// back when the replay ends, normally or by an error.
#include <cstdio>
#include "movegen/movegen.h"
#include "records/records.h"

namespace {

// Undo records of the moves played, entry p for move p, and the generators' move list.
PlyRecord UndoRecords[MaxGameMoves + 1];
MoveEntry MoveList[MaxMovesPerList];

bool IsGenerated(Move move, PlyRecord* undo) {
  ComputeCheckers(&undo->Check);
  MoveEntry* end = undo->Check.checkers ? GenerateEvasions(MoveList, &undo->Check) : GenerateMoves(MoveList);
  for (MoveEntry* e = MoveList; e < end; e++)
    if (e->Move == move) return true;
  return false;
}

[[noreturn]] void RaiseIllegal(const char* token, int ply, const char* message, bool logged) {
  PrintBoard(Position.Board);
  std::printf("move: %s, plyNo:%d\n", token, ply);
  if (logged) LogLine("%s%s", token, message);
  throw RecordError(message);
}

}  // namespace

GameReplay::~GameReplay() {
  while (played_ > 0) {
    played_--;
    UnmakeMove(record_.Moves[played_], &UndoRecords[played_ + 1]);
  }
}

bool GameReplay::HasRoom() { return HistoryTop < KeyHistorySize - 1; }

void GameReplay::Play(int p, const char* token) {
  Move move = record_.Moves[p - 1];
  PlyRecord* undo = &UndoRecords[p];
  if (!IsGenerated(move, undo)) RaiseIllegal(token, p, "MOVE NOT LEGAL 1", true);
  int mover = Position.SideToMove;
  SaveBoardState(undo);
  MakeMove(move, undo);
  played_ = p;
  if (KingAttackedAfterMove(move, mover)) RaiseIllegal(token, p, "MOVE NOT LEGAL 2 - check revealed", false);
}

void CheckGameMoves(const GameRecord& record) {
  GameReplay replay(record);
  char token[8];
  for (int p = 1; p <= MoveCount(record) && GameReplay::HasRoom(); p++) {
    MoveToText(record.Moves[p - 1], token);
    replay.Play(p, token);
  }
}
