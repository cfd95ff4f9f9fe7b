// Fuzz target: the endgame-table file reader. The first byte chooses the table the file
// should hold, the rest is the file; a file that passes the checks has every block decoded.
#include <cstddef>
#include <cstdint>
#include "egbb/egbb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  EgbbFile file;
  if (!EgbbParseFile(std::vector<uint8_t>(data + 1, data + size), data[0] % EgbbTableCount, file)) return 0;
  static std::vector<uint8_t> block(EgbbBlockEntries);
  for (uint32_t b = 0; b < file.blocks; b++) EgbbReadBlock(file, b, block.data());
  return 0;
}
