// The engine's own game files. A GAME file is a sequence of records, each a little-endian
// 16-bit header word (move count in bits 0-13, result in bits 14-15) followed by that many
// 16-bit move words; a POS line gives key, FEN, result and ply of one position of a game.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <istream>
#include "records/records.h"

namespace {

constexpr int PositionsPerGame = 64;

enum class RecordStatus { Read, End, Stray, NoResult, TooLong, Cut };

// Reads a record's header word. A stray last byte is told apart from the end of the file; a
// record with result bits 0, or one that claims more moves than a record holds, is refused.
RecordStatus ReadRecordHeader(std::istream& in, uint16_t& header) {
  uint8_t bytes[2];
  in.read(reinterpret_cast<char*>(bytes), 2);
  if (in.gcount() < 2) return in.gcount() ? RecordStatus::Stray : RecordStatus::End;
  header = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  if (!(header & ResultDraw)) return RecordStatus::NoResult;
  return (header & MoveCountMask) > MaxGameMoves ? RecordStatus::TooLong : RecordStatus::Read;
}

// Reads the moves that follow the header into the record, or steps over them when they are not
// wanted; a record cut short inside its moves is never read into the record.
RecordStatus ReadRecordMoves(std::istream& in, uint16_t header, GameRecord& record, bool wanted) {
  static uint8_t bytes[2 * MaxGameMoves];
  int n = header & MoveCountMask;
  if (wanted) in.read(reinterpret_cast<char*>(bytes), 2 * n);
  else in.ignore(2 * n);
  if (in.gcount() < 2 * n) return RecordStatus::Cut;
  record.Header = header;
  for (int i = 0; wanted && i < n; i++) record.Moves[i] = static_cast<Move>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return RecordStatus::Read;
}

// The next record, its moves read when wanted(header) says so.
template <typename Wanted>
RecordStatus ReadRecordBytes(std::istream& in, GameRecord& record, Wanted wanted) {
  uint16_t header = 0;
  RecordStatus status = ReadRecordHeader(in, header);
  return status == RecordStatus::Read ? ReadRecordMoves(in, header, record, wanted(header)) : status;
}

// The result code of a header word's result bits (1 black, 2 white, 3 draw).
char ResultCodeOf(uint16_t header) { return " BWD"[header >> 14]; }

std::string CorruptFileMessage(int k) { return "Game file corrupted! (error on game: " + std::to_string(k) + ")"; }

}  // namespace

bool ReadGameRecord(std::istream& in, GameRecord& record) {
  RecordStatus status = ReadRecordBytes(in, record, [](uint16_t) { return true; });
  if (status == RecordStatus::NoResult) throw RecordError("WRONG RESULT");
  if (status != RecordStatus::Read) return false;
  SetResultText(ResultCodeOf(record.Header), record);
  return true;
}

int CountGameRecords(std::istream& in) {
  std::streampos start = in.tellg();
  if (!in || start == std::streampos(-1)) return -1;
  static GameRecord scratch;
  int count = 0;
  RecordStatus status;
  while ((status = ReadRecordBytes(in, scratch, [](uint16_t) { return false; })) == RecordStatus::Read) count++;
  in.clear();
  in.seekg(start);
  bool ended = status == RecordStatus::End || status == RecordStatus::Stray;  // a stray byte is no record
  return ended ? count : -(count + 1);
}

bool IsGameStored(std::istream& gameFile, const GameRecord& record) {
  static GameRecord stored;
  gameFile.clear();
  std::streampos start = gameFile.tellg();
  gameFile.seekg(0);
  bool found = false;
  for (int k = 1; !found; k++) {
    // Only a record with the same header word can be the same game.
    RecordStatus status = ReadRecordBytes(gameFile, stored, [&](uint16_t header) { return header == record.Header; });
    if (status == RecordStatus::End) break;
    if (status == RecordStatus::NoResult) throw RecordError("WRONG RESULT");
    if (status != RecordStatus::Read) throw RecordError(CorruptFileMessage(k));
    found = stored.Header == record.Header &&
            std::memcmp(stored.Moves, record.Moves, MoveCount(record) * sizeof(Move)) == 0;
  }
  gameFile.clear();
  gameFile.seekg(start);
  return found;
}

void WritePgnGame(std::string& out, const GameRecord& record) {
  char text[16];
  out += "[Result \"";
  out += record.ResultText;
  out += "\"]\n";
  for (int i = 0; i < MoveCount(record); i++) {
    if (i % 2 == 0) {
      std::snprintf(text, sizeof text, "%d. ", i / 2 + 1);
      out += text;
    }
    MoveToText(record.Moves[i], text);
    out += text;
    out += ' ';
  }
  out += record.ResultText;
  out += '\n';
}

void WritePosLine(std::string& out, const GameRecord& record, int p) {
  char fen[128], line[192];
  WriteFen(fen);
  int n = std::snprintf(line, sizeof line, "%.16" PRIX64 "\t%s\t%c\t%d\n", Position.PositionKey, fen,
                        record.ResultCode, p);
  out.append(line, static_cast<size_t>(n));
}

namespace {

// Writes the lines of the positions before moves 1 .. min(n, 64), each into the text that
// pick(key) names, playing (and checking) the moves between them; the moves are taken back.
template <typename Pick>
void WritePositionsTo(const GameRecord& record, Pick pick) {
  GameReplay replay(record);
  int last = std::min(MoveCount(record), PositionsPerGame);
  char token[8];
  for (int p = 1; p <= last; p++) {
    if (p > 1) {
      MoveToText(record.Moves[p - 2], token);
      replay.Play(p - 1, token);
    }
    WritePosLine(pick(Position.PositionKey), record, p);
  }
}

}  // namespace

void WriteGamePositions(std::string& out, const GameRecord& record) {
  WritePositionsTo(record, [&](uint64_t) -> std::string& { return out; });
}

void WriteGamePositionsByKey(std::string (&out)[16], const GameRecord& record) {
  WritePositionsTo(record, [&](uint64_t key) -> std::string& { return out[key >> 60]; });
}

void WriteGameRecord(std::string& out, const GameRecord& record) {
  auto put = [&](uint16_t word) {
    out += static_cast<char>(word & 0xFF);
    out += static_cast<char>(word >> 8);
  };
  put(record.Header);
  for (int i = 0; i < MoveCount(record); i++) put(record.Moves[i]);
}
