// Position statistics databases: the DbRecord layout with its packed placement, dbcreate
// (one streaming pass over a key-sorted POS file per side to move, merging the lines of one
// position; every line that is not a POS line is reported), and the database pair read by
// dbshow, dbshowlin and bookcreate, which never truncates a file and refuses one that is not a
// database.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "book/book.h"
#include "book/database.h"
#include "book/little_endian.h"
#include "records/records.h"

namespace {

// Four-bit codes of the FEN piece letters, from 4 (white bishop) to 15 (black rook).
constexpr char PlacementLetters[] = "BKNPQRbknpqr";
constexpr int FirstPieceNibble = 4, FillNibble = 15;
// The code of each character: that of a piece letter, 0 for any other character.
constexpr auto PieceNibble = [] {
  std::array<uint8_t, 256> codes{};
  for (int i = 0; PlacementLetters[i]; i++)
    codes[static_cast<uint8_t>(PlacementLetters[i])] = static_cast<uint8_t>(FirstPieceNibble + i);
  return codes;
}();
constexpr uint8_t WhiteToMoveFlag = 0x80, EpGivenFlag = 0x80, PlyMask = 0x7F;
constexpr int MaxRecordedPly = 127;
// Lines of up to 254 characters.
constexpr int PosLineLength = 254, PosLineSize = PosLineLength + 2;

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
    if (*p >= '1' && *p <= '8') {
      // Runs of one to four empty squares have codes 0 to 3; longer runs start with a four.
      int run = *p - '0';
      if (run > 4) writer.Put(3);
      writer.Put((run > 4 ? run - 4 : run) - 1);
    } else if (int code = PieceNibble[static_cast<uint8_t>(*p)]) {
      writer.Put(code);
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

// Whether the keys ascend from record to record (one record per key); false also when a
// record cannot be read.
bool KeysAscend(OpenDatabase& db) {
  uint64_t previous = 0, n = 0;
  bool ascending = ScanDatabase(db, [&](const DbRecord& record) {
    bool ascends = n++ == 0 || record.Key > previous;
    previous = record.Key;
    return ascends;
  });
  return ascending;
}

// Opens one database for reading, creating it empty when it does not exist; an existing file
// is never truncated. A file that is not a regular one (opened without waiting, so that a pipe
// is refused, not waited on), not a whole number of records, or whose keys do not ascend (when
// checked) is refused with the message set.
bool OpenDatabaseFile(OpenDatabase& db, const char* name, bool checkOrder, char* message) {
  struct stat info;
  int descriptor = OpenRegularFile(name, &info);
  if (descriptor < 0 && errno == ENOENT) {
    int created = open(name, O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (created >= 0) close(created);
    descriptor = OpenRegularFile(name, &info);
  }
  if (descriptor < 0 || !(db.file = fdopen(descriptor, "rb"))) {
    if (descriptor >= 0) close(descriptor);
    std::snprintf(message, DbMessageSize, "Cannot open file: %s\n", name);
    return false;
  }
  if (info.st_size % DbRecordSize != 0) {
    std::snprintf(message, DbMessageSize, "Wrong file format: %s (not a whole number of records)\n", name);
    return false;
  }
  db.count = static_cast<uint64_t>(info.st_size) / DbRecordSize;
  DbRecord record;
  if (db.count && ReadDbRecord(db, 0, record)) db.firstKey = record.Key;
  if (db.count && ReadDbRecord(db, db.count - 1, record)) db.lastKey = record.Key;
  bool ascending = !checkOrder || KeysAscend(db);
  if (db.readFailed) std::snprintf(message, DbMessageSize, "Cannot read file: %s\n", name);
  else if (!ascending) std::snprintf(message, DbMessageSize, "ERROR: database not sorted by key: %s\n", name);
  return !db.readFailed && ascending;
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
  int percent;     // last progress figure printed
  int lineNumber;  // lines read so far
  int skipped;     // lines that are not POS lines, reported in the first pass
  bool hasPending;
  DbRecord pending;
};

// One line of the input, its first 254 characters kept.
struct InputLine {
  char text[PosLineSize];
  TextLine read;
};

bool ReadPosLine(DatabaseBuild& build, InputLine& line) {
  if (!ReadTextLine(build.input, line.text, PosLineLength, line.read)) return false;
  build.bytesRead += line.read.consumed;
  build.lineNumber++;
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

// Whether text starts with the four FEN fields of a POS line (eight ranks of eight squares,
// side, castling rights, en-passant square), followed by a tab.
bool IsPosFen(const char* p) {
  for (int rank = 0, squares = 0;; p++) {
    if (*p == '/' || *p == ' ') {
      if (squares != 8 || (*p == ' ') != (rank == 7)) return false;
      if (*p == ' ') break;
      rank++, squares = 0;
    } else if (*p >= '1' && *p <= '8') {
      squares += *p - '0';
    } else if (PieceNibble[static_cast<uint8_t>(*p)]) {
      squares++;
    } else {
      return false;
    }
  }
  if ((p[1] != 'w' && p[1] != 'b') || p[2] != ' ') return false;
  p += 3;
  size_t rights = std::strspn(p, "KQkq");
  p += rights ? rights : *p == '-';
  if (*p++ != ' ') return false;
  if (*p == '-') p++;
  else if (p[0] >= 'a' && p[0] <= 'h' && (p[1] == '3' || p[1] == '6')) p += 2;
  else return false;
  return *p == '\t';
}

// The record of a POS line: 16 hexadecimal key digits, a tab, the four FEN fields, a tab, the
// result W, B or D, a tab and the ply. Returns why the line is not a POS line, or nullptr.
const char* ParsePosLine(const InputLine& line, DbRecord& record) {
  const char* text = line.text;
  if (line.read.tooLong) return "longer than 254 characters";
  if (line.read.hasNul) return "a NUL character";
  for (int i = 0; i < 16; i++)
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return "no key";
  if (text[16] != '\t' || !IsPosFen(text + 17)) return "no FEN";
  const char* tab = std::strchr(text + 17, '\t');
  if (!tab[1] || !std::strchr("WBD", tab[1])) return "no result";
  char* end = nullptr;
  long ply = tab[2] == '\t' && std::isdigit(static_cast<unsigned char>(tab[3])) ? std::strtol(tab + 3, &end, 10) : -1;
  if (ply < 0 || *end) return "no ply";
  record = DbRecord{};
  record.Key = std::strtoull(text, nullptr, 16);
  PackFen(text + 17, record);
  (tab[1] == 'W' ? record.WhiteWins : tab[1] == 'B' ? record.BlackWins : record.Draws) = 1;
  record.EpAndPly |= static_cast<uint8_t>(ply > MaxRecordedPly ? MaxRecordedPly : ply);
  return nullptr;
}

// The record of a line of the side being built. A line that is not a POS line is reported,
// with its number, and counted in the first pass (black to move) only.
bool AcceptedLine(DatabaseBuild& build, const InputLine& line, DbRecord& record) {
  if (line.read.length == 0) return false;  // a blank line
  if (const char* reason = ParsePosLine(line, record)) {
    if (build.side == Black) {
      std::printf("\nparse error skipped line: %d (%s)\n%s\n", build.lineNumber, reason, line.text);
      build.skipped++;
    }
    return false;
  }
  return ((record.Flags & WhiteToMoveFlag) ? White : Black) == build.side;
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
  static InputLine line;
  DbRecord record;
  bool sorted = true;
  while (sorted && ReadPosLine(build, line))
    if (AcceptedLine(build, line, record) && !Accept(build, record)) {
      std::snprintf(message, DbMessageSize, "ERROR: input file with positions not sorted by hash!\n%s\n", line.text);
      sorted = false;
    }
  bool readError = std::ferror(build.input);
  std::fclose(build.input);
  if (build.hasPending) WritePending(build);
  bool written = std::fflush(build.output) == 0 && !std::ferror(build.output);
  if (sorted && readError) std::snprintf(message, DbMessageSize, "Cannot read file: '%s'\n", inputName);
  if (sorted && !readError && !written) std::snprintf(message, DbMessageSize, "Cannot write file: '%s'\n", outputName);
  if (!sorted || readError || !written) return false;
  std::printf("\b\b\b\b100%%... done.\n");
  std::fflush(stdout);
  return true;
}

// One side's database from the input into output, the file of the new set; false with the
// message set.
bool CreateDatabase(const char* inputName, const char* outputName, std::FILE* output, int side, int& skipped,
                    char* message) {
  struct stat info;
  if (stat(inputName, &info) != 0) {
    std::snprintf(message, DbMessageSize, "Cannot open file statistics: %s\n", inputName);
    return false;
  }
  DatabaseBuild build{side, std::fopen(inputName, "r"), output, static_cast<uint64_t>(info.st_size), 0, 0, 0, 0, false,
                      {}};
  if (!build.input) {
    std::snprintf(message, DbMessageSize, "Cannot open file: %s\n", inputName);
    return false;
  }
  std::printf("creating new database '%s':  0%%", outputName);
  bool built = BuildDatabase(build, inputName, outputName, message);
  skipped += build.skipped;
  return built;
}

}  // namespace

bool ReadNextDbRecord(OpenDatabase& db, DbRecord& record) {
  uint8_t bytes[DbRecordSize];
  if (std::fread(bytes, 1, DbRecordSize, db.file) != DbRecordSize) {
    db.readFailed = true;
    return false;
  }
  record = DecodeDbRecord(bytes);
  db.last = record;
  db.hasLast = true;
  return true;
}

bool ReadDbRecord(OpenDatabase& db, uint64_t n, DbRecord& record) {
  if (fseeko(db.file, static_cast<off_t>(n * DbRecordSize), SEEK_SET) == 0) return ReadNextDbRecord(db, record);
  db.readFailed = true;
  return false;
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

bool OpenDatabasePair(DatabasePair& pair, bool checkOrder) {
  std::snprintf(pair.message, DbMessageSize, "OK");
  constexpr const char* Names[2] = {"black.db", "white.db"};
  for (int k = 0; k < 2; k++)
    if (!OpenDatabaseFile(pair.db[k], Names[k], checkOrder, pair.message)) return false;
  return true;
}

void CloseDatabasePair(DatabasePair& pair) {
  for (OpenDatabase& db : pair.db)
    if (db.file) std::fclose(db.file);
  pair = DatabasePair{};
}

// Both databases are written as one new set: they replace the old ones only when both were
// written whole, and never the input itself.
void DbCreateCommand(const char* input, const char* name) {
  char message[DbMessageSize] = "OK", outputs[2][300];
  for (int side : {Black, White}) {
    std::snprintf(outputs[side], sizeof outputs[side], "%s_%s.db", name, side == White ? "white" : "black");
    if (IsSameFile(input, outputs[side])) {
      std::printf("Cannot write over the input file: '%s'\n\n", outputs[side]);
      return;
    }
  }
  NewFileSet set;
  std::FILE* files[2];
  for (int side : {Black, White})
    if (!(files[side] = set.Add(outputs[side]))) {
      std::printf("Cannot create file: '%s'\n\n", outputs[side]);
      return;
    }
  int skipped = 0;
  for (int side : {Black, White})
    if (!CreateDatabase(input, outputs[side], files[side], side, skipped, message)) {
      std::printf("%s\n", message);
      return;
    }
  if (!set.Commit()) {
    std::printf("Cannot write file: '%s'\n\n", set.Failed().c_str());
    return;
  }
  if (skipped) std::printf("skipped lines: %d\n", skipped);
  std::printf("created.\n");
}

void DbShowCommand(bool linear) {
  DatabasePair pair;
  // Bisection needs keys in order; the scan reports those out of order itself.
  if (!OpenDatabasePair(pair, !linear)) {
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
  else if (db.readFailed)
    std::printf("Cannot read file: %s\n", Position.SideToMove == White ? "white.db" : "black.db");
  else
    std::printf("record not found.\n");
  CloseDatabasePair(pair);
}
