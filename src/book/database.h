// The database pair shared by the book's tools: "black.db" and "white.db" of the working
// directory, opened for reading (internal to the book subsystem).
#pragma once
#include <cstdio>
#include "book/book.h"

inline constexpr int DbMessageSize = 512;

struct OpenDatabase {
  std::FILE* file = nullptr;
  uint64_t count = 0;  // whole records; a partial record at the end is not read
  uint64_t firstKey = 0, lastKey = 0;
  bool hasLast = false;  // the record read last, kept to answer a repeated question
  DbRecord last{};
  bool readFailed = false;  // a record could not be read
};

// Number 0 "black.db", number 1 "white.db": indexed by SideToMove.
struct DatabasePair {
  char message[DbMessageSize] = "";
  OpenDatabase db[2];
};

// Opens both databases, creating a missing one empty, and (when checkOrder) makes sure that their
// keys ascend; false with the pair's message set.
bool OpenDatabasePair(DatabasePair& pair, bool checkOrder);
void CloseDatabasePair(DatabasePair& pair);
// Record number n, or the next one in file order; the record read last is kept.
bool ReadDbRecord(OpenDatabase& db, uint64_t n, DbRecord& record);
bool ReadNextDbRecord(OpenDatabase& db, DbRecord& record);
// Reads the records in file order, calling visit on each until it answers false; false when
// visit did or a record could not be read.
template <typename Visit>
bool ScanDatabase(OpenDatabase& db, Visit visit) {
  DbRecord record;
  for (uint64_t n = 0; n < db.count; n++)
    if (!(n ? ReadNextDbRecord(db, record) : ReadDbRecord(db, 0, record)) || !visit(record)) return false;
  return true;
}
