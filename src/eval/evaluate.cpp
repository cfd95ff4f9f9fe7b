// Static evaluation: piece-square tables chosen by material phase, pawn structure behind the
// pawn cache, king shelter and king danger, slider mobility and material-imbalance corrections.
// Every term is summed from White's side; the sum is taken modulo 2^16 and turned for the side
// to move at the end.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include "eval/eval.h"

uint32_t PawnCache[PawnCacheSize];

namespace {
// Entries written since the last clear, so that a clear after a short use rewrites only those.
WrittenEntries<1 << 12> WrittenPawnEntries;
}  // namespace

// Empties every pawn-cache word (run by every position setup).
void ClearPawnCache() {
  WrittenPawnEntries.Clear([](uint32_t e) { PawnCache[e] = 0; }, [] { std::memset(PawnCache, 0, sizeof PawnCache); });
}

namespace {

// King-zone pressure of a piece by its Chebyshev distance to the enemy king.
enum ProximityRow { KnightRow, BishopRow, RookRow, QueenRow };
constexpr uint8_t ProximityBonus[4][8] = {
    {4, 5, 5, 2, 1, 0, 0, 0},
    {5, 5, 4, 2, 1, 0, 0, 0},
    {6, 5, 4, 2, 1, 0, 0, 0},
    {9, 9, 8, 4, 2, 1, 0, 0},
};

// Multiplier of the king danger by how bare of pawns the king's files are (KingOpenness 0..15).
constexpr int OpennessFactor[16] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};

// King danger by attack units; 128 stored entries, every count from 59 up weighs 200.
constexpr int AttackWeightSize = 128;
constexpr auto AttackWeight = [] {
  constexpr int rising[59] = {0,   1,   3,   8,   10,  15,  20,  25,  30,  35,  40,  45,  50,  55,  60,
                              65,  70,  75,  80,  85,  90,  95,  100, 110, 115, 117, 120, 122, 125, 127,
                              130, 132, 135, 137, 140, 142, 145, 147, 150, 152, 155, 157, 160, 162, 165,
                              167, 170, 172, 165, 167, 170, 172, 175, 177, 190, 192, 195, 197, 200};
  std::array<int, AttackWeightSize> weight{};
  for (int i = 0; i < AttackWeightSize; i++) weight[i] = i < 59 ? rising[i] : 200;
  return weight;
}();

// Counters gathered during one evaluation, indexed by colour.
struct EvalCounters {
  uint8_t KingOpenness[2];
  uint8_t KingAttackUnits[2];  // pressure of that colour's pieces on the enemy king
  int Minors[2];
  int Majors[2];
};

// PieceCode of a piece type (1 pawn .. 5 queen) for colour C.
template <int C>
constexpr int CodeOf(int type) { return 2 * type - C; }
constexpr int Pawn = 1, Knight = 2, Bishop = 3, Rook = 4, Queen = 5;

// Square as seen from White's side: ranks mirrored for Black.
template <int C>
constexpr int Relative(int s) { return C == White ? s : s ^ 56; }

// Index of a non-king piece on s into a White's-view table (a half-turn for Black).
template <int C>
constexpr int TableSquare(int s) { return C == White ? s : 63 - s; }

constexpr Bitboard RankMask(int rankIndex) { return Bitboard{0xFF} << (8 * (7 - rankIndex)); }
constexpr Bitboard LightSquares = 0xAA55AA55AA55AA55;

int Distance(int a, int b) {
  return std::max(std::abs(RankIndex(a) - RankIndex(b)), std::abs(FileIndex(a) - FileIndex(b)));
}

Bitboard Pieces(int code) { return Position.PieceBoard[code]; }

// True when the mailbox holds code on the square s as seen from colour C's side.
template <int C>
bool CodeAt(int s, int code) { return Position.Board[Relative<C>(s)] == code; }

// True when colour C's piece of the given type stands on the square s seen from C's side.
template <int C>
bool PieceOn(int s, int type) { return CodeAt<C>(s, CodeOf<C>(type)); }

// Shelter of one wing: bonus per own pawn on the three squares in front of the king and half
// of it once for a pawn one step further, when the king stands on the wing and no rook is
// still in the corner.
template <int C>
int WingShelter(const int (&kingSquares)[3], const int (&rookSquares)[2], const int (&front)[3],
                const int (&advanced)[2], int bonus) {
  const int king = Relative<C>(Position.KingSquare[C]);
  if (king != kingSquares[0] && king != kingSquares[1] && king != kingSquares[2]) return 0;
  if (PieceOn<C>(rookSquares[0], Rook) || PieceOn<C>(rookSquares[1], Rook)) return 0;
  int value = 0;
  for (int s : front) value += PieceOn<C>(s, Pawn) ? bonus : 0;
  if (PieceOn<C>(advanced[0], Pawn) || PieceOn<C>(advanced[1], Pawn)) value += bonus / 2;
  return value;
}

// Pawn shelter of colour C's castled king; weight is 11 when the opponent has a queen, else 5.
template <int C>
int KingShelter(int weight) {
  return WingShelter<C>({F1, G1, H1}, {G1, H1}, {F2, G2, H2}, {G3, H3}, weight + 1) +
         WingShelter<C>({A1, B1, C1}, {A1, B1}, {A2, B2, C2}, {A3, B3}, weight - 2);
}

// How bare of pawns the files of colour C's king and its neighbours are (0..15).
template <int C>
uint8_t KingOpenness() {
  const int king = Position.KingSquare[C];
  const Bitboard own = Pieces(CodeOf<C>(Pawn)), enemy = Pieces(CodeOf<C ^ 1>(Pawn));
  int count = 0;
  if (!(FileMaskExcl[king] & own)) count = 2;
  if (!(FileMaskExcl[king] & enemy)) count += count ? 2 : 1;
  // A neighbouring file, read without the square beside the king.
  auto neighbour = [&](int s) {
    if (!(FileMaskExcl[s] & own)) count += count < 4 ? 2 : 3;
    if (!(FileMaskExcl[s] & enemy)) count += count < 4 ? 1 : 2;
  };
  if (FileIndex(king) != 7) neighbour(king + 1);
  if (FileIndex(king) != 0) neighbour(king - 1);
  if (Pieces(CodeOf<C ^ 1>(Queen))) count += 1;
  return static_cast<uint8_t>(count);
}

// Pawn structure of colour C from its own side: value, passers, doubled, isolated and
// attacked pawns.
template <int C>
int PawnStructure(const int16_t* table) {
  const Bitboard own = Pieces(CodeOf<C>(Pawn)), enemy = Pieces(CodeOf<C ^ 1>(Pawn));
  int value = 0;
  for (Bitboard b = own; b; b &= b - 1) {
    const int s = LowestSquare(b);
    const int rank = RankIndex(Relative<C>(s));  // 1 on the seventh rank, 6 on the second
    value += 100 + table[TableSquare<C>(s)];
    bool passed = !(PassedSpan[C][s] & enemy);
    if (FileMaskExcl[s] & own) {
      value -= 8;
      if (FrontSpan[C][s] & own) passed = false;
    }
    if (passed) value += (7 - rank) * 16;
    if (!(AdjacentFiles[s] & own)) {
      value -= 16;
      if (!(FrontSpan[C][s] & enemy)) value -= 6;
    } else if (!passed && rank >= 2) {
      const Bitboard attackers = PawnAttacks[C][s] & enemy;
      if (attackers) {
        int n = PopCount(attackers) == 2 ? 3 : 2;
        const Bitboard defenders = PawnAttacks[C ^ 1][s] & own;
        if (defenders) n -= PopCount(defenders) == 2 ? 2 : 1;
        value -= 8 * n;
      }
    }
  }
  return value;
}

// Pawn-structure score (White minus Black) through the pawn cache.
int16_t PawnScore(int phase) {
  const uint32_t key = Position.PawnKey ^ PawnCacheSalt[phase];
  uint32_t& word = PawnCache[key & (PawnCacheSize - 1)];
  if ((word & 0xFFFF) != 0 && (word >> 20) == (key >> 20)) return static_cast<int16_t>((word & 0xFFFF) - 8190);
  const int16_t* table = PhaseTables[PstPawn][phase];
  const auto score = static_cast<int16_t>(PawnStructure<White>(table) - PawnStructure<Black>(table));
  WrittenPawnEntries.Note(key & (PawnCacheSize - 1));
  word = (key & 0xFFF00000) | (static_cast<uint32_t>(score + 8190) & 0xFFFFF);
  return score;
}

// Pieces of colour C from its own side: values, mobility, rook files and ranks, bishop traps
// and pair, the queen bonus; gathers the king pressure and the minor and major counts.
template <int C>
int PieceTerms(EvalCounters& counters, int phase, int pawns) {
  constexpr int O = C ^ 1;
  const int enemyKing = Position.KingSquare[O];
  const Bitboard zone = KingAttacks[enemyKing];
  const Bitboard notOwn = ~Position.ColourBoard[C];
  const Bitboard ownPawns = Pieces(CodeOf<C>(Pawn)), enemyPawns = Pieces(CodeOf<O>(Pawn));
  auto pst = [&](int kind, int s) { return PhaseTables[kind][phase][TableSquare<C>(s)]; };
  auto pressure = [&](int row, int s, Bitboard attacks) {
    counters.KingAttackUnits[C] += ProximityBonus[row][Distance(s, enemyKing)] + ((attacks & zone) != 0);
  };
  int value = 0;

  for (Bitboard b = Pieces(CodeOf<C>(Knight)); b; b &= b - 1) {
    const int s = LowestSquare(b);
    value += 320 + pst(PstKnight, s) + pawns - 6;
    pressure(KnightRow, s, KnightAttacks[s]);
    counters.Minors[C]++;
  }

  const Bitboard bishops = Pieces(CodeOf<C>(Bishop));
  for (Bitboard b = bishops; b; b &= b - 1) {
    const int s = LowestSquare(b);
    const Bitboard attacks = BishopAttacksFrom(s);
    value += 325 + pst(PstBishop, s) + 5 * PopCount(attacks & notOwn) - pawns - 24;
    pressure(BishopRow, s, attacks);
    counters.Minors[C]++;
  }
  // A bishop shut in behind an enemy pawn on the far edge.
  constexpr int enemyPawn = CodeOf<O>(Pawn);
  if ((PieceOn<C>(A7, Bishop) && CodeAt<C>(B6, enemyPawn)) || (PieceOn<C>(B8, Bishop) && CodeAt<C>(C7, enemyPawn)) ||
      (PieceOn<C>(G8, Bishop) && CodeAt<C>(F7, enemyPawn)) || (PieceOn<C>(H7, Bishop) && CodeAt<C>(G6, enemyPawn)))
    value -= 210;
  if ((bishops & LightSquares) && (bishops & ~LightSquares)) value += 50;

  const Bitboard rooks = Pieces(CodeOf<C>(Rook));
  for (Bitboard b = rooks; b; b &= b - 1) {
    const int s = LowestSquare(b);
    const Bitboard attacks = RookAttacksFrom(s);
    value += 500 + pst(PstRook, s);
    pressure(RookRow, s, attacks);
    if (const Bitboard filePawns = FileMaskExcl[s] & ownPawns) {
      // The own pawn with the highest square number; the rook supports it from behind.
      const int p = LowestSquare(filePawns);
      const bool behind = C == White ? s > p : s < p;
      if (!(PassedSpan[C][p] & enemyPawns) && behind) value += 20;
    } else {
      value += 8;
      if (!(FileMaskExcl[s] & enemyPawns)) value += 12;
    }
    counters.Majors[C]++;
    value += 2 * PopCount(attacks & notOwn) - 14;
  }
  if (const int onSeventh = PopCount(rooks & RankMask(RankIndex(Relative<C>(A7))))) {
    value += 18;
    if (onSeventh >= 2) {
      value += 18;
      const int kingRank = RankIndex(Relative<C>(enemyKing));
      if (kingRank == 0) value += 48;
      if (kingRank == 1) value += 18;
    }
  }

  const Bitboard queens = Pieces(CodeOf<C>(Queen));
  for (Bitboard b = queens; b; b &= b - 1) {
    const int s = LowestSquare(b);
    const Bitboard attacks = QueenAttacksFrom(s);
    value += 950 + pst(PstQueen, s) + PopCount(attacks & notOwn) - 13;
    pressure(QueenRow, s, attacks);
    counters.Majors[C]++;
  }
  if (queens && !Pieces(CodeOf<O>(Queen))) value += 15;
  return value;
}

// Corrections for unequal minor and major piece counts (White's side).
int MaterialImbalance(const EvalCounters& counters) {
  const int whiteMaterial = Position.PieceMaterial[White], blackMaterial = Position.PieceMaterial[Black];
  if (whiteMaterial < 5 && blackMaterial < 5) return 0;
  const bool whiteQueen = Pieces(WhiteQueen) != 0, blackQueen = Pieces(BlackQueen) != 0;
  const int minor = counters.Minors[White] - counters.Minors[Black];
  const int major = counters.Majors[White] - counters.Majors[Black];
  const int whiteOnlyQueen = whiteQueen && !blackQueen && whiteMaterial >= 12 ? 60 : 0;
  const int blackOnlyQueen = blackQueen && !whiteQueen && blackMaterial >= 12 ? 60 : 0;
  if (minor != 0) {
    switch (major) {
      case -2: return minor > 2 ? 130 : 0;
      case -1: return (minor > 1 ? 100 : minor == 1 ? -60 : 0) + whiteOnlyQueen;
      case 0: return whiteQueen == blackQueen ? (minor > 0 ? 100 : -100) : 0;
      case 1: return (minor < -1 ? -100 : minor == -1 ? 60 : 0) - blackOnlyQueen;
      case 2: return minor < -2 ? -130 : 0;
      default: return 0;
    }
  }
  if (major == 0) return whiteQueen && !blackQueen ? 60 : blackQueen && !whiteQueen ? -60 : 0;
  if (whiteQueen == blackQueen) return major > 0 ? 100 : -100;
  return whiteOnlyQueen - blackOnlyQueen;
}

// Danger to colour C's king: openness factor times the weight of the enemy's attack units,
// counted only while the enemy keeps more than 13 units of pieces. A set-up position crowded
// with pieces can count more units than the weight table holds; those read its last entry.
template <int C>
int KingDanger(const EvalCounters& counters) {
  if (Position.PieceMaterial[C ^ 1] <= 13) return 0;
  const int units = std::min<int>(counters.KingAttackUnits[C ^ 1], AttackWeightSize - 1);
  return OpennessFactor[counters.KingOpenness[C]] * AttackWeight[units];
}

}  // namespace

// Static score of the Position in centipawns, positive when good for the side to move. Its
// mobility and king-attack terms count bits: one version for each kind of processor.
POPCOUNT_CLONES int Evaluate() {
  const int phase = MaterialPhase();
  const int pawns = Position.PawnCount[White] + Position.PawnCount[Black];
  // Trivial draws: bare minor material, and rook and minor against rook.
  if (pawns == 0 && (phase < 4 || (phase == 13 && Pieces(WhiteRook) && Pieces(BlackRook)))) return 0;

  EvalCounters counters{};
  const int16_t* kingTable = PhaseTables[PstKing][phase];
  // Both kings read the king table at their own square.
  int score = kingTable[Position.KingSquare[White]] - kingTable[Position.KingSquare[Black]];
  if (phase > 35) {
    const bool whiteQueen = Pieces(WhiteQueen) != 0, blackQueen = Pieces(BlackQueen) != 0;
    score += KingShelter<White>(blackQueen ? 11 : 5) - KingShelter<Black>(whiteQueen ? 11 : 5);
    counters.KingOpenness[White] = KingOpenness<White>();
    counters.KingOpenness[Black] = KingOpenness<Black>();
  }
  if (pawns) score += PawnScore(phase);
  score += PieceTerms<White>(counters, phase, pawns) - PieceTerms<Black>(counters, phase, pawns);
  score += MaterialImbalance(counters);
  score += KingDanger<Black>(counters) - KingDanger<White>(counters);

  // The terms add modulo 2^16; wrapping the exact sum once gives the same 16-bit result.
  auto result = static_cast<int16_t>(score);
  const int side = Position.SideToMove;
  if (side == Black) result = static_cast<int16_t>(-result);
  // A side ahead without pawns and with less than a rook's worth of pieces cannot win.
  if (result > 0 && Position.PawnCount[side] == 0 && Position.PieceMaterial[side] < 5) return 0;
  return result;
}
