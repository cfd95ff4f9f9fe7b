// Static exchange scoring of captures: plays out the recaptures on the target
// square with the least valuable attackers, on bitboards only, and places the
// result on the generators' ordering scale. All score arithmetic wraps at 16 bits.
#include "eval/eval.h"
#include "movegen/movegen.h"

namespace {

constexpr Bitboard Rank8 = 0xFF00000000000000ULL;
constexpr Bitboard Rank1 = 0x00000000000000FFULL;
constexpr int MaxExchange = 34;  // one gain entry per piece that can take part, plus the first capture

inline int16_t Wrap(int v) { return static_cast<int16_t>(v); }

// Every piece of either colour attacking to under the current occupancy; a slider
// lookup runs only when a slider of its kind stands on an empty-board line through to.
Bitboard AttackersOf(int to, Bitboard straight, Bitboard diagonal) {
  const PositionState& p = Position;
  Bitboard kings = SquareMask[p.KingSquare[White]] | SquareMask[p.KingSquare[Black]];
  Bitboard a = (KingAttacks[to] & kings) | (KnightAttacks[to] & (p.PieceBoard[WhiteKnight] | p.PieceBoard[BlackKnight])) |
               (PawnAttacks[Black][to] & p.PieceBoard[WhitePawn]) | (PawnAttacks[White][to] & p.PieceBoard[BlackPawn]);
  if (diagonal & BishopRays[to]) a |= BishopAttacksFrom(to) & diagonal;
  if (straight & RookRays[to]) a |= RookAttacksFrom(to) & straight;
  return a;
}

// The exchange in progress: the attackers still to capture, the sliders that may yet
// be uncovered, and per colour the lowest PieceCode that can still be the next capturer.
struct Exchange {
  int to;
  Bitboard attackers;
  Bitboard straightPool, diagonalPool;
  int cursor[2];

  // Sliders uncovered when the piece on q leaves: those of the pool of the line
  // through q and the target that stand behind q. A piece not on a common line
  // with the target uncovers nothing.
  void Uncover(int q) {
    Bitboard found = 0;
    if (RookRays[q] & SquareMask[to]) {
      Bitboard line = straightPool & RookRays[to] & RookRays[q];
      if (line) found = line & RookAttacksFrom(q);
      straightPool &= ~found;
      if (found) LowerCursors(WhiteRook);
    } else if (BishopRays[q] & SquareMask[to]) {
      Bitboard line = diagonalPool & BishopRays[to] & BishopRays[q];
      if (line) found = line & BishopAttacksFrom(q);
      diagonalPool &= ~found;
      if (found) LowerCursors(WhiteBishop);
    }
    attackers |= found;
  }

  // An uncovered slider may be of a cheaper kind than the one a side last captured with.
  void LowerCursors(int whiteCode) {
    if (cursor[White] > whiteCode) cursor[White] = whiteCode;
    if (cursor[Black] > whiteCode + 1) cursor[Black] = whiteCode + 1;
  }

  // Square of the next capturer of side (its PieceCode in code), or -1 when side cannot capture:
  // the cheapest attacker from the cursor up to the queen, or the king when it is the last attacker.
  int NextCapturer(int side, int& code) {
    for (int c = cursor[side]; c <= WhiteQueen + 1 - side; c += 2) {
      Bitboard hit = Position.PieceBoard[c] & attackers;
      if (hit) {
        cursor[side] = c;
        code = c;
        return LowestSquare(hit);
      }
    }
    Bitboard king = SquareMask[Position.KingSquare[side]];
    if (attackers != king) return -1;
    code = WhiteKing + 1 - side;
    return Position.KingSquare[side];
  }
};

}  // namespace

int ExchangeScore(int from, int mover, int to, Bitboard straightSliders, Bitboard diagonalSliders) {
  const int us = PieceColour(mover), them = us ^ 1;
  const int victim = Position.Board[to];
  int16_t gain[MaxExchange];
  gain[0] = PieceValue[victim];
  int16_t p = Wrap(-PieceSquareValue(mover, from));

  Exchange x;
  x.to = to;
  x.attackers = AttackersOf(to, straightSliders, diagonalSliders);
  bool pawns = x.attackers & (Position.PieceBoard[WhitePawn] | Position.PieceBoard[BlackPawn]);
  x.cursor[White] = pawns ? WhitePawn : WhiteKnight;
  x.cursor[Black] = pawns ? BlackPawn : BlackKnight;
  x.attackers &= ~SquareMask[from];
  x.straightPool = straightSliders & ~x.attackers & ~SquareMask[from];
  x.diagonalPool = diagonalSliders & ~x.attackers & ~SquareMask[from];

  // A pawn reaching the last rank counts as a queen from here on.
  if (mover <= BlackPawn && (SquareMask[to] & (us == White ? Rank8 : Rank1))) {
    gain[0] = Wrap(gain[0] + 800);
    mover = WhiteQueen + 1 - us;
  }
  if (mover >= WhiteKing) {
    if (x.attackers & Position.ColourBoard[them]) return -32767;  // the king may not capture into an attack
  } else {
    x.Uncover(from);
  }
  p = Wrap(p + PieceSquareValue(mover, to));
  const int16_t victimPst = victim ? Wrap(PieceSquareValue(victim, to)) : 0;

  if (!(x.attackers & Position.ColourBoard[them])) {
    if (gain[0] == 0) return Wrap(p - 29985);
    return Wrap(p + victimPst + gain[0] - 9500);
  }

  int k = 1, occupant = mover, side = them;
  for (;;) {
    int capturer;
    int q = x.NextCapturer(side, capturer);
    if (q < 0) break;
    x.attackers &= ~SquareMask[q];
    gain[k] = Wrap(PieceValue[occupant] - gain[k - 1]);
    occupant = capturer;
    // The side to capture stays ahead even if it loses the capturer: stop here.
    if (gain[k] - PieceValue[capturer] > 50) {
      if (side == them) return Wrap((PieceValue[capturer] >> 1) - gain[k] + p - 30000);
      if (gain[0] == 0) return Wrap(p - 29985);
      return Wrap(gain[k - 2] + p + victimPst - 9500);
    }
    if (capturer < WhiteKing) x.Uncover(q);  // a knight is never on a line with the target
    k++;
    side ^= 1;
    if (!(x.attackers & Position.ColourBoard[side]) || k >= MaxExchange) break;
  }

  for (int j = k - 1; j > 0; j--)
    if (gain[j - 1] > -gain[j]) gain[j - 1] = Wrap(-gain[j]);
  int16_t s = gain[0];
  if (s <= -50) return Wrap(p + s - 30000);
  if (s == 0) return Wrap(p - 29985);
  return Wrap(p + victimPst + s - 9500);
}
