// Fuzz target: the library's probe call on any nine integers, with a KQK table loaded from
// a temporary directory (every entry drawn) so that found positions reach the block cache.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include "egbb/egbb.h"

namespace {

// Writes the table once, loads it with a one-block cache and removes the directory.
bool LoadSmallTable() {
  char pattern[] = "/tmp/egbb-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) return false;
  const int kqk = EgbbFindTable("kqk");
  EgbbWriteFile(pattern, kqk, std::vector<uint8_t>(EgbbTables[kqk].size, EgbbDraw));
  load_egbb_5men(pattern, 0, 1);
  std::filesystem::remove_all(pattern);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool loaded = LoadSmallTable();
  int32_t args[9] = {};
  std::memcpy(args, data, size < sizeof args ? size : sizeof args);
  probe_egbb_5men(args[0], args[1], args[2], args[3], args[4], args[5], args[6], args[7], args[8]);
  (void)loaded;
  return 0;
}
