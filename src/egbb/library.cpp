// The probing library behind the engine's two calls: the tables found in a directory, a
// bounded cache of decoded blocks, and the probe from the call's codes to a score.
#include <algorithm>
#include <string>
#include <vector>
#include "egbb/egbb.h"

namespace {

EgbbFile Files[EgbbTableCount];
uint64_t FirstBlock[EgbbTableCount];  // block numbers of all tables in one sequence

// Direct-mapped cache of decoded blocks: slot = block number modulo the slot count.
std::vector<uint8_t> CacheData;
std::vector<uint64_t> CacheTag;  // block number + 1, 0 for an empty slot
uint64_t CacheSlots;

// The decoded block, from the cache or decoded into it; nullptr when the block is damaged.
const uint8_t* CachedBlock(int table, uint32_t block) {
  const uint64_t number = FirstBlock[table] + block, slot = number % CacheSlots;
  uint8_t* data = CacheData.data() + slot * EgbbBlockEntries;
  if (CacheTag[slot] != number + 1) {
    CacheTag[slot] = 0;
    if (!EgbbReadBlock(Files[table], block, data)) return nullptr;
    CacheTag[slot] = number + 1;
  }
  return data;
}

// Library piece code to a man's code: white queen 2 ... pawn 6, black 8 ... 12 alike.
bool ValidPiece(int piece) { return piece >= EgbbQueen && piece <= EgbbPawn + EgbbBlack && piece != EgbbKing + EgbbBlack; }

}  // namespace

extern "C" EGBB_EXPORT void load_egbb_5men(char* path, int cacheBytes, int loadOption) {
  const std::string directory = path ? path : "";
  uint64_t blocks = 0;
  for (int t = 0; t < EgbbTableCount; t++) {
    EgbbOpenFile(directory, t, loadOption != 0, Files[t]);
    FirstBlock[t] = blocks;
    blocks += Files[t].blocks;
  }
  // At least one block, and never more slots than there are blocks to hold.
  CacheSlots = std::clamp<uint64_t>(uint64_t(std::max(cacheBytes, 0)) / EgbbBlockEntries, 1, std::max<uint64_t>(blocks, 1));
  CacheData.assign(CacheSlots * EgbbBlockEntries, 0);
  CacheTag.assign(CacheSlots, 0);
}

extern "C" EGBB_EXPORT int probe_egbb_5men(int side, int whiteKing, int blackKing, int piece1, int square1,
                                           int piece2, int square2, int piece3, int square3) {
  EgbbPosition p{side, 2, {EgbbKing, EgbbKing + EgbbBlack}, {whiteKing, blackKing}};
  const int pieces[3] = {piece1, piece2, piece3}, squares[3] = {square1, square2, square3};
  for (int i = 0; i < 3; i++) {
    if (pieces[i] == 0) continue;
    if (!ValidPiece(pieces[i]) || p.count == EgbbMaxMen) return EgbbNoAnswer;
    p.code[p.count] = pieces[i];
    p.square[p.count++] = squares[i];
  }
  EgbbLocation where;
  if (!EgbbLocate(p, where)) return EgbbNoAnswer;
  if (where.table < 0) return 0;
  if (Files[where.table].table < 0 || CacheSlots == 0) return EgbbNoAnswer;
  const uint8_t* block = CachedBlock(where.table, uint32_t(where.index / EgbbBlockEntries));
  return block ? EgbbScore(block[where.index % EgbbBlockEntries]) : EgbbNoAnswer;
}
