// Endgame bitbases: the outside library "egbbdll.so", loaded from the configured directory
// (the search probes it).
#include <dlfcn.h>
#include <sys/stat.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include "engine/engine.h"

namespace {
using LoadFunction = void (*)(char* path, int cacheBytes, int loadOption);
}  // namespace

// A path that does not fit the library's buffer together with the file name, a library that
// is not a regular file (loading a pipe would wait for a writer) or one without both exports
// counts as not loaded.
bool LoadBitbases(const char* directory, int cacheMegabytes, int loadOption) {
  char file[256];
  if (std::snprintf(file, sizeof file, "%segbbdll.so", directory) >= static_cast<int>(sizeof file)) {
    LogLine("-M: EGBB_PATH longer than %zu characters with the library name", sizeof file - 1);
    return false;
  }
  struct stat info;
  if (stat(file, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  auto load = reinterpret_cast<LoadFunction>(dlsym(library, "load_egbb_5men"));
  auto probe = reinterpret_cast<BitbaseProbeFunction>(dlsym(library, "probe_egbb_5men"));
  if (!load || !probe) {
    dlclose(library);
    return false;
  }
  BitbaseLoadMode = loadOption;
  int64_t bytes = int64_t(cacheMegabytes) * 1048576;
  char path[256];
  std::snprintf(path, sizeof path, "%s", directory);
  load(path, bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes), loadOption);
  BitbaseLibrary = probe;
  BitbasesLoaded = true;
  return true;
}
