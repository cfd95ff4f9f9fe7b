// The Polyglot book reader on any file: refused with a reason or read safely; no lookup reads
// outside the file or loops, every move it gives is legal. Input: byte 0 picks the position
// looked up (bits 0-1) and whether every entry's key is made that position's key (bit 2), so
// that the move words and weights meet the move decoding; the rest is the book file.
#include <cstdlib>
#include <fstream>
#include "fuzz_support.h"

namespace {

// Positions with castling on both sides, promotions, en passant and a check.
constexpr const char* Positions[4] = {InitialFen, "r3k2r/1P6/8/8/8/8/6p1/R3K2R w KQkq -",
                                      "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6", "r3k2r/8/8/8/8/8/4q3/R3K2R w KQ -"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  if (size < 1) return 0;
  SetupGame(Positions[data[0] & 3]);
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] & 4) {
    uint64_t key = PolyglotKey();
    for (size_t at = 0; at + 8 <= bytes.size(); at += PolyglotEntrySize)
      for (int i = 0; i < 8; i++) bytes[at + i] = static_cast<char>(key >> (56 - 8 * i));
  }
  std::ofstream("fuzz.bin", std::ios::binary) << bytes;
  if (!OpenPolyglotBook("fuzz.bin") && !PolyglotBook.Message[0]) std::abort();
  PolyglotMove moves[MaxMovesPerList];
  int count = PolyglotMoves(moves);
  for (int i = 0; i < count; i++)
    if (!moves[i].weight || !MoveIsLegal(moves[i].move)) std::abort();
  getPolyglotMove();
  PolyglotMainMove();
  static char listed[4096];
  WriteBookMoves(listed, sizeof listed);
  return 0;
}
