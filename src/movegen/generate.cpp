// Pseudo-legal move generators with ordering scores: all moves, quiescence
// captures and check evasions. Each generator is written once as a template on
// the colour; the dispatch tables hold the black and white instances.
#include "movegen/movegen.h"

namespace {

constexpr Bitboard FileA = 0x8080808080808080ULL;
constexpr Bitboard FileH = 0x0101010101010101ULL;
constexpr Bitboard Rank8 = 0xFF00000000000000ULL;
constexpr Bitboard Rank6 = 0x0000FF0000000000ULL;
constexpr Bitboard Rank3 = 0x0000000000FF0000ULL;
constexpr Bitboard Rank1 = 0x00000000000000FFULL;

// Ordering scores of the non-capturing moves.
constexpr int QuietScore = -30000;
constexpr int ShortCastleScore = -29000;
constexpr int LongCastleScore = -29500;
constexpr int EnPassantScore = -9500;
constexpr int PawnCaptureBase = -9600;
// Promotion offsets in kind order queen, knight, rook, bishop (added to the victim value).
constexpr int PromotionScore[4] = {-9401, -30005, -30025, -30050};
// Pieces capturing a victim worth at least the threshold are scored victim - base;
// cheaper victims go through the exchange scorer. Indexed by piece type 2..6.
constexpr int ExchangeThreshold[7] = {0, 0, 270, 275, 450, 900, 1950};
constexpr int CaptureBase[7] = {0, 0, 9820, 9825, 10000, 10450, 11500};
// Interposition scores of knight, bishop, rook and queen in check evasions.
constexpr int InterposeScore[7] = {0, 0, -30320, -30325, -30500, -30950, 0};

enum PieceType : int { Pawn = 1, Knight = 2, Bishop = 3, Rook = 4, Queen = 5, King = 6 };

// Colour-dependent geometry; every white rule has its mirror image for black.
template <int Us>
struct Side {
  static constexpr int Them = Us ^ 1;
  static constexpr int Code(int type) { return 2 * type - Us; }
  static constexpr Bitboard PromotionRank = Us == White ? Rank8 : Rank1;
  static constexpr Bitboard ThirdRank = Us == White ? Rank3 : Rank6;  // where single pushes may go on
  static constexpr int Forward = Us == White ? -8 : 8;                // square delta of a push
  static constexpr int WestCapture = Us == White ? -9 : 7;            // towards the a-file
  static constexpr int EastCapture = Us == White ? -7 : 9;            // towards the h-file
  static constexpr int EpFirstRank = Us == White ? A6 : A3;           // squares a usable target can have
  static constexpr int HomeKing = Us == White ? E1 : E8;
  static constexpr uint16_t ShortRight = Us == White ? RightWhiteShort : RightBlackShort;
  static constexpr uint16_t LongRight = Us == White ? RightWhiteLong : RightBlackLong;
  static constexpr int ShortKind = Us == White ? KindWhiteShortCastle : KindBlackShortCastle;
  static constexpr int LongKind = Us == White ? KindWhiteLongCastle : KindBlackLongCastle;

  static Bitboard Advance(Bitboard b) { return Us == White ? b << 8 : b >> 8; }
  static Bitboard WestTargets(Bitboard pawns) { return Us == White ? (pawns & ~FileA) << 9 : (pawns & ~FileA) >> 7; }
  static Bitboard EastTargets(Bitboard pawns) { return Us == White ? (pawns & ~FileH) << 7 : (pawns & ~FileH) >> 9; }
  // The en-passant target as a set, empty unless it lies on the rank this side can capture onto.
  static Bitboard EpTarget() {
    unsigned offset = static_cast<unsigned>(Position.EpSquare) - EpFirstRank;
    return offset < 8 ? SquareMask[Position.EpSquare] : 0;
  }
};

inline MoveEntry* Add(MoveEntry* list, int score, int from, int to, int kind) {
  list->Score = static_cast<int16_t>(score);
  list->Move = MakeMoveWord(from, to, kind);
  return list + 1;
}

// The four promotions of one pawn move, queen first; firstKind is 4 (quiet) or 8 (capturing).
inline MoveEntry* AddPromotions(MoveEntry* list, int from, int to, int firstKind, int victimValue) {
  for (int i = 0; i < 4; i++) list = Add(list, victimValue + PromotionScore[i], from, to, firstKind + i);
  return list;
}

template <int Type>
Bitboard AttacksOf(int s) {
  if constexpr (Type == Knight) return KnightAttacks[s];
  if constexpr (Type == Bishop) return BishopAttacksFrom(s);
  if constexpr (Type == Rook) return RookAttacksFrom(s);
  if constexpr (Type == Queen) return QueenAttacksFrom(s);
  if constexpr (Type == King) return KingAttacks[s];
}

// Exchange estimate with the slider sets of the current position.
int Exchange(int from, int code, int to) {
  const Bitboard* pb = Position.PieceBoard;
  Bitboard queens = pb[WhiteQueen] | pb[BlackQueen];
  return ExchangeScore(from, code, to, pb[WhiteRook] | pb[BlackRook] | queens, pb[WhiteBishop] | pb[BlackBishop] | queens);
}

// Ordering score of a piece (not pawn) capturing on to.
template <int Us, int Type>
int CaptureScore(int from, int to) {
  int value = PieceValue[Position.Board[to]];
  if (value < ExchangeThreshold[Type]) return Exchange(from, Side<Us>::Code(Type), to);
  return value - CaptureBase[Type];
}

// Captures onto the targets of one pawn direction: en passant, capturing promotions, plain captures.
template <int Us>
MoveEntry* PawnCapturesTowards(MoveEntry* list, Bitboard targets, int delta) {
  using S = Side<Us>;
  if (targets & S::EpTarget()) list = Add(list, EnPassantScore, Position.EpSquare - delta, Position.EpSquare, KindEnPassant);
  Bitboard victims = targets & Position.ColourBoard[S::Them];
  for (Bitboard b = victims & S::PromotionRank; b; b &= b - 1) {
    int to = LowestSquare(b);
    list = AddPromotions(list, to - delta, to, KindCapPromoQueen, PieceValue[Position.Board[to]]);
  }
  for (Bitboard b = victims & ~S::PromotionRank; b; b &= b - 1) {
    int to = LowestSquare(b);
    list = Add(list, PieceValue[Position.Board[to]] + PawnCaptureBase, to - delta, to, KindCapture);
  }
  return list;
}

template <int Us>
MoveEntry* PawnCaptures(MoveEntry* list) {
  using S = Side<Us>;
  Bitboard pawns = Position.PieceBoard[S::Code(Pawn)];
  list = PawnCapturesTowards<Us>(list, S::WestTargets(pawns), S::WestCapture);
  return PawnCapturesTowards<Us>(list, S::EastTargets(pawns), S::EastCapture);
}

// Captures of the targets by the piece on from, kept when scored at least minScore.
template <int Us, int Type>
MoveEntry* CapturesFrom(MoveEntry* list, int from, Bitboard targets, int minScore) {
  for (; targets; targets &= targets - 1) {
    int to = LowestSquare(targets);
    int score = CaptureScore<Us, Type>(from, to);
    if (score >= minScore) list = Add(list, score, from, to, KindCapture);
  }
  return list;
}

inline MoveEntry* QuietFrom(MoveEntry* list, int from, Bitboard targets, int score) {
  for (; targets; targets &= targets - 1) list = Add(list, score, from, LowestSquare(targets), KindQuiet);
  return list;
}

// Every piece of one type: its captures, then its quiet moves.
template <int Us, int Type>
MoveEntry* PieceMoves(MoveEntry* list) {
  for (Bitboard b = Position.PieceBoard[Side<Us>::Code(Type)]; b; b &= b - 1) {
    int from = LowestSquare(b);
    Bitboard targets = AttacksOf<Type>(from) & ~Position.ColourBoard[Us];
    list = CapturesFrom<Us, Type>(list, from, targets & Position.ColourBoard[Us ^ 1], -32766);
    list = QuietFrom(list, from, targets & ~Position.Occupied, QuietScore);
  }
  return list;
}

// Captures of one piece type worth trying in the quiescence search.
template <int Us, int Type>
MoveEntry* PieceCaptures(MoveEntry* list) {
  for (Bitboard b = Position.PieceBoard[Side<Us>::Code(Type)]; b; b &= b - 1) {
    int from = LowestSquare(b);
    list = CapturesFrom<Us, Type>(list, from, AttacksOf<Type>(from) & Position.ColourBoard[Us ^ 1], -10000);
  }
  return list;
}

// King targets: never next to the enemy king, never onto an own piece, never onto excluded squares.
template <int Us>
Bitboard KingTargets(Bitboard excluded) {
  return KingAttacks[Position.KingSquare[Us]] & ~KingAttacks[Position.KingSquare[Us ^ 1]] & ~Position.ColourBoard[Us] &
         ~excluded;
}

// King captures (those into a defended square dropped), then quiet king moves.
template <int Us>
MoveEntry* KingMoves(MoveEntry* list, Bitboard excluded) {
  int from = Position.KingSquare[Us];
  Bitboard targets = KingTargets<Us>(excluded);
  list = CapturesFrom<Us, King>(list, from, targets & Position.ColourBoard[Us ^ 1], -32766);
  return QuietFrom(list, from, targets & ~Position.Occupied, QuietScore);
}

// Squares one step ahead of the own pawns that are empty.
template <int Us>
Bitboard SinglePushTargets() {
  return Side<Us>::Advance(Position.PieceBoard[Side<Us>::Code(Pawn)]) & ~Position.Occupied;
}

// Pawn pushes landing on allowed squares, in three groups: the four promotions of each push onto
// the last rank, double pushes, and the other single pushes.
template <int Us>
MoveEntry* PromotionPushes(MoveEntry* list, Bitboard single, Bitboard allowed) {
  for (Bitboard b = single & Side<Us>::PromotionRank & allowed; b; b &= b - 1) {
    int to = LowestSquare(b);
    list = AddPromotions(list, to - Side<Us>::Forward, to, KindPromoQueen, 0);
  }
  return list;
}
template <int Us>
MoveEntry* DoublePushes(MoveEntry* list, Bitboard single, Bitboard allowed) {
  using S = Side<Us>;
  for (Bitboard b = S::Advance(single & S::ThirdRank) & ~Position.Occupied & allowed; b; b &= b - 1) {
    int to = LowestSquare(b);
    list = Add(list, QuietScore, to - 2 * S::Forward, to, KindQuiet);
  }
  return list;
}
template <int Us>
MoveEntry* SinglePushes(MoveEntry* list, Bitboard single, Bitboard allowed) {
  for (Bitboard b = single & ~Side<Us>::PromotionRank & allowed; b; b &= b - 1) {
    int to = LowestSquare(b);
    list = Add(list, QuietScore, to - Side<Us>::Forward, to, KindQuiet);
  }
  return list;
}

// All pawn pushes: promotions, double pushes, then single pushes.
template <int Us>
MoveEntry* PawnPushes(MoveEntry* list) {
  Bitboard single = SinglePushTargets<Us>();
  list = PromotionPushes<Us>(list, single, ~0ULL);
  list = DoublePushes<Us>(list, single, ~0ULL);
  return SinglePushes<Us>(list, single, ~0ULL);
}

// Castling when the right is held and the squares between king and rook are empty;
// attacks on the king's path are left to the legality test.
template <int Us>
MoveEntry* Castlings(MoveEntry* list) {
  using S = Side<Us>;
  constexpr int k = S::HomeKing;
  uint16_t rights = Position.CastleRights;
  if ((rights & S::ShortRight) && !(Position.Occupied & (SquareMask[k + 1] | SquareMask[k + 2])))
    list = Add(list, ShortCastleScore, k, k + 2, S::ShortKind);
  if ((rights & S::LongRight) && !(Position.Occupied & (SquareMask[k - 1] | SquareMask[k - 2] | SquareMask[k - 3])))
    list = Add(list, LongCastleScore, k, k - 2, S::LongKind);
  return list;
}

template <int Us>
MoveEntry* GenerateAll(MoveEntry* list) {
  list = PawnCaptures<Us>(list);
  list = PieceMoves<Us, Knight>(list);
  list = PieceMoves<Us, Queen>(list);
  list = PieceMoves<Us, Rook>(list);
  list = PieceMoves<Us, Bishop>(list);
  list = PawnPushes<Us>(list);
  list = KingMoves<Us>(list, 0);
  return Position.CastleRights ? Castlings<Us>(list) : list;
}

// Queen promotions without capture that the exchange scorer does not expect to lose.
template <int Us>
MoveEntry* QueenPromotionPushes(MoveEntry* list) {
  using S = Side<Us>;
  for (Bitboard arrivals = SinglePushTargets<Us>() & S::PromotionRank; arrivals; arrivals &= arrivals - 1) {
    int to = LowestSquare(arrivals);
    int from = to - S::Forward;
    int score = Exchange(from, S::Code(Pawn), to);
    if (score >= -10000) list = Add(list, score, from, to, KindPromoQueen);
  }
  return list;
}

template <int Us>
MoveEntry* GenerateCapturesOf(MoveEntry* list) {
  list = PawnCaptures<Us>(list);
  list = QueenPromotionPushes<Us>(list);
  list = PieceCaptures<Us, Knight>(list);
  list = PieceCaptures<Us, Bishop>(list);
  list = PieceCaptures<Us, Rook>(list);
  list = PieceCaptures<Us, Queen>(list);
  int from = Position.KingSquare[Us];
  return CapturesFrom<Us, King>(list, from, KingTargets<Us>(0) & Position.ColourBoard[Us ^ 1], -10000);
}

// Visits the own pawns that attack target, the one towards the a-file (lower square) first.
template <int Us, typename F>
MoveEntry* FromAttackingPawns(MoveEntry* list, int target, F add) {
  Bitboard pawns = PawnAttacks[Us ^ 1][target] & Position.PieceBoard[Side<Us>::Code(Pawn)];
  while (pawns) {
    int from = std::countl_zero(pawns);
    list = add(list, from);
    pawns &= ~SquareMask[from];
  }
  return list;
}

// Empty-board reach of a piece type, to skip pieces that cannot reach a blocking square.
template <int Type>
Bitboard ReachOf(int s) {
  if constexpr (Type == Knight) return KnightAttacks[s];
  if constexpr (Type == Bishop) return BishopRays[s];
  if constexpr (Type == Rook) return RookRays[s];
  if constexpr (Type == Queen) return QueenRays[s];
}

// Captures of the checker on c by pieces of one type, then their moves onto the blocking squares.
template <int Us, int Type>
MoveEntry* PieceEvasions(MoveEntry* list, int c, int victimValue, Bitboard blocks) {
  Bitboard pieces = Position.PieceBoard[Side<Us>::Code(Type)];
  for (Bitboard b = AttacksOf<Type>(c) & pieces; b; b &= b - 1)
    list = Add(list, victimValue - CaptureBase[Type], LowestSquare(b), c, KindCapture);
  if (!blocks) return list;
  for (Bitboard b = pieces; b; b &= b - 1) {
    int from = LowestSquare(b);
    if (ReachOf<Type>(from) & blocks) list = QuietFrom(list, from, AttacksOf<Type>(from) & blocks, InterposeScore[Type]);
  }
  return list;
}

// Pawn pushes onto blocking squares: double pushes, promotions, single pushes.
template <int Us>
MoveEntry* PawnInterpositions(MoveEntry* list, Bitboard blocks) {
  Bitboard single = SinglePushTargets<Us>();
  list = DoublePushes<Us>(list, single, blocks);
  list = PromotionPushes<Us>(list, single, blocks);
  return SinglePushes<Us>(list, single, blocks);
}

// Pawn captures of the checker on c: en passant when it is the pawn that has just
// double-pushed, then plain captures (four capturing promotions on the last rank).
template <int Us>
MoveEntry* PawnEvasionCaptures(MoveEntry* list, int c, int victimValue) {
  using S = Side<Us>;
  int ep = Position.EpSquare;
  if (S::EpTarget() && c == ep - S::Forward)
    list = FromAttackingPawns<Us>(list, ep, [ep](MoveEntry* l, int from) { return Add(l, EnPassantScore, from, ep, KindEnPassant); });
  bool promotes = SquareMask[c] & S::PromotionRank;
  return FromAttackingPawns<Us>(list, c, [=](MoveEntry* l, int from) {
    return promotes ? AddPromotions(l, from, c, KindCapPromoQueen, victimValue)
                    : Add(l, victimValue + PawnCaptureBase, from, c, KindCapture);
  });
}

template <int Us>
MoveEntry* GenerateEvasionsOf(MoveEntry* list, const CheckInfo* info) {
  Bitboard blocks = 0, checkers = info->checkers;
  if (checkers && !(checkers & (checkers - 1))) {
    int c = LowestSquare(checkers);
    int x = Position.Board[c];
    int value = PieceValue[x];
    if (x >= WhiteBishop && !(KingAttacks[Position.KingSquare[Us]] & SquareMask[c]))
      blocks = info->rookLines ? RookAttacksFrom(c) & info->rookLines : BishopAttacksFrom(c) & info->bishopLines;
    list = PawnEvasionCaptures<Us>(list, c, value);
    list = PieceEvasions<Us, Knight>(list, c, value, blocks);
    list = PieceEvasions<Us, Bishop>(list, c, value, blocks);
    list = PieceEvasions<Us, Rook>(list, c, value, blocks);
    list = PieceEvasions<Us, Queen>(list, c, value, blocks);
    if (blocks) list = PawnInterpositions<Us>(list, blocks);
  }
  return KingMoves<Us>(list, blocks);
}

}  // namespace

const MoveGenerator MoveGenerators[2] = {GenerateAll<Black>, GenerateAll<White>};
const MoveGenerator CaptureGenerators[2] = {GenerateCapturesOf<Black>, GenerateCapturesOf<White>};
const EvasionGenerator EvasionGenerators[2] = {GenerateEvasionsOf<Black>, GenerateEvasionsOf<White>};
