// Move generation: pseudo-legal generators with ordering scores, and the
// static-exchange scorer of captures.
#pragma once
#include "board/board.h"

// Exchange and ordering values by PieceCode.
inline constexpr int16_t PieceValue[13] = {0, 100, 100, 320, 320, 325, 325, 500, 500, 950, 950, 2000, 2000};

using MoveGenerator = MoveEntry* (*)(MoveEntry* list);
using EvasionGenerator = MoveEntry* (*)(MoveEntry* list, const CheckInfo* info);

// Indexed by SideToMove (black first).
extern const MoveGenerator MoveGenerators[2];
extern const MoveGenerator CaptureGenerators[2];
extern const EvasionGenerator EvasionGenerators[2];

// Each writes entries from list on and returns the end of what it wrote.
inline MoveEntry* GenerateMoves(MoveEntry* list) { return MoveGenerators[Position.SideToMove](list); }
inline MoveEntry* GenerateCaptures(MoveEntry* list) { return CaptureGenerators[Position.SideToMove](list); }
inline MoveEntry* GenerateEvasions(MoveEntry* list, const CheckInfo* info) {
  return EvasionGenerators[Position.SideToMove](list, info);
}
// The moves of the side to move outside the search: the evasions when it is in check, else all
// (pseudo-legal, as the generators give them).
inline MoveEntry* GenerateMovesOrEvasions(MoveEntry* list) {
  CheckInfo check;
  ComputeCheckers(&check);
  return check.checkers ? GenerateEvasions(list, &check) : GenerateMoves(list);
}

// Ordering score of a capture (or queen-promoting push) after the exchange on to;
// -32767 for a king capture into an attacked square.
int ExchangeScore(int from, int mover, int to, Bitboard straightSliders, Bitboard diagonalSliders);
