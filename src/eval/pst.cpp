// Piece-square tables and their selection by material phase.
// Each table is seen from White's side: entry s (a8 = 0 ... h1 = 63) is read for a white
// piece on s; the evaluation reads black pieces other than kings at 63 - s.
#include "eval/eval.h"

// King, material phase above 70.
constexpr int16_t KingPst1[64] = {
       4,   12,   -4,   -6,   -6,   -4,   12,    4,
      -9,  -14,  -24,  -29,  -29,  -24,  -14,   -9,
     -19,  -28,  -39,  -30,  -30,  -39,  -28,  -19,
     -25,  -39,  -40,  -55,  -55,  -40,  -39,  -25,
     -25,  -39,  -40,  -55,  -55,  -40,  -39,  -25,
     -19,  -28,  -39,  -30,  -30,  -39,  -28,  -19,
      -9,  -14,  -24,  -29,  -29,  -24,  -14,   -9,
       4,   12,   -2,   -6,   -6,   -2,   12,    4,
};
// King, material phase 47 to 70.
constexpr int16_t KingPst2[64] = {
       0,    6,   -2,   -3,   -3,   -2,    6,    0,
      -3,   -5,  -10,  -15,  -15,  -10,   -5,   -3,
      -7,  -14,  -14,  -18,  -18,  -14,  -14,   -7,
      -8,  -19,  -28,  -35,  -35,  -28,  -19,   -8,
      -8,  -19,  -28,  -35,  -35,  -28,  -19,   -8,
      -7,  -14,  -12,  -18,  -18,  -12,  -14,   -7,
      -3,   -5,  -14,  -19,  -19,  -14,   -5,   -3,
       0,    6,   -2,   -3,   -3,   -2,    6,    0,
};
// King, material phase 15 to 46.
constexpr int16_t KingPst3[64] = {
      -8,   -6,   -4,   -2,   -2,   -4,   -6,   -8,
      -6,   -4,   -2,    0,    0,   -2,   -4,   -6,
      -4,   -2,    0,    2,    2,    0,   -2,   -4,
      -2,    0,    2,    4,    4,    2,    0,   -2,
      -2,    0,    2,    4,    4,    2,    0,   -2,
      -4,   -2,    0,    2,    2,    0,   -2,   -4,
      -6,   -4,   -2,    0,    0,   -2,   -4,   -6,
      -8,   -6,   -4,   -2,   -2,   -4,   -6,   -8,
};
// King, material phase 0 to 14.
constexpr int16_t KingPst4[64] = {
     -26,  -19,  -12,   -9,   -9,  -12,  -19,  -26,
     -19,  -15,   -6,    0,    0,   -6,  -15,  -19,
     -15,   -6,    0,    4,    4,    0,   -6,  -15,
     -12,    0,    4,    9,    9,    4,    0,  -12,
     -12,    0,    4,    9,    9,    4,    0,  -12,
     -15,   -6,    0,    4,    4,    0,   -6,  -15,
     -19,  -15,   -6,    0,    0,   -6,  -15,  -19,
     -26,  -19,  -12,   -9,   -9,  -12,  -19,  -26,
};
// Pawn, material phase above 70.
constexpr int16_t PawnPst1[64] = {
      99,   99,   99,   99,   99,   99,   99,   99,
      18,   31,   33,   40,   40,   33,   31,   18,
       4,    5,   18,   26,   26,   18,    5,    4,
       1,    1,    4,   16,   16,    4,    1,    1,
       0,    0,    3,   12,   12,    3,    0,    0,
       0,   -1,    1,    2,    2,   -1,   -1,    0,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};
// Pawn, material phase 63 to 70.
constexpr int16_t PawnPst2[64] = {
     199,  199,  199,  199,  199,  199,  199,  199,
      29,   44,   48,   53,   53,   48,   44,   29,
       9,   10,   14,   20,   20,   14,   10,    9,
       3,    6,   10,   16,   16,   10,    6,    3,
       1,    4,    6,   14,   14,    6,    4,    1,
       0,    1,    0,    4,    4,    0,    1,    0,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};
// Pawn, material phase 15 to 62.
constexpr int16_t PawnPst3[64] = {
     299,  299,  299,  299,  299,  299,  299,  299,
      52,   64,   67,   75,   75,   67,   64,   52,
      30,   32,   35,   45,   45,   35,   32,   30,
      15,   16,   22,   28,   28,   22,   16,   15,
       6,    8,   17,   20,   20,   17,    8,    6,
       2,    3,    1,    4,    4,    1,    3,    2,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};
// Pawn, material phase 0 to 14.
constexpr int16_t PawnPst4[64] = {
     499,  499,  499,  499,  499,  499,  499,  499,
      72,   90,   99,  104,  104,   99,   90,   72,
      45,   54,   60,   65,   65,   60,   54,   45,
      18,   24,   28,   30,   28,   24,   30,   18,
       9,   12,   14,   18,   18,   14,   12,    9,
       1,    3,    1,    4,    4,    1,    3,    1,
       0,    0,    0,   -9,   -9,    0,    0,    0,
       0,    0,    0,    0,    0,    0,    0,    0,
};
// Knight, material phase above 70.
constexpr int16_t KnightPst1[64] = {
     -25,  -22,  -12,  -10,  -10,  -12,  -22,  -25,
     -15,   -5,   -1,    2,    2,   -1,   -5,  -15,
     -11,    4,   10,    9,    9,   10,    4,  -11,
      -9,    5,   12,   17,   17,   12,    5,   -9,
      -9,    5,   12,   17,   17,   12,    5,   -9,
     -11,    4,   10,    9,    9,   10,    4,  -11,
     -15,   -6,   -1,    2,    2,   -1,   -6,  -15,
     -25,  -22,  -12,  -10,  -10,  -12,  -22,  -25,
};
// Knight, material phase 0 to 70.
constexpr int16_t KnightPst2[64] = {
     -19,  -14,   -6,   -4,   -4,   -6,  -14,  -19,
     -14,   -5,    0,    1,    1,    0,   -5,  -14,
      -9,    4,    8,    9,    9,    8,    4,   -9,
      -6,    5,    9,   13,   13,    9,    5,   -6,
      -6,    5,    9,   13,   13,    9,    5,   -6,
      -9,    4,    8,    9,    9,    8,    4,   -9,
     -14,   -6,   -1,    2,    2,   -1,   -6,  -14,
     -19,  -14,   -8,   -6,   -6,   -8,  -14,  -19,
};
// Bishop, material phase above 70.
constexpr int16_t BishopPst1[64] = {
     -19,  -18,  -18,  -12,  -12,  -18,  -18,  -31,
       6,    2,    3,    3,    2,    6,  -12,   -8,
       4,    5,    8,    8,    5,    4,   -8,    0,
       6,    9,   12,   12,    9,    6,    0,    0,
       6,    9,   12,   12,    9,    6,    0,   -8,
       4,    5,    8,    8,    5,    4,   -8,  -12,
       6,    2,    3,    3,    2,    6,  -12,  -19,
     -18,  -18,  -12,  -12,  -18,  -18,  -19,    0,
};
// Bishop, material phase 0 to 70.
constexpr int16_t BishopPst2[64] = {
     -15,  -10,   -9,   -5,   -5,   -9,  -10,  -15,
     -10,    4,    2,    2,    2,    2,    4,  -10,
      -1,    4,    8,    8,    8,    7,    4,   -1,
       1,    7,   10,   13,   13,   10,    7,    1,
       1,    7,   10,   13,   13,   10,    7,    1,
      -1,    4,    8,    8,    8,    8,    4,   -1,
     -10,    4,    2,    2,    2,    2,    4,  -10,
     -15,  -10,   -9,   -5,   -5,   -9,  -10,  -15,
};
// Rook, material phase above 70.
constexpr int16_t RookPst1[64] = {
       2,    4,    5,    6,    6,    5,    4,    2,
       7,    9,   11,   12,   12,   11,    9,    7,
      -1,    0,    4,    5,    5,    4,    0,   -1,
      -3,   -2,    3,    4,    4,    3,   -2,   -3,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -9,   -2,    2,    3,    3,    2,   -2,   -9,
     -13,  -12,    0,    2,    2,    0,  -12,  -13,
};
// Rook, material phase 0 to 70.
constexpr int16_t RookPst2[64] = {
       2,    4,    5,    6,    6,    5,    4,    2,
       7,    9,   11,   12,   12,   11,    9,    7,
      -1,    0,    4,    5,    5,    4,    0,   -1,
      -3,   -2,    3,    4,    4,    3,   -2,   -3,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -4,   -3,    2,    3,    3,    2,   -3,   -4,
      -6,   -2,    2,    3,    3,    2,   -2,   -6,
      -8,   -6,    0,    1,    1,    0,   -6,   -8,
};
// Queen, material phase above 70.
constexpr int16_t QueenPst1[64] = {
      -1,    0,    1,    2,    2,    1,    0,   -1,
       2,    4,    3,    3,    3,    3,    4,    2,
       1,    2,    2,    2,    2,    2,    2,    1,
       0,    1,    1,    1,    1,    1,    1,    0,
       0,    1,    1,    1,    1,    1,    1,    0,
      -1,    2,    1,    1,    1,    1,    2,   -1,
      -2,   -2,    0,    3,    3,    0,   -2,   -2,
      -4,   -3,    0,    9,    9,    0,   -3,   -4,
};
// Queen, material phase 0 to 70.
constexpr int16_t QueenPst2[64] = {
      -1,    2,    3,    4,    4,    3,    2,   -1,
       6,    7,    8,    9,    9,    8,    7,    6,
       3,    4,    5,    6,    6,    5,    4,    3,
       1,    2,    4,    7,    7,    4,    2,    1,
       0,    1,    3,    5,    5,    3,    1,    0,
      -1,    0,    1,    3,    3,    1,    0,   -1,
      -2,   -2,    0,    0,    0,    0,   -2,   -2,
      -4,   -3,    0,    1,    1,    0,   -3,   -4,
};

const int16_t* PhaseTables[6][MaxMaterialPhase + 1];
uint32_t PawnCacheSalt[MaxMaterialPhase + 1];

namespace {

// One step of the selection: the lowest material phase it covers, its six tables in PstKind
// order and the pawn-cache salt of its pawn table (steps sharing a pawn table share the salt).
struct PhaseStep {
  int lowest;
  const int16_t* tables[6];
  uint32_t pawnSalt;
};
constexpr PhaseStep PhaseSteps[] = {
    {71, {KingPst1, PawnPst1, KnightPst1, BishopPst1, RookPst1, QueenPst1}, 0x00000000},
    {63, {KingPst2, PawnPst2, KnightPst2, BishopPst2, RookPst2, QueenPst2}, 0x9E3779B9},
    {47, {KingPst2, PawnPst3, KnightPst2, BishopPst2, RookPst2, QueenPst2}, 0x7F4A7C15},
    {15, {KingPst3, PawnPst3, KnightPst2, BishopPst2, RookPst2, QueenPst2}, 0x7F4A7C15},
    {0, {KingPst4, PawnPst4, KnightPst2, BishopPst2, RookPst2, QueenPst2}, 0x85EBCA6B},
};

}  // namespace

// Fills PhaseTables and PawnCacheSalt for every material phase from the step covering it.
void InitPhaseTables() {
  for (int phase = 0; phase <= MaxMaterialPhase; phase++) {
    const PhaseStep* step = PhaseSteps;
    while (phase < step->lowest) step++;
    for (int kind = 0; kind < 6; kind++) PhaseTables[kind][phase] = step->tables[kind];
    PawnCacheSalt[phase] = step->pawnSalt;
  }
}
