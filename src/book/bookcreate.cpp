// bookcreate: the book file pairs from the statistics databases. A position enters the book
// when it arose by ply 41 and scored better than even for the side that had just moved. The
// databases must be in key order, as the book's records are.
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <vector>
#include "book/book.h"
#include "book/database.h"
#include "book/little_endian.h"
#include "records/records.h"

namespace {

constexpr int LatestBookPly = 41;

// The book keeps a position of database k (0: black to move, after a white move) when the
// side that reached it scored better than even.
bool KeepInBook(const DbRecord& record, int k) {
  if ((record.EpAndPly & 0x7F) > LatestBookPly) return false;
  double score = RecordScore(record.WhiteWins, record.BlackWins, record.Draws);
  return k == Black ? score > 0.5 : score < 0.5;
}

// Writes the kept records of database k to the data file and fills the index; false when a
// record of the database could not be read.
bool WriteBookRecords(OpenDatabase& db, int k, std::FILE* data, uint32_t* index, double totals[3]) {
  uint64_t written = 0;
  return ScanDatabase(db, [&](const DbRecord& record) {
    totals[0] += record.WhiteWins;
    totals[1] += record.BlackWins;
    totals[2] += record.Draws;
    if (KeepInBook(record, k)) {
      uint8_t out[BookRecordSize];
      StoreLittleEndian(out, record.Key & BookStoredKeyMask, BookRecordSize);
      std::fwrite(out, 1, BookRecordSize, data);
      index[record.Key >> BookBucketShift] = static_cast<uint32_t>(++written);
    }
    return true;
  });
}

// Index entries of buckets without records take the count of the buckets before them.
WHOLE_TABLE_LOOP bool WriteIndex(uint32_t* index, std::FILE* file) {
  static uint8_t bytes[BookIndexBytes];
  for (int b = 1; b < BookBuckets; b++) index[b] = std::max(index[b], index[b - 1]);
  StoreLittleEndianWords(bytes, index, BookBuckets);
  return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes && std::fflush(file) == 0;
}

// One book file pair from database k into the new set of book files; false, with the message
// printed as it stands, when it cannot be built whole.
bool BuildBook(OpenDatabase& db, int k, NewFileSet& set) {
  const char* base = k == White ? "bookwtm" : "bookbtm";
  char indexName[32], dataName[32];
  std::snprintf(indexName, sizeof indexName, "%s.mbx", base);
  std::snprintf(dataName, sizeof dataName, "%s.mbk", base);
  std::printf("Generating %s...\n", base);
  std::FILE* indexFile = set.Add(indexName);
  if (!indexFile) {
    std::printf("Cannot create index file: '%s'\n", indexName);
    return false;
  }
  std::FILE* data = set.Add(dataName);
  if (!data) {
    std::printf("Cannot create file: '%s'\n", dataName);
    return false;
  }
  static uint32_t index[BookBuckets];
  std::memset(index, 0, sizeof index);
  double totals[3] = {0, 0, 0};
  if (!WriteBookRecords(db, k, data, index, totals)) {
    std::printf("Cannot read file: '%s'\n", k == White ? "white.db" : "black.db");
    return false;
  }
  if (std::fflush(data) != 0 || std::ferror(data)) {
    std::printf("Cannot write file: '%s'\n", dataName);
    return false;
  }
  if (!WriteIndex(index, indexFile)) {
    std::printf("Writing indexes file error!\n");
    return false;
  }
  std::printf("%s: %f\n", base, RecordScore(totals[0], totals[1], totals[2]));
  return true;
}

}  // namespace

// The four book files are written as one new set: the old book stays unless every file of the
// new one was written whole.
void BookCreateCommand() {
  DatabasePair pair;
  if (OpenDatabasePair(pair, true)) {
    NewFileSet set;
    bool built = BuildBook(pair.db[Black], Black, set) && BuildBook(pair.db[White], White, set);
    if (built && !set.Commit()) std::printf("Cannot write file: '%s'\n", set.Failed().c_str());
    else if (built) std::printf("created.\n");
  } else {
    std::printf("%s\n", pair.message);
  }
  CloseDatabasePair(pair);
}
