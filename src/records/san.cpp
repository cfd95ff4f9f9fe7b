// Move text of PGN movetext and EPD operations: standard algebraic notation with or without
// decorations, coordinate notation, and coordinate notation behind a piece letter. The
// reader is lenient: pawn moves are built from the text alone and only an ambiguous piece
// move is tested for legality; callers check the result where that matters.
#include <cstring>
#include <initializer_list>
#include "records/records.h"

namespace {

constexpr int NoSquare = -1;
constexpr Bitboard FileA = 0x8080808080808080ULL;  // the a-file; shifting right moves it towards h
// Promotion kind by letter index in "QNRBqnrb" & 3: queen, knight, rook, bishop.
constexpr int PromotionKind[4] = {KindPromoQueen, KindPromoKnight, KindPromoRook, KindPromoBishop};
constexpr int CapturePromotionKind[4] = {KindCapPromoQueen, KindCapPromoKnight, KindCapPromoRook,
                                         KindCapPromoBishop};

bool IsFile(char c) { return c >= 'a' && c <= 'h'; }
bool IsRank(char c) { return c >= '1' && c <= '8'; }
bool InBoard(int s) { return s >= 0 && s < 64; }

// The square named by a file letter and a rank digit, or NoSquare.
int SquareOf(const char* t) { return IsFile(t[0]) && IsRank(t[1]) ? (t[0] - 'a') + 8 * ('8' - t[1]) : NoSquare; }

// Index 0..3 of a promotion letter (Q, N, R, B in either case), or -1.
int PromotionIndex(char c) {
  static constexpr char Letters[] = "QNRBqnrb";
  const char* at = c ? std::strchr(Letters, c) : nullptr;
  return at ? static_cast<int>(at - Letters) & 3 : -1;
}

int PromotionKindFor(char letter, int to) {
  int i = PromotionIndex(letter);
  return Position.Board[to] ? CapturePromotionKind[i] : PromotionKind[i];
}

// Copies at most 9 characters of the token without the decorations "x+#!?=-".
int StripToken(const char* token, char* text) {
  int n = 0;
  for (int i = 0; i < 9 && token[i]; i++)
    if (!std::strchr("x+#!?=-", token[i])) text[n++] = token[i];
  text[n] = 0;
  return n;
}

struct Castling {
  uint16_t right;
  int from, to, kind;
};
// By side to move (black first): king side, then queen side.
constexpr Castling KingSide[2] = {{RightBlackShort, E8, G8, KindBlackShortCastle},
                                  {RightWhiteShort, E1, G1, KindWhiteShortCastle}};
constexpr Castling QueenSide[2] = {{RightBlackLong, E8, C8, KindBlackLongCastle},
                                   {RightWhiteLong, E1, C1, KindWhiteLongCastle}};

// Castling by the side to move if it still holds the right; the pieces are not examined.
Move CastleIfHeld(const Castling& c) {
  return (Position.CastleRights & c.right) ? MakeMoveWord(c.from, c.to, c.kind) : 0;
}

// "OO"/"00" and "OOO"/"000".
bool IsCastleWord(const char* t, int length) {
  return std::strspn(t, "O") == static_cast<size_t>(length) || std::strspn(t, "0") == static_cast<size_t>(length);
}

// One square towards the mover's own side of the board.
int Behind(int s) { return Position.SideToMove == White ? s + 8 : s - 8; }

// e4: from one square behind, or two when no pawn of either colour stands there.
Move PawnPush(const char* t) {
  int to = SquareOf(t);
  if (to == NoSquare) return 0;
  int from = Behind(to);
  if (InBoard(from) && Position.Board[from] != WhitePawn && Position.Board[from] != BlackPawn) from = Behind(from);
  return InBoard(from) ? MakeMoveWord(from, to, KindQuiet) : 0;
}

// e8Q: a promotion push from one square behind.
Move PromotionPush(const char* t) {
  int to = SquareOf(t);
  if (to == NoSquare || (Position.SideToMove == White ? to > 55 : to < 8)) return 0;
  return MakeMoveWord(Behind(to), to, PromotionKind[PromotionIndex(t[2])]);
}

// ed8Q: a pawn capture that promotes; the from-file lies left or right of the to-file.
Move CapturePromotion(const char* t) {
  int to = SquareOf(t + 1);
  if (!IsFile(t[0]) || to == NoSquare) return 0;
  bool fromRight = t[0] >= t[1];
  int from = Position.SideToMove == White ? to + (fromRight ? 9 : 7) : to - (fromRight ? 7 : 9);
  return InBoard(from) ? MakeMoveWord(from, to, PromotionKindFor(t[3], to)) : 0;
}

// Nbd7 or R1e2: a piece move whose from-square is narrowed to a file or a rank.
Move DisambiguatedMove(const char* t) {
  int to = SquareOf(t + 2);
  if (to == NoSquare) return 0;
  Bitboard mask;
  if (IsFile(t[1])) mask = FileA >> (t[1] - 'a');
  else if (IsRank(t[1])) mask = Bitboard(0xFF) << (8 * (t[1] - '1'));
  else return 0;
  const char shortened[2] = {t[0], 0};
  return MatchPieceMove(shortened, to, mask);
}

// Candidates for the piece letter: its pieces of the side to move that reach to from inside mask.
Bitboard PieceCandidates(char letter, int to, Bitboard mask) {
  int side = Position.SideToMove;
  const Bitboard* pieces = Position.PieceBoard;
  switch (letter) {
    case 'B': return BishopAttacksFrom(to) & pieces[WhiteBishop + 1 - side] & mask;
    case 'N': return KnightAttacks[to] & pieces[WhiteKnight + 1 - side] & mask;
    case 'R': return RookAttacksFrom(to) & pieces[WhiteRook + 1 - side] & mask;
    case 'Q': return QueenAttacksFrom(to) & pieces[WhiteQueen + 1 - side] & mask;
    case 'K': return SquareMask[Position.KingSquare[side]];
    default: return 0;
  }
}

// Pawns of the side to move on the named file standing diagonally behind to.
Bitboard PawnCandidates(char file, int to) {
  int side = Position.SideToMove, pawn = WhitePawn + 1 - side;
  Bitboard found = 0;
  for (int step : {7, 9}) {
    int from = side == White ? to + step : to - step;
    if (InBoard(from) && FileIndex(from) == file - 'a' && Position.Board[from] == pawn) found |= SquareMask[from];
  }
  return found;
}

// The single legal move among several candidates, from the highest square down; 0 when
// none or more than one is legal.
Move SingleLegalCandidate(Bitboard candidates, int to, int kind) {
  Move found = 0;
  for (int from = 63; from >= 0; from--) {
    if (!(candidates & SquareMask[from])) continue;
    Move m = MakeMoveWord(from, to, kind);
    if (!MoveIsLegal(m)) continue;
    if (found) return 0;
    found = m;
  }
  return found;
}

}  // namespace

Move MatchPieceMove(const char* text, int to, Bitboard fromMask) {
  int kind = Position.Board[to] ? KindCapture : KindQuiet;
  Bitboard candidates;
  if (IsFile(text[0])) {
    candidates = PawnCandidates(text[0], to);
    kind = Position.Board[to] ? KindCapture : KindEnPassant;
  } else {
    candidates = PieceCandidates(text[0], to, fromMask);
  }
  if (!candidates) return 0;
  if (PopCount(candidates) == 1) return MakeMoveWord(LowestSquare(candidates), to, kind);
  return SingleLegalCandidate(candidates, to, kind);
}

Move ParseCoordinateMove(const char* t) {
  if (!IsFile(t[0]) || !IsRank(t[1]) || !IsFile(t[2]) || !IsRank(t[3])) return 0;
  int from = SquareOf(t), to = SquareOf(t + 2);
  if (Position.CastleRights)
    for (const Castling* c : {&QueenSide[White], &KingSide[White], &QueenSide[Black], &KingSide[Black]})
      if (from == c->from && to == c->to && (Position.CastleRights & c->right)) return MakeMoveWord(from, to, c->kind);
  bool occupied = Position.Board[to] != Empty;
  if (Position.Board[from] <= BlackPawn) {
    if (t[4] && t[4] != ' ' && t[4] != '\t')
      return MakeMoveWord(from, to, PromotionIndex(t[4]) < 0 ? KindQuiet : PromotionKindFor(t[4], to));
    if (Position.EpSquare && to == Position.EpSquare) return MakeMoveWord(from, to, KindEnPassant);
  }
  return MakeMoveWord(from, to, occupied ? KindCapture : KindQuiet);
}

Move ParseSanMove(const char* token) {
  char t[10];
  int length = StripToken(token, t);
  int side = Position.SideToMove;
  switch (length) {
    case 2:
      return IsCastleWord(t, 2) ? CastleIfHeld(KingSide[side]) : PawnPush(t);
    case 3: {
      if (IsCastleWord(t, 3)) return CastleIfHeld(QueenSide[side]);
      if (PromotionIndex(t[2]) >= 0) return PromotionPush(t);
      int to = SquareOf(t + 1);
      return to == NoSquare ? 0 : MatchPieceMove(t, to, ~Bitboard(0));
    }
    case 4:
      if (PromotionIndex(t[3]) >= 0) return CapturePromotion(t);
      if (Move m = ParseCoordinateMove(t)) return m;
      return DisambiguatedMove(t);
    case 5:
      if (Move m = ParseCoordinateMove(t + 1)) return m;
      return ParseCoordinateMove(t);
    default:
      return 0;
  }
}
