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

namespace {

// A hash of the record's header and moves.
uint64_t RecordHash(const GameRecord& record) {
  uint64_t hash = 0xCBF29CE484222325ull ^ record.Header;
  for (int i = 0; i < MoveCount(record); i++) hash = (hash ^ record.Moves[i]) * 0x100000001B3ull;
  return hash ^ hash >> 29;
}

constexpr int OffsetBits = 48;
constexpr uint64_t OffsetMask = (uint64_t(1) << OffsetBits) - 1;
// The 16 bits of the hash that a slot keeps, for a table of 2^shift slots.
uint64_t HashTag(uint64_t hash, int shift) { return (hash >> shift) & 0xFFFF; }

// The record stored at offset equals this one.
bool StoredAt(std::istream& gameFile, uint64_t offset, const GameRecord& record) {
  static GameRecord stored;
  gameFile.clear();
  gameFile.seekg(static_cast<std::streamoff>(offset));
  bool same = ReadRecordBytes(gameFile, stored, [](uint16_t) { return true; }) == RecordStatus::Read &&
              stored.Header == record.Header &&
              std::memcmp(stored.Moves, record.Moves, MoveCount(record) * sizeof(Move)) == 0;
  gameFile.clear();
  return same;
}

}  // namespace

namespace {

// Visits every record of the GAME file from its start with its offset (its moves read when
// moves is set) and returns their number; a corrupt file raises an error.
template <typename Visit>
size_t ScanRecords(std::istream& gameFile, bool moves, Visit visit) {
  static GameRecord stored;
  gameFile.clear();
  gameFile.seekg(0);
  uint64_t offset = 0;
  size_t k = 0;
  for (;; k++) {
    RecordStatus status = ReadRecordBytes(gameFile, stored, [&](uint16_t) { return moves; });
    if (status == RecordStatus::End) break;
    if (status == RecordStatus::NoResult) throw RecordError("WRONG RESULT");
    if (status != RecordStatus::Read) throw RecordError(CorruptFileMessage(static_cast<int>(k + 1)));
    visit(stored, offset);
    offset += 2 + 2 * static_cast<uint64_t>(MoveCount(stored));
  }
  gameFile.clear();
  return k;
}

}  // namespace

void StoredGames::Load(std::istream& gameFile) { Rebuild(gameFile); }

void StoredGames::Rebuild(std::istream& gameFile) {
  size_t records = ScanRecords(gameFile, false, [](const GameRecord&, uint64_t) {});
  for (shift_ = 10; (size_t(1) << shift_) < 2 * (records + 1);) shift_++;
  slots_.assign(size_t(1) << shift_, 0);
  count_ = 0;
  ScanRecords(gameFile, true, [&](const GameRecord& record, uint64_t offset) { Enter(record, offset); });
}

bool StoredGames::Contains(std::istream& gameFile, const GameRecord& record) const {
  if (slots_.empty()) return false;
  uint64_t hash = RecordHash(record), mask = slots_.size() - 1, tag = HashTag(hash, shift_);
  for (size_t i = hash & mask; slots_[i]; i = (i + 1) & mask)
    if (slots_[i] >> OffsetBits == tag && StoredAt(gameFile, (slots_[i] & OffsetMask) - 1, record)) return true;
  return false;
}

// At most three quarters full: a fuller table is made again, at least twice the records' size.
void StoredGames::Add(std::istream& gameFile, const GameRecord& record, uint64_t offset) {
  if (4 * (count_ + 1) > 3 * slots_.size()) Rebuild(gameFile);
  Enter(record, offset);
}

// Open addressing with linear probing.
void StoredGames::Enter(const GameRecord& record, uint64_t offset) {
  if (offset + 1 > OffsetMask) throw RecordError("GAME file too large to look games up in");
  uint64_t hash = RecordHash(record), mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i]) i = (i + 1) & mask;
  slots_[i] = HashTag(hash, shift_) << OffsetBits | (offset + 1);
  count_++;
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
