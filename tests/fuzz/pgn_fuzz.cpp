// PGN text read game after game as the conversions read it: no crash, no sanitizer report, and
// the position the games start from is on the board again after every game, returned or raised.
#include <cstring>
#include <sstream>
#include <string>
#include "fuzz_support.h"
#include "records/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  static GameRecord record;
  if (!SetupPosition(InitialFen)) std::abort();
  PositionState start = Position;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    while (in >> std::ws, in.peek() != EOF) {
      uint16_t bits = ReadPgnGame(in, record);
      if (bits && (MoveCount(record) < 1 || MoveCount(record) > MaxGameMoves)) std::abort();
      if (std::memcmp(&start, &Position, sizeof start) != 0 || HistoryTop != 0) std::abort();
    }
  } catch (const RecordError&) {
    if (std::memcmp(&start, &Position, sizeof start) != 0 || HistoryTop != 0) std::abort();
  }
  return 0;
}
