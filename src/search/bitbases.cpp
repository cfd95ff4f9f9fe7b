// Endgame bitbase probes: the engine's position in the library's codes, and its scores in the
// engine's range.
#include "search/search.h"

bool BitbasesLoaded;
BitbaseProbeFunction BitbaseLibrary;
bool BitbaseProbing = true;
int BitbaseLoadMode = 1;

namespace {

// The library's piece codes by PieceCode: white pawn 6 ... queen 2, black pawn 12 ... queen 8.
constexpr int LibraryPiece[13] = {0, 6, 12, 5, 11, 4, 10, 3, 9, 2, 8, 0, 0};
// The library counts squares from a1 (0) to h8 (63).
constexpr int LibrarySquare(int s) { return s ^ 56; }

}  // namespace

// The pieces other than the kings go into three slots from h1 towards a8.
int ProbeBitbases() {
  if (!BitbasesLoaded) return BitbaseNoResult;
  int piece[3] = {0, 0, 0}, square[3] = {0, 0, 0};
  for (int s = 63, n = 0; s >= 0 && n < 3; s--) {
    int code = Position.Board[s];
    if (code == Empty || code >= WhiteKing) continue;
    piece[n] = LibraryPiece[code];
    square[n++] = LibrarySquare(s);
  }
  int score = BitbaseLibrary(Position.SideToMove == White ? 0 : 1, LibrarySquare(Position.KingSquare[White]),
                           LibrarySquare(Position.KingSquare[Black]), piece[0], square[0], piece[1], square[1],
                           piece[2], square[2]);
  return ConvertBitbaseScore(score);
}

// Library scores beyond 7000 are squeezed tenfold so that a won bitbase position ranks below
// a mate the search can see (8001 at most).
int ConvertBitbaseScore(int r) {
  if (r == BitbaseNoResult) return r;
  if (r < -7000) {
    r = (r + 7000) / 10 - 7000;
    if (r < -8000) r = -8001;
  } else if (r > 7000) {
    r = (r - 7000) / 10 + 7000;
    if (r > 8000) r = 8001;
  }
  return r;
}
