// Random legal games from a start position, for benchmarks and consistency tests.
#pragma once
#include <cstdint>
#include "engine/engine.h"
#include "board/board.h"
#include "movegen/movegen.h"

// Plays `positions` random legal moves from fen with a fixed-seed generator, calling visit() after
// each one; a game starts again from fen when it has no legal move or reaches maxPlies plies
// (at most a few hundred: the key history only grows). Moves are made with MakeMove through one
// ply record and never unmade.
template <typename Visit>
void RandomPlayouts(const char* fen, int positions, int maxPlies, uint64_t seed, Visit visit) {
  uint64_t state = seed;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
  };
  SetupGame(fen);
  int ply = 0;
  for (int made = 0; made < positions;) {
    MoveEntry list[MaxMovesPerList];
    Move legal[MaxMovesPerList];
    int count = 0;
    for (MoveEntry *entry = list, *end = GenerateMoves(list); entry < end; entry++)
      if (MoveIsLegal(entry->Move)) legal[count++] = entry->Move;
    if (count == 0 || ply >= maxPlies) {
      SetupGame(fen);
      ply = 0;
      continue;
    }
    SaveBoardState(&PlyRecords[1]);
    MakeMove(legal[next() % count], &PlyRecords[1]);
    ply++;
    made++;
    visit();
  }
}
