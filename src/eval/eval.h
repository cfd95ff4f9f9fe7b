// Evaluation: the static score of the position and its piece-square tables.
#pragma once
#include "board/board.h"

// Piece kinds of the phase tables, in table order.
enum PstKind : int { PstKing = 0, PstPawn = 1, PstKnight = 2, PstBishop = 3, PstRook = 4, PstQueen = 5 };
inline constexpr int MaxMaterialPhase = 191;

// For each kind and each MaterialPhase 0..191, the selected 64-entry table.
extern const int16_t* PhaseTables[6][MaxMaterialPhase + 1];
void InitPhaseTables();

inline int MaterialPhase() { return Position.TotalMaterial > MaxMaterialPhase ? MaxMaterialPhase : Position.TotalMaterial; }
// Table kind of a PieceCode 1..12.
inline constexpr int PstKindOf(int code) {
  constexpr int kinds[13] = {0, PstPawn, PstPawn, PstKnight, PstKnight, PstBishop, PstBishop,
                             PstRook, PstRook, PstQueen, PstQueen, PstKing, PstKing};
  return kinds[code];
}
// Piece-square value read at the raw square for either colour (the exchange scorer's view).
inline int PieceSquareValue(int code, int square) { return PhaseTables[PstKindOf(code)][MaterialPhase()][square]; }

// The sixteen piece-square tables, White's view, square a8 (0) to h1 (63).
extern const int16_t KingPst1[64], KingPst2[64], KingPst3[64], KingPst4[64];
extern const int16_t PawnPst1[64], PawnPst2[64], PawnPst3[64], PawnPst4[64];
extern const int16_t KnightPst1[64], KnightPst2[64], BishopPst1[64], BishopPst2[64];
extern const int16_t RookPst1[64], RookPst2[64], QueenPst1[64], QueenPst2[64];

// Pawn-structure cache: word = top 12 bits of the lookup key | (score + 8190) in the low 20 bits,
// at index key mod 2^20; a word with zero low 16 bits is empty. The lookup key is PawnKey XOR
// the salt of the pawn table the material phase selects, so that a score computed with one
// pawn table is never reused under another (0 for the opening table: plain PawnKey).
inline constexpr int PawnCacheSize = 1 << 20;
extern uint32_t PawnCache[PawnCacheSize];
extern uint32_t PawnCacheSalt[MaxMaterialPhase + 1];
void ClearPawnCache();

// Static score in centipawns from the side to move's point of view.
int Evaluate();
