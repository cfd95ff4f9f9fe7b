// dbcreate on any text as its POS file (lines of any length and content, sorted or not): the
// databases it writes are whole records in key order. What bookcreate and the book lookup
// make of databases is database_fuzz's, on any database bytes.
#include <fstream>
#include <iterator>
#include <string>
#include "fuzz_support.h"

namespace {

// A database written is a whole number of records with keys in ascending order.
void CheckDatabase(const char* name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return;
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (bytes.size() % DbRecordSize != 0) std::abort();
  uint64_t previous = 0;
  for (size_t at = 0; at < bytes.size(); at += DbRecordSize) {
    DbRecord record = DecodeDbRecord(reinterpret_cast<const uint8_t*>(bytes.data() + at));
    if (at > 0 && record.Key <= previous) std::abort();
    previous = record.Key;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  std::ofstream("in.pos", std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  for (const char* name : {"fuzz_black.db", "fuzz_white.db"}) std::remove(name);
  DbCreateCommand("in.pos", "fuzz");
  CheckDatabase("fuzz_black.db");
  CheckDatabase("fuzz_white.db");
  return 0;
}
