// Endgame bitbases: the outside library "egbbdll.so", loaded from the configured directory,
// and the probe that converts the engine's position to the library's codes.
#include <dlfcn.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include "engine/engine.h"

bool BitbasesLoaded;
bool BitbaseProbing = true;
int BitbaseLoadMode = 1;

namespace {

using LoadFunction = void (*)(char* path, int cacheBytes, int loadOption);
using ProbeFunction = int (*)(int side, int whiteKing, int blackKing, int piece1, int square1, int piece2,
                              int square2, int piece3, int square3);

ProbeFunction ProbeLibrary;

// The library's piece codes by PieceCode: white pawn 6 ... queen 2, black pawn 12 ... queen 8.
constexpr int LibraryPiece[13] = {0, 6, 12, 5, 11, 4, 10, 3, 9, 2, 8, 0, 0};
// The library counts squares from a1 (0) to h8 (63).
constexpr int LibrarySquare(int s) { return s ^ 56; }
// The library's "no answer".
constexpr int NoAnswer = 99999;

}  // namespace

// A path that does not fit the library's buffer together with the file name, or a library
// without both exports, counts as not loaded.
bool LoadBitbases(const char* directory, int cacheMegabytes, int loadOption) {
  char file[256];
  if (std::snprintf(file, sizeof file, "%segbbdll.so", directory) >= static_cast<int>(sizeof file)) {
    LogLine("-M: EGBB_PATH longer than %zu characters with the library name", sizeof file - 1);
    return false;
  }
  void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  auto load = reinterpret_cast<LoadFunction>(dlsym(library, "load_egbb_5men"));
  auto probe = reinterpret_cast<ProbeFunction>(dlsym(library, "probe_egbb_5men"));
  if (!load || !probe) {
    dlclose(library);
    return false;
  }
  BitbaseLoadMode = loadOption;
  int64_t bytes = int64_t(cacheMegabytes) * 1048576;
  char path[256];
  std::snprintf(path, sizeof path, "%s", directory);
  load(path, bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes), loadOption);
  ProbeLibrary = probe;
  BitbasesLoaded = true;
  return true;
}

// The pieces other than the kings go into three slots from h1 towards a8.
int ProbeBitbases() {
  if (!BitbasesLoaded) return NoAnswer;
  int piece[3] = {0, 0, 0}, square[3] = {0, 0, 0};
  for (int s = 63, n = 0; s >= 0 && n < 3; s--) {
    int code = Position.Board[s];
    if (code == Empty || code >= WhiteKing) continue;
    piece[n] = LibraryPiece[code];
    square[n++] = LibrarySquare(s);
  }
  int score = ProbeLibrary(Position.SideToMove == White ? 0 : 1, LibrarySquare(Position.KingSquare[White]),
                           LibrarySquare(Position.KingSquare[Black]), piece[0], square[0], piece[1], square[1],
                           piece[2], square[2]);
  return ConvertBitbaseScore(score);
}

// Library scores beyond 7000 are squeezed tenfold so that a won bitbase position ranks below
// a mate the search can see (8001 at most).
int ConvertBitbaseScore(int r) {
  if (r == NoAnswer) return r;
  if (r < -7000) {
    r = (r + 7000) / 10 - 7000;
    if (r < -8000) r = -8001;
  } else if (r > 7000) {
    r = (r - 7000) / 10 + 7000;
    if (r > 8000) r = 8001;
  }
  return r;
}
