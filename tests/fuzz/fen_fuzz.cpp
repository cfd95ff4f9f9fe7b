// FEN and EPD text given to the game setup: a refused text leaves the game exactly as it was;
// an accepted one gives a consistent board on which every legal move can be made and taken back.
#include <string>
#include "fuzz_support.h"
#include "movegen/movegen.h"

namespace {

// The game as bytes: the position, the key history and its top, the root board and the ply.
std::string GameBytes() {
  auto bytes = [](const auto& v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); };
  return bytes(Position) + bytes(KeyHistory) + bytes(HistoryTop) + bytes(RootBoard) + bytes(GamePly);
}

// Makes and takes back every legal move, checking the board after each step.
void CheckMoves() {
  if (!PositionIsConsistent()) std::abort();
  MoveEntry list[MaxMovesPerList];
  MoveEntry* end = GenerateMovesOrEvasions(list);
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
  const std::string before = GameBytes();
  if (!SetupGame(text.c_str())) {
    if (GameBytes() != before) std::abort();
    return 0;
  }
  CheckMoves();
  return 0;
}
