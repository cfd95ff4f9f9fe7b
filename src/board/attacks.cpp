// Check detection, legality after a move, move validation, draw rules and the null move.
#include <initializer_list>
#include "board/board.h"

namespace {

inline int Enemy(int side) { return side ^ 1; }
inline Bitboard Pieces(int code) { return Position.PieceBoard[code]; }
// PieceCodes of a colour.
inline int PawnOf(int c) { return 2 - c; }
inline int KnightOf(int c) { return 4 - c; }
inline int BishopOf(int c) { return 6 - c; }
inline int RookOf(int c) { return 8 - c; }
inline int QueenOf(int c) { return 10 - c; }

// True when a piece of colour by (kings aside) attacks square s; sliders are looked up only
// when one stands on an empty-board line through s.
bool SquareAttackedBy(int s, int by, int own) {
  if (KnightAttacks[s] & Pieces(KnightOf(by))) return true;
  if (PawnAttacks[own][s] & Pieces(PawnOf(by))) return true;
  Bitboard queens = Pieces(QueenOf(by));
  Bitboard straight = queens | Pieces(RookOf(by)), diagonal = queens | Pieces(BishopOf(by));
  if (!((straight | diagonal) & QueenRays[s])) return false;
  if ((straight & RookRays[s]) && (RookAttacksFrom(s) & straight)) return true;
  return (diagonal & BishopRays[s]) && (BishopAttacksFrom(s) & diagonal);
}

constexpr Bitboard SquareSet(std::initializer_list<int> squares) {
  Bitboard b = 0;
  for (int s : squares) b |= 0x8000000000000000ULL >> s;
  return b;
}
// Squares next to the castling path where the enemy king may not stand, by kind - 12.
constexpr Bitboard CastlePathKingZone[4] = {
    SquareSet({E8, F8, G8, H8, E7, F7, G7, H7}), SquareSet({E1, F1, G1, H1, E2, F2, G2, H2}),
    SquareSet({B8, C8, D8, B7, C7, D7}), SquareSet({B1, C1, D1, B2, C2, D2})};
constexpr int CastleCrossed[4] = {F8, F1, D8, D1};

// The castling king may not leave or cross an attacked square, nor pass next to the enemy king.
bool CastlePathAttacked(int kind, int side) {
  int index = kind - KindBlackShortCastle, home = side == White ? E1 : E8;
  if (SquareAttackedBy(home, Enemy(side), side)) return true;
  if (SquareAttackedBy(CastleCrossed[index], Enemy(side), side)) return true;
  return (CastlePathKingZone[index] & SquareMask[Position.KingSquare[Enemy(side)]]) != 0;
}

// Pawn capture geometry for the side to move: one file aside, one rank forward.
bool PawnCaptureStep(int from, int to, int side) {
  int forward = side == White ? from - to : to - from;
  int fileStep = FileIndex(from) - FileIndex(to);
  return (forward == 7 || forward == 9) && (fileStep == 1 || fileStep == -1);
}

bool ValidatePawn(int from, int to, int kind, int side) {
  int forward = side == White ? from - to : to - from;
  bool lastRank = side == White ? to < 8 : to >= 56;
  bool enemyOnTo = Position.Board[to] != Empty && PieceColour(Position.Board[to]) != side;
  bool emptyTo = Position.Board[to] == Empty;
  if (kind == KindQuiet || (kind >= KindPromoQueen && kind <= KindPromoBishop)) {
    if (lastRank != (kind != KindQuiet) || !emptyTo) return false;
    if (forward == 8) return true;
    int doubleRank = side == White ? 4 : 3;  // rank index of rank 4 / rank 5
    return kind == KindQuiet && forward == 16 && RankIndex(to) == doubleRank &&
           Position.Board[(from + to) / 2] == Empty;
  }
  if (kind == KindCapture || (kind >= KindCapPromoQueen && kind <= KindCapPromoBishop))
    return lastRank == (kind != KindCapture) && PawnCaptureStep(from, to, side) && enemyOnTo;
  if (kind == KindEnPassant)
    return Position.EpSquare && to == Position.EpSquare && emptyTo && PawnCaptureStep(from, to, side) &&
           Position.Board[to + (side == White ? 8 : -8)] == PawnOf(Enemy(side));
  return false;
}

bool ValidateCastle(int from, int to, int kind, int side) {
  struct Rule { int colour, from, to, rook, rookSquare; uint16_t right; Bitboard empty; };
  static constexpr Rule rules[4] = {{Black, E8, G8, BlackRook, H8, RightBlackShort, SquareSet({F8, G8})},
                                    {White, E1, G1, WhiteRook, H1, RightWhiteShort, SquareSet({F1, G1})},
                                    {Black, E8, C8, BlackRook, A8, RightBlackLong, SquareSet({B8, C8, D8})},
                                    {White, E1, C1, WhiteRook, A1, RightWhiteLong, SquareSet({B1, C1, D1})}};
  const Rule& r = rules[kind - KindBlackShortCastle];
  return r.colour == side && from == r.from && to == r.to && Position.KingSquare[side] == from &&
         (Position.CastleRights & r.right) && Position.Board[r.rookSquare] == r.rook && !(Position.Occupied & r.empty);
}

}  // namespace

void ComputeCheckers(CheckInfo* info) {
  int side = Position.SideToMove, enemy = Enemy(side), k = Position.KingSquare[side];
  info->checkers = 0;
  info->screens = 0;
  Bitboard queens = Pieces(QueenOf(enemy));
  Bitboard straight = queens | Pieces(RookOf(enemy)), diagonal = queens | Pieces(BishopOf(enemy));
  if ((straight | diagonal) & QueenRays[k]) {
    // A screen is seen both from the king and from a slider on one of its lines.
    if (straight & RookRays[k]) {
      info->rookLines = RookAttacksFrom(k);
      info->checkers = straight & info->rookLines;
      for (Bitboard b = straight & RookRays[k] & ~info->checkers; b; b &= b - 1)
        info->screens |= RookAttacksFrom(LowestSquare(b)) & info->rookLines;
    }
    if (diagonal & BishopRays[k]) {
      if (!info->checkers) info->rookLines = 0;
      info->bishopLines = BishopAttacksFrom(k);
      info->checkers |= diagonal & info->bishopLines;
      for (Bitboard b = diagonal & BishopRays[k] & ~info->checkers; b; b &= b - 1)
        info->screens |= BishopAttacksFrom(LowestSquare(b)) & info->bishopLines;
    }
    info->screens &= Position.ColourBoard[side];
  }
  info->checkers |= KnightAttacks[k] & Pieces(KnightOf(enemy));
  info->checkers |= PawnAttacks[side][k] & Pieces(PawnOf(enemy));
}

bool SideToMoveInCheck() {
  int side = Position.SideToMove;
  return SquareAttackedBy(Position.KingSquare[side], Enemy(side), side);
}

bool KingAttackedAfterMove(Move move, int side) {
  if (SquareAttackedBy(Position.KingSquare[side], Enemy(side), side)) return true;
  int kind = MoveKind(move);
  return kind >= KindBlackShortCastle && CastlePathAttacked(kind, side);
}

bool KingAttackedAfterMove(Move move, int side, const CheckInfo& before) {
  const int kind = MoveKind(move);
  if (!before.checkers && MoveTo(move) != Position.KingSquare[side] && kind != KindEnPassant &&
      kind < KindBlackShortCastle && !(before.screens & SquareMask[MoveFrom(move)]))
    return false;
  return KingAttackedAfterMove(move, side);
}

bool ValidateMove(Move move) {
  int from = MoveFrom(move), to = MoveTo(move), kind = MoveKind(move);
  int side = Position.SideToMove, p = Position.Board[from];
  if (p == Empty || p > BlackKing || PieceColour(p) != side) return false;
  if (to == Position.KingSquare[White] || to == Position.KingSquare[Black]) return false;
  if (p <= BlackPawn) return ValidatePawn(from, to, kind, side);
  if (p >= WhiteKing) {
    if (KingAttacks[Position.KingSquare[Enemy(side)]] & SquareMask[to]) return false;
    if (kind >= KindBlackShortCastle) return ValidateCastle(from, to, kind, side);
  }
  if (kind != KindQuiet && kind != KindCapture) return false;
  Bitboard reach = p <= BlackKnight ? KnightAttacks[from] : p <= BlackBishop ? BishopAttacksFrom(from)
                 : p <= BlackRook ? RookAttacksFrom(from) : p <= BlackQueen ? QueenAttacksFrom(from)
                 : (from == Position.KingSquare[side] ? KingAttacks[from] : 0);
  if (!(reach & SquareMask[to])) return false;
  if (kind == KindQuiet) return Position.Board[to] == Empty;
  return Position.Board[to] != Empty && PieceColour(Position.Board[to]) != side;
}

namespace {

// Counts earlier entries with the same key, walking back two plies at a time from four
// plies before entry top while the halfmove clock allows; stops once limit are found.
int CountRepetitions(int top, int limit) {
  int i = top - 4, found = 0;
  if (i < 0) return 0;
  int counter = KeyHistory[i].HalfmoveClock;
  uint64_t key = KeyHistory[top].Key;
  for (; counter >= 0 && i >= 0; i -= 2, counter -= 2)
    if (KeyHistory[i].Key == key && ++found == limit) break;
  return found;
}

}  // namespace

uint16_t DetectDraw(int occurrences) {
  if (Position.TotalMaterial < 4 && !Position.PawnCount[White] && !Position.PawnCount[Black])
    return MarkerInsufficient;
  int clock = KeyHistory[HistoryTop].HalfmoveClock;
  if (clock < 4) return 0;
  if (clock > 99) return MarkerFiftyMoves;
  return CountRepetitions(HistoryTop, occurrences) == occurrences ? MarkerRepetition : 0;
}

int RepetitionAfterMove(Move move) {
  int from = MoveFrom(move), to = MoveTo(move), p = Position.Board[from];
  if (MoveKind(move) != KindQuiet || p <= BlackPawn) return 0;
  KeyHistoryEntry& next = KeyHistory[HistoryTop + 1];
  next.HalfmoveClock = static_cast<uint16_t>(KeyHistory[HistoryTop].HalfmoveClock + 1);
  next.Key = Position.PositionKey ^ ZobristKeys[p][to] ^ ZobristKeys[p][from];
  if (next.HalfmoveClock < 4) return 0;
  if (next.HalfmoveClock > 99) return 2;
  if (next.HalfmoveClock >= 76) return 1;
  return CountRepetitions(HistoryTop + 1, 2);
}

void MakeNullMove() {
  KeyHistory[HistoryTop].Move = MarkerNullMove;
  KeyHistory[HistoryTop + 1].HalfmoveClock = static_cast<uint16_t>(KeyHistory[HistoryTop].HalfmoveClock + 1);
  HistoryTop++;
  PlyRecord* r = CurrentPly;
  r->SavedKey = Position.PositionKey;
  r->SavedPawnKey = Position.PawnKey;
  r->SavedEpSquare = Position.EpSquare;
  r->SavedCastleRights = Position.CastleRights;
  if (Position.EpSquare) {
    Position.PositionKey ^= ZobristKeys[0][Position.EpSquare];
    Position.PawnKey ^= static_cast<uint32_t>(ZobristKeys[0][Position.EpSquare]);
    Position.EpSquare = 0;
  }
  Position.SideToMove ^= 1;
  KeyHistory[HistoryTop].Key = Position.PositionKey;
}

void UnmakeNullMove() {
  HistoryTop--;
  Position.SideToMove ^= 1;
  PlyRecord* r = CurrentPly;
  Position.PositionKey = r->SavedKey;
  Position.PawnKey = r->SavedPawnKey;
  Position.EpSquare = r->SavedEpSquare;
  Position.CastleRights = r->SavedCastleRights;
}
