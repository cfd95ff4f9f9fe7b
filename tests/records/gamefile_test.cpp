// GAME files byte by byte. The bytes are written out by hand from the record layout (a
// little-endian header word: moves in bits 0-13, result in bits 14-15, then one little-endian
// word per move: to-square bits 0-5, from-square 6-11, kind 12-15; a8 = 0 ... h1 = 63).
#include <cstring>
#include <sstream>
#include "../movegen/movegen_helpers.h"
#include "records/records.h"

using namespace movegen_test;

namespace {

// e2 = 52, e4 = 36: e2e4 is 52 << 6 | 36 = 0x0D24; e7 = 12, e5 = 28: e7e5 is 0x031C.
const std::string WhiteWinsInOne("\x01\x80\x24\x0D", 4);                // 0x8001: one move, 1-0
const std::string DrawInTwo("\x02\xC0\x24\x0D\x1C\x03", 6);             // 0xC002: two moves, draw
const std::string IllegalSecond("\x03\x40\x24\x0D\x24\x0D\x1C\x03", 8);  // e2e4 twice: 0-1

struct CountCase {
  std::string bytes;
  int count;               // CountGameRecords
  const char* scanError;   // what the duplicate scan of pgn2game raises, "" for none
};

const std::string Corrupt2 = "Game file corrupted! (error on game: 2)";
const CountCase CountCases[] = {
    {"", 0, ""},
    {WhiteWinsInOne + DrawInTwo, 2, ""},
    {WhiteWinsInOne + "\x80", 1, Corrupt2.c_str()},  // a stray last byte: appending would misalign
    {WhiteWinsInOne + std::string("\x00\x00", 2), -2, "WRONG RESULT"},
    {WhiteWinsInOne + std::string("\x02\x80\x24", 3), -2, Corrupt2.c_str()},  // cut inside its moves
    {WhiteWinsInOne + std::string("\x00\x84", 2) + std::string(2048, '\x01'), -2, Corrupt2.c_str()},  // 1024 moves
};

TEST(GameFile, CountsRecordsAndNamesTheFirstCorruptOne) {
  static GameRecord absent;
  absent.Header = 0x8000;
  for (const CountCase& c : CountCases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    std::istringstream in(c.bytes);
    EXPECT_EQ(CountGameRecords(in), c.count);
    EXPECT_EQ(in.tellg(), 0);
    std::string error;
    try {
      EXPECT_FALSE(IsGameStored(in, absent));
    } catch (const RecordError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.scanError);
  }
}

TEST(GameFile, ReadsLittleEndianRecordsAndWritesThemBackAsGameAndPgn) {
  static GameRecord record;
  std::istringstream in(WhiteWinsInOne + DrawInTwo + "\x01");
  std::string bytes, pgn;
  while (ReadGameRecord(in, record)) {
    WriteGameRecord(bytes, record);
    WritePgnGame(pgn, record);
    EXPECT_TRUE(IsGameStored(in, record));
  }
  EXPECT_EQ(bytes, WhiteWinsInOne + DrawInTwo);
  EXPECT_EQ(pgn, "[Result \"1-0\"]\n1. e2e4 1-0\n[Result \"1/2-1/2\"]\n1. e2e4 e7e5 1/2-1/2\n");
  EXPECT_EQ(record.ResultCode, 'D');
}

TEST(GameFile, PositionLinesStopAtAnIllegalStoredMoveAndLeaveTheBoardAsItWas) {
  static GameRecord record;
  ASSERT_TRUE(SetupPosition(InitialFen));
  PositionState before = Position;
  std::istringstream in(DrawInTwo + IllegalSecond);
  std::string lines;
  ASSERT_TRUE(ReadGameRecord(in, record));
  WriteGamePositions(lines, record);
  char first[128];
  std::snprintf(first, sizeof first, "%016llX\t%s\tD\t1\n", static_cast<unsigned long long>(Position.PositionKey),
                InitialFen);
  EXPECT_EQ(lines.substr(0, lines.find('\n') + 1), first);
  EXPECT_EQ(lines.find("\trnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\tD\t2\n"), 16 + std::strlen(first));
  ASSERT_TRUE(ReadGameRecord(in, record));
  EXPECT_THROW(WriteGamePositions(lines, record), RecordError);
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0);
}

}  // namespace
