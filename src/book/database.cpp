// Position statistics databases: the DbRecord layout with its packed placement, dbcreate
// (one streaming pass over a key-sorted POS file per side to move, merging the lines of one
// position), and the database pair read by dbshow, dbshowlin and bookcreate.
#include <sys/stat.h>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "book/book.h"
#include "book/database.h"
#include "book/little_endian.h"

namespace {

// Four-bit codes of the FEN piece letters, from 4 (white bishop) to 15 (black rook).
constexpr char PlacementLetters[] = "BKNPQRbknpqr";
constexpr int FirstPieceNibble = 4, FillNibble = 15;
constexpr uint8_t WhiteToMoveFlag = 0x80, EpGivenFlag = 0x80, PlyMask = 0x7F;
constexpr int MaxRecordedPly = 127;
// Lines of up to 254 characters, the line end and the terminating NUL.
constexpr int PosLineSize = 256;

bool EndsField(char c) { return c == 0 || c == ' ' || c == '\t'; }

// Writes the four-bit codes one after the other, high half of each byte first, up to 64.
struct NibbleWriter {
  uint8_t* bytes;
  int count = 0;
  void Put(int code) {
    if (count >= 64) return;
    bytes[count / 2] = static_cast<uint8_t>(bytes[count / 2] | (count % 2 ? code : code << 4));
    count++;
  }
};

// Packs the placement field; returns the text after it.
const char* PackPlacement(const char* p, uint8_t* placement) {
  std::memset(placement, 0, DbPlacementBytes);
  NibbleWriter writer{placement};
  for (; !EndsField(*p); p++) {
    const char* letter = std::strchr(PlacementLetters, *p);
    if (*p >= '1' && *p <= '8') {
      // Runs of one to four empty squares have codes 0 to 3; longer runs start with a four.
      int run = *p - '0';
      if (run > 4) writer.Put(3);
      writer.Put((run > 4 ? run - 4 : run) - 1);
    } else if (letter) {
      writer.Put(FirstPieceNibble + static_cast<int>(letter - PlacementLetters));
    }
  }
  while (writer.count < 64) writer.Put(FillNibble);
  return p;
}

// The next field of the FEN: skips the blanks before it (never a tab, which ends the FEN).
const char* NextField(const char* p) {
  while (*p == ' ') p++;
  return p;
}

const char* SkipField(const char* p) {
  while (!EndsField(*p)) p++;
  return p;
}

bool SamePosition(const DbRecord& a, const DbRecord& b) {
  return std::memcmp(a.Placement, b.Placement, DbPlacementBytes) == 0 && a.Flags == b.Flags &&
         (a.EpAndPly & EpGivenFlag) == (b.EpAndPly & EpGivenFlag);
}

int RecordPly(const DbRecord& record) { return record.EpAndPly & PlyMask; }

// Opens one database for reading, creating it empty when it does not exist.
bool OpenDatabaseFile(OpenDatabase& db, const char* name, char* message) {
  if (std::FILE* missing = std::fopen(name, "r"); missing) std::fclose(missing);
  else if (std::FILE* created = std::fopen(name, "wb"); created) std::fclose(created);
  db.file = std::fopen(name, "rb");
  struct stat info;
  if (!db.file || fstat(fileno(db.file), &info) != 0) {
    std::snprintf(message, DbMessageSize, "Cannot open file: %s\n", name);
    return false;
  }
  db.count = static_cast<uint64_t>(info.st_size) / DbRecordSize;
  DbRecord record;
  if (db.count && ReadDbRecord(db, 0, record)) db.firstKey = record.Key;
  if (db.count && ReadDbRecord(db, db.count - 1, record)) db.lastKey = record.Key;
  return true;
}

// dbshow: outside the first and last keys nothing is read; otherwise bisection.
bool FindByBisection(OpenDatabase& db, uint64_t key, DbRecord& found) {
  if (db.count == 0 || key < db.firstKey || key > db.lastKey) return false;
  if (db.hasLast && db.last.Key == key) {
    found = db.last;
    return true;
  }
  uint64_t first = 0, end = db.count;
  while (first < end) {
    uint64_t middle = first + (end - first) / 2;
    if (!ReadDbRecord(db, middle, found)) return false;
    if (found.Key == key) return true;
    if (key < found.Key) end = middle;
    else first = middle + 1;
  }
  return false;
}

// dbshowlin: a scan from the first record that reports every key out of order on the way.
bool FindByScan(OpenDatabase& db, uint64_t key, DbRecord& found) {
  uint64_t previous = 0;
  bool hit = false;
  ScanDatabase(db, [&](const DbRecord& record) {
    if (record.Key <= previous) std::printf("Sort ERROR: current: %" PRIX64 ", prev: %" PRIX64 "\n", record.Key, previous);
    previous = record.Key;
    found = record;
    hit = record.Key == key;
    return record.Key < key;
  });
  return hit;
}

// ---- dbcreate ----

// One pass of dbcreate over the input for one side to move.
struct DatabaseBuild {
  int side;
  std::FILE* input;
  std::FILE* output;
  uint64_t inputSize, bytesRead;
  int percent;  // last progress figure printed
  int lines;    // lines of this side read so far
  bool hasPending;
  DbRecord pending;
};

// Reads one line of up to 254 characters into line; a longer line is consumed whole and
// comes back empty, so that its tail is never read as a line of its own.
bool ReadPosLine(DatabaseBuild& build, char* line) {
  if (!std::fgets(line, PosLineSize, build.input)) return false;
  size_t length = std::strlen(line);
  build.bytesRead += length;
  bool whole = length > 0 && line[length - 1] == '\n';
  if (!whole && !std::feof(build.input)) {
    int c;
    while ((c = std::fgetc(build.input)) != EOF && c != '\n') build.bytesRead++;
    build.bytesRead += c == '\n';
    line[0] = 0;
    return true;
  }
  while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = 0;
  return true;
}

void WritePending(DatabaseBuild& build) {
  uint8_t bytes[DbRecordSize];
  EncodeDbRecord(build.pending, bytes);
  std::fwrite(bytes, 1, DbRecordSize, build.output);
  int percent = build.inputSize ? static_cast<int>(build.bytesRead * 100 / build.inputSize) : 100;
  if (percent > build.percent) {
    std::printf("\b\b\b\b%3d%%", percent);
    std::fflush(stdout);
    build.percent = percent;
  }
}

// The record of a POS line of the side being built: key, FEN, result and ply, separated by
// tabs. False for a line of the other side, a short one, or one whose result is not W, B or D
// (that one with the parse-error message).
bool ParsePosLine(DatabaseBuild& build, const char* line, DbRecord& record) {
  if (std::strlen(line) < 17) return false;
  record = DbRecord{};
  record.Key = std::strtoull(line, nullptr, 16);
  PackFen(line + 17, record);
  if (((record.Flags & WhiteToMoveFlag) ? White : Black) != build.side) return false;
  build.lines++;
  const char* tab = std::strchr(line + 17, '\t');
  char result = tab ? tab[1] : 0;
  if (!result || !std::strchr("WBD", result)) {
    std::printf("\nparse error skipped line: %d\n%s\n", build.lines, line);
    return false;
  }
  (result == 'W' ? record.WhiteWins : result == 'B' ? record.BlackWins : record.Draws) = 1;
  long ply = tab[2] ? std::strtol(tab + 3, nullptr, 10) : 0;
  record.EpAndPly |= static_cast<uint8_t>(ply < 0 ? 0 : ply > MaxRecordedPly ? MaxRecordedPly : ply);
  return true;
}

// Merges a record into the pending one: the same position adds its game, a new key writes the
// pending record out. False for a key below the pending one (input not sorted).
bool Accept(DatabaseBuild& build, const DbRecord& record) {
  DbRecord& pending = build.pending;
  if (build.hasPending && record.Key < pending.Key) return false;
  if (build.hasPending && record.Key == pending.Key && SamePosition(record, pending)) {
    pending.WhiteWins += record.WhiteWins;
    pending.BlackWins += record.BlackWins;
    pending.Draws += record.Draws;
    if (RecordPly(record) < RecordPly(pending))
      pending.EpAndPly = static_cast<uint8_t>((pending.EpAndPly & EpGivenFlag) | RecordPly(record));
    return true;
  }
  // Of two positions with one key the later stays: a database holds one record per key.
  if (build.hasPending && record.Key > pending.Key) WritePending(build);
  pending = record;
  build.hasPending = true;
  return true;
}

// Streams the input once, writing the database of one side; false with the message set.
bool BuildDatabase(DatabaseBuild& build, const char* inputName, const char* outputName, char* message) {
  char line[PosLineSize];
  DbRecord record;
  bool sorted = true;
  while (sorted && ReadPosLine(build, line))
    if (ParsePosLine(build, line, record) && !Accept(build, record)) {
      std::snprintf(message, DbMessageSize, "ERROR: input file with positions not sorted by hash!\n%s\n", line);
      sorted = false;
    }
  bool readError = std::ferror(build.input);
  std::fclose(build.input);
  if (build.hasPending) WritePending(build);
  bool written = !std::ferror(build.output);
  written = std::fclose(build.output) == 0 && written;
  if (sorted && readError) std::snprintf(message, DbMessageSize, "Cannot read file: '%s'\n", inputName);
  if (sorted && !readError && !written) std::snprintf(message, DbMessageSize, "Cannot write file: '%s'\n", outputName);
  if (!sorted || readError || !written) return false;
  std::printf("\b\b\b\b100%%... done.\n");
  std::fflush(stdout);
  return true;
}

// Opens the input and creates the output of one side's database, then builds it.
bool CreateDatabase(const char* inputName, const char* outputName, int side, char* message) {
  struct stat info;
  if (stat(inputName, &info) != 0) {
    std::snprintf(message, DbMessageSize, "Cannot open file statistics: %s\n", inputName);
    return false;
  }
  DatabaseBuild build{side, std::fopen(inputName, "r"), nullptr, static_cast<uint64_t>(info.st_size), 0, 0, 0, false, {}};
  if (!build.input) {
    std::snprintf(message, DbMessageSize, "Cannot open file: %s\n", inputName);
    return false;
  }
  build.output = std::fopen(outputName, "wb");
  if (!build.output) {
    std::fclose(build.input);
    std::snprintf(message, DbMessageSize, "Cannot create file: '%s'\n", outputName);
    return false;
  }
  std::printf("creating new database '%s':  0%%", outputName);
  return BuildDatabase(build, inputName, outputName, message);
}

}  // namespace

bool ReadNextDbRecord(OpenDatabase& db, DbRecord& record) {
  uint8_t bytes[DbRecordSize];
  if (std::fread(bytes, 1, DbRecordSize, db.file) != DbRecordSize) return false;
  record = DecodeDbRecord(bytes);
  db.last = record;
  db.hasLast = true;
  return true;
}

bool ReadDbRecord(OpenDatabase& db, uint64_t n, DbRecord& record) {
  return fseeko(db.file, static_cast<off_t>(n * DbRecordSize), SEEK_SET) == 0 && ReadNextDbRecord(db, record);
}

void EncodeDbRecord(const DbRecord& record, uint8_t* bytes) {
  StoreLittleEndian(bytes, record.Key, 8);
  std::memcpy(bytes + 8, record.Placement, DbPlacementBytes);
  bytes[40] = record.Flags;
  bytes[41] = record.EpAndPly;
  StoreLittleEndian(bytes + 42, record.WhiteWins, 4);
  StoreLittleEndian(bytes + 46, record.BlackWins, 4);
  StoreLittleEndian(bytes + 50, record.Draws, 4);
}

DbRecord DecodeDbRecord(const uint8_t* bytes) {
  DbRecord record;
  record.Key = LoadLittleEndian(bytes, 8);
  std::memcpy(record.Placement, bytes + 8, DbPlacementBytes);
  record.Flags = bytes[40];
  record.EpAndPly = bytes[41];
  record.WhiteWins = static_cast<uint32_t>(LoadLittleEndian(bytes + 42, 4));
  record.BlackWins = static_cast<uint32_t>(LoadLittleEndian(bytes + 46, 4));
  record.Draws = static_cast<uint32_t>(LoadLittleEndian(bytes + 50, 4));
  return record;
}

void PackFen(const char* fen, DbRecord& record) {
  const char* p = NextField(PackPlacement(fen, record.Placement));
  record.Flags = *p == 'w' ? WhiteToMoveFlag : 0;
  p = NextField(SkipField(p));
  constexpr char Rights[] = "KQkq";
  for (; !EndsField(*p); p++)
    if (const char* right = std::strchr(Rights, *p); right)
      record.Flags |= static_cast<uint8_t>(0x40 >> (right - Rights));
  p = NextField(p);
  record.EpAndPly &= PlyMask;
  if (!EndsField(*p) && *p != '-') {
    record.Flags |= static_cast<uint8_t>((*p - 'a') & 7);
    record.EpAndPly |= EpGivenFlag;
  }
}

double RecordScore(double whiteWins, double blackWins, double draws) {
  double games = whiteWins + blackWins + draws;
  return games > 0 ? (whiteWins + 0.5 * draws) / games : 0.5;
}

bool OpenDatabasePair(DatabasePair& pair) {
  std::snprintf(pair.message, DbMessageSize, "OK");
  constexpr const char* Names[2] = {"black.db", "white.db"};
  for (int k = 0; k < 2; k++)
    if (!OpenDatabaseFile(pair.db[k], Names[k], pair.message)) return false;
  return true;
}

void CloseDatabasePair(DatabasePair& pair) {
  for (OpenDatabase& db : pair.db)
    if (db.file) std::fclose(db.file);
  pair = DatabasePair{};
}

void DbCreateCommand(const char* input, const char* name) {
  char message[DbMessageSize] = "OK", output[300];
  for (int side : {Black, White}) {
    std::snprintf(output, sizeof output, "%s_%s.db", name, side == White ? "white" : "black");
    if (!CreateDatabase(input, output, side, message)) {
      std::printf("%s\n", message);
      return;
    }
  }
  std::printf("created.\n");
}

void DbShowCommand(bool linear) {
  DatabasePair pair;
  if (!OpenDatabasePair(pair)) {
    std::printf("%s\n", pair.message);
    CloseDatabasePair(pair);
    return;
  }
  PrintBoard(Position.Board);
  OpenDatabase& db = pair.db[Position.SideToMove];
  DbRecord record;
  uint64_t key = Position.PositionKey;
  if (linear ? FindByScan(db, key, record) : FindByBisection(db, key, record))
    std::printf("w: %.0f, b: %.0f, d: %.0f, score: %f\n", double(record.WhiteWins), double(record.BlackWins),
                double(record.Draws), RecordScore(record.WhiteWins, record.BlackWins, record.Draws));
  else
    std::printf("record not found.\n");
  CloseDatabasePair(pair);
}
