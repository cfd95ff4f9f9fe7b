// GAME file bytes through the readers and writers of game2pgn and game2pos: records are counted,
// read, checked move by move, written as PGN and replayed for their POS lines without a crash,
// and every replay, finished or stopped by an illegal stored move, leaves the initial position
// on the board. pgn2game's index of a file it appends to, once loaded, finds every record.
#include "records_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static GameRecord record;
  std::istringstream in = StartRecordsFuzz(data, size);
  int count = CountGameRecords(in), read = 0;
  std::string text;
  try {
    while (ReadGameRecord(in, record)) {
      read++;
      // As game2pgn and game2pos read it: every stored move checked, then written.
      try {
        CheckGameMoves(record);
        WritePgnGame(text, record);
        WriteGamePositions(text, record);
      } catch (const RecordError&) {
      }
      CheckBoardIsBack();
    }
  } catch (const RecordError&) {
    if (count >= 0) std::abort();  // only a record the count found corrupt may raise
  }
  if (count >= 0 && read != count) std::abort();
  std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
  StoredGames games;
  try {
    games.Load(file);
  } catch (const RecordError&) {
    return 0;
  }
  std::istringstream records(std::string(reinterpret_cast<const char*>(data), size));
  while (ReadGameRecord(records, record))
    if (!games.Contains(file, record)) std::abort();
  return 0;
}
