// The "Tirvex.ini" reader on any file content: no crash, no overrun, values kept in range.
#include <cstdio>
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (!file) return 0;
  Configuration config;
  ReadConfiguration(file, config);
  std::fclose(file);
  if (config.bitbaseCache < 0 || config.bitbaseLoad < 0 || config.bitbaseLoad > 5) std::abort();
  return 0;
}
