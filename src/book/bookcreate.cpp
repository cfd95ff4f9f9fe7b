// bookcreate: the book file pairs from the statistics databases. A position enters the book
// when it arose by ply 41 and scored better than even for the side that had just moved.
#include <cstdio>
#include <vector>
#include "book/book.h"
#include "book/database.h"
#include "book/little_endian.h"

namespace {

constexpr int LatestBookPly = 41;

// The book keeps a position of database k (0: black to move, after a white move) when the
// side that reached it scored better than even.
bool KeepInBook(const DbRecord& record, int k) {
  if ((record.EpAndPly & 0x7F) > LatestBookPly) return false;
  double score = RecordScore(record.WhiteWins, record.BlackWins, record.Draws);
  return k == Black ? score > 0.5 : score < 0.5;
}

// Writes the kept records of database k to base + ".mbk" and fills the index; false when the
// data file could not be written whole.
bool WriteBookRecords(OpenDatabase& db, int k, std::FILE* data, std::vector<uint32_t>& index, double totals[3]) {
  uint64_t written = 0;
  ScanDatabase(db, [&](const DbRecord& record) {
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
  bool whole = !std::ferror(data);
  return std::fclose(data) == 0 && whole;
}

// Index entries of buckets without records take the count of the buckets before them.
bool WriteIndex(std::vector<uint32_t>& index, std::FILE* file) {
  std::vector<uint8_t> bytes(BookIndexBytes);
  for (int b = 0; b < BookBuckets; b++) {
    if (b > 0 && index[b] < index[b - 1]) index[b] = index[b - 1];
    StoreLittleEndian(&bytes[4 * b], index[b], 4);
  }
  bool whole = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && whole;
}

// One book file pair from database k; the messages of a failure are printed as they stand.
void BuildBook(OpenDatabase& db, int k) {
  const char* base = k == White ? "bookwtm" : "bookbtm";
  char indexName[32], dataName[32];
  std::snprintf(indexName, sizeof indexName, "%s.mbx", base);
  std::snprintf(dataName, sizeof dataName, "%s.mbk", base);
  std::printf("Generating %s...\n", base);
  std::FILE* indexFile = std::fopen(indexName, "wb");
  if (!indexFile) {
    std::printf("Cannot create index file: '%s'\n", indexName);
    return;
  }
  std::FILE* data = std::fopen(dataName, "wb");
  if (!data) {
    std::fclose(indexFile);
    std::printf("Cannot create file: '%s'\n", dataName);
    return;
  }
  std::vector<uint32_t> index(BookBuckets);
  double totals[3] = {0, 0, 0};
  if (!WriteBookRecords(db, k, data, index, totals)) {
    std::fclose(indexFile);
    std::printf("Cannot write file: '%s'\n", dataName);
    return;
  }
  if (!WriteIndex(index, indexFile)) {
    std::printf("Writing indexes file error!\n");
    return;
  }
  std::printf("%s: %f\n", base, RecordScore(totals[0], totals[1], totals[2]));
}

}  // namespace

void BookCreateCommand() {
  DatabasePair pair;
  if (OpenDatabasePair(pair)) {
    BuildBook(pair.db[Black], Black);
    BuildBook(pair.db[White], White);
    std::printf("created.\n");
  } else {
    std::printf("%s\n", pair.message);
  }
  CloseDatabasePair(pair);
}
