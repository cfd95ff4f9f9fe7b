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

inline constexpr int PawnCacheSize = 1 << 20;
extern uint32_t PawnCache[PawnCacheSize];
void ClearPawnCache();

// Static score in centipawns from the side to move's point of view.
int Evaluate();
