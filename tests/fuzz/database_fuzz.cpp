// The database readers on any content: dbshow, dbshowlin and bookcreate read databases of any
// size and order, and the book built from them is read safely. Byte 0 and byte 1 split the
// rest between "black.db" and "white.db".
#include <algorithm>
#include <fstream>
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  if (size < 2) return 0;
  auto text = reinterpret_cast<const char*>(data + 2);
  size_t split = std::min<size_t>(size - 2, data[0] % 16 * DbRecordSize + data[1] % DbRecordSize);
  std::ofstream("black.db", std::ios::binary).write(text, static_cast<std::streamsize>(split));
  std::ofstream("white.db", std::ios::binary).write(text + split, static_cast<std::streamsize>(size - 2 - split));
  SetupGame(InitialFen);
  DbShowCommand(false);
  DbShowCommand(true);
  BookCreateCommand();
  LookUpBook("");
  return 0;
}
