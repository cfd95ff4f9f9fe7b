// PGN text read game after game as the conversions read it: no crash, no sanitizer report, and
// the position the games start from is on the board again after every game, returned or raised.
#include "records_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static GameRecord record;
  std::istringstream in = StartRecordsFuzz(data, size);
  try {
    while (PgnGameAhead(in)) {
      uint16_t bits = ReadPgnGame(in, record);
      if (bits && (MoveCount(record) < 1 || MoveCount(record) > MaxGameMoves)) std::abort();
      CheckBoardIsBack();
    }
  } catch (const RecordError&) {
    CheckBoardIsBack();
  }
  return 0;
}
