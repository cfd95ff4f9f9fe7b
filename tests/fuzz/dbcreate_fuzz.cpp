// dbcreate on any text as its POS file (lines of any length and content, sorted or not); the
// databases it writes then go through bookcreate and the book through the lookup.
#include <fstream>
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  std::ofstream("in.pos", std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  for (const char* name : {"fuzz_black.db", "fuzz_white.db", "black.db", "white.db"}) std::remove(name);
  DbCreateCommand("in.pos", "fuzz");
  std::rename("fuzz_black.db", "black.db");
  std::rename("fuzz_white.db", "white.db");
  BookCreateCommand();
  LookUpBook("");
  return 0;
}
