// FEN and EPD text given to the game setup: a refused text leaves the game exactly as it was;
// an accepted one gives a consistent board on which every legal move can be made and taken back.
#include <cstring>
#include <string>
#include "fuzz_support.h"
#include "movegen/movegen.h"

namespace {

struct GameSnapshot {
  PositionState position;
  KeyHistoryEntry history[KeyHistorySize];
  int historyTop;
  uint8_t rootBoard[64];
  uint16_t gamePly;
};

void Take(GameSnapshot& s) {
  s.position = Position;
  std::memcpy(s.history, KeyHistory, sizeof KeyHistory);
  s.historyTop = HistoryTop;
  std::memcpy(s.rootBoard, RootBoard, 64);
  s.gamePly = GamePly;
}

bool Same(const GameSnapshot& a, const GameSnapshot& b) {
  return std::memcmp(&a.position, &b.position, sizeof a.position) == 0 &&
         std::memcmp(a.history, b.history, sizeof a.history) == 0 && a.historyTop == b.historyTop &&
         std::memcmp(a.rootBoard, b.rootBoard, 64) == 0 && a.gamePly == b.gamePly;
}

// Makes and takes back every legal move, checking the board after each step.
void CheckMoves() {
  if (!PositionIsConsistent()) std::abort();
  MoveEntry list[MaxMovesPerList];
  CheckInfo check;
  ComputeCheckers(&check);
  MoveEntry* end = check.checkers ? GenerateEvasions(list, &check) : GenerateMoves(list);
  for (MoveEntry* entry = list; entry < end; entry++) {
    if (!MoveIsLegal(entry->Move)) continue;
    SaveBoardState(&PlyRecords[1]);
    MakeMove(entry->Move, &PlyRecords[1]);
    if (!PositionIsConsistent()) std::abort();
    UnmakeMove(entry->Move, &PlyRecords[1]);
  }
  if (!PositionIsConsistent()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  static bool first = (SetupGame(InitialFen), true);
  (void)first;
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // the setup reads a NUL-terminated line
  GameSnapshot before, after;
  Take(before);
  if (!SetupGame(text.c_str())) {
    Take(after);
    if (!Same(before, after)) std::abort();
    return 0;
  }
  CheckMoves();
  return 0;
}
