// Placeholders until the generators land; each definition goes when the real one arrives.
#include "movegen/movegen.h"
static MoveEntry* NoMoves(MoveEntry* l) { return l; }
static MoveEntry* NoEvasions(MoveEntry* l, const CheckInfo*) { return l; }
const MoveGenerator MoveGenerators[2] = {NoMoves, NoMoves};
const MoveGenerator CaptureGenerators[2] = {NoMoves, NoMoves};
const EvasionGenerator EvasionGenerators[2] = {NoEvasions, NoEvasions};
int ExchangeScore(int, int, int, Bitboard, Bitboard) { return 0; }
