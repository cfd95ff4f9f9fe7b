// Precomputed attack tables, masks and the rotated-occupancy layouts.
#include <algorithm>
#include <cstddef>
#include <vector>
#include "board/board.h"

Bitboard SquareMask[64], SquareMaskR90[64], SquareMaskR45[64], SquareMaskL45[64];
Bitboard KingAttacks[64], KnightAttacks[64], PawnAttacks[2][64];
Bitboard RankAttacks[64][256], FileAttacks[64][256];
Bitboard DiagR45Attacks[64][256], DiagL45Attacks[64][256];
uint8_t R45Shift[64], R45Mask[64], L45Shift[64], L45Mask[64];
Bitboard RookRays[64], BishopRays[64], QueenRays[64];
Bitboard FileMaskExcl[64], AdjacentFiles[64];
Bitboard PassedSpan[2][64], FrontSpan[2][64];
Bitboard EpToggleR90[64], EpToggleR45[64], EpToggleL45[64];

namespace {

constexpr Bitboard FileA = 0x8080808080808080ULL;

constexpr Bitboard Bit(int s) { return 0x8000000000000000ULL >> s; }
// Shifts that give the empty set at 64 or more, as the span masks need at the edge ranks.
constexpr Bitboard ShiftLeft(Bitboard b, int n) { return n >= 64 ? 0 : b << n; }
constexpr Bitboard ShiftRight(Bitboard b, int n) { return n >= 64 ? 0 : b >> n; }

constexpr int DiagonalLength(int d) { return 8 - (d > 7 ? d - 7 : 7 - d); }
// Squares on diagonals 0..d together.
constexpr int SquaresUpTo(int d) {
  int n = 0;
  for (int i = 0; i <= d; i++) n += DiagonalLength(i);
  return n;
}
constexpr int SquaresBefore(int d) { return d == 0 ? 0 : SquaresUpTo(d - 1); }

// Bit index of square s inside each rotated layout.
constexpr int R90Bit(int s) { return 8 * FileIndex(s) + 7 - RankIndex(s); }
constexpr int R45Bit(int s) {
  int d = RankIndex(s) + FileIndex(s);
  int first = d > 7 ? d - 7 : 0;  // lowest file on the diagonal
  return 63 - (SquaresBefore(d) + FileIndex(s) - first);
}
constexpr int L45Bit(int s) {
  int e = 7 - FileIndex(s) + RankIndex(s);
  int first = e > 7 ? e - 7 : 0;  // lowest rank index on the diagonal
  return 63 - (SquaresBefore(e) + RankIndex(s) - first);
}

// The squares of a line through s in field order: element j sits at field bit len - 1 - j.
using Line = std::vector<int>;
enum LineKind { RankLine, FileLine, R45Line, L45Line };

Line LineThrough(int s, LineKind kind) {
  Line line;
  int r = RankIndex(s), f = FileIndex(s);
  for (int t = 0; t < 64; t++) {
    int tr = RankIndex(t), tf = FileIndex(t);
    bool on = kind == RankLine ? tr == r : kind == FileLine ? tf == f
            : kind == R45Line ? tr + tf == r + f : tf - tr == f - r;
    if (on) line.push_back(t);
  }
  // Rank squares run a..h, file squares rank 8 down, R45 by increasing file, L45 by increasing rank index:
  // for every kind that is increasing square number except along R45, where the file grows as the number falls.
  if (kind == R45Line) std::reverse(line.begin(), line.end());
  return line;
}

// Sliding attacks from s along line for one field value; blockers are included.
Bitboard SlideAlong(const Line& line, int s, unsigned occ) {
  int len = static_cast<int>(line.size()), at = 0;
  while (line[at] != s) at++;
  auto occupied = [&](int j) { return (occ >> (len - 1 - j)) & 1; };
  Bitboard result = 0;
  for (int j = at + 1; j < len; j++) {
    result |= Bit(line[j]);
    if (occupied(j)) break;
  }
  for (int j = at - 1; j >= 0; j--) {
    result |= Bit(line[j]);
    if (occupied(j)) break;
  }
  return result;
}

void FillSliding(Bitboard (*table)[256], LineKind kind) {
  for (int s = 0; s < 64; s++) {
    Line line = LineThrough(s, kind);
    unsigned values = 1u << line.size();
    for (unsigned occ = 0; occ < values; occ++) table[s][occ] = SlideAlong(line, s, occ);
  }
}

// Target squares of a leaper given as (rank, file) steps, without wrapping.
template <size_t N>
void FillLeaper(Bitboard* table, const int (&steps)[N][2]) {
  for (int s = 0; s < 64; s++) {
    table[s] = 0;
    for (auto& st : steps) {
      int r = RankIndex(s) + st[0], f = FileIndex(s) + st[1];
      if (r >= 0 && r < 8 && f >= 0 && f < 8) table[s] |= Bit(8 * r + f);
    }
  }
}

}  // namespace

void InitKingAttacks() {
  constexpr int steps[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
  FillLeaper(KingAttacks, steps);
}

void InitPawnAttacks() {
  constexpr int white[2][2] = {{-1, -1}, {-1, 1}};  // towards rank 8
  constexpr int black[2][2] = {{1, -1}, {1, 1}};
  FillLeaper(PawnAttacks[White], white);
  FillLeaper(PawnAttacks[Black], black);
}

void InitKnightAttacks() {
  constexpr int steps[8][2] = {{-2, -1}, {-2, 1}, {-1, -2}, {-1, 2}, {1, -2}, {1, 2}, {2, -1}, {2, 1}};
  FillLeaper(KnightAttacks, steps);
}

void InitRankAttacks() { FillSliding(RankAttacks, RankLine); }
void InitFileAttacks() { FillSliding(FileAttacks, FileLine); }
void InitDiagR45Attacks() { FillSliding(DiagR45Attacks, R45Line); }
void InitDiagL45Attacks() { FillSliding(DiagL45Attacks, L45Line); }

// Carries every square of b to its bit in a rotated layout.
template <int (*BitOf)(int)>
static Bitboard Rotate(Bitboard b) {
  Bitboard out = 0;
  for (int s = 0; s < 64; s++)
    if (b & Bit(s)) out |= 1ULL << BitOf(s);
  return out;
}
Bitboard RotateR90(Bitboard b) { return Rotate<R90Bit>(b); }
Bitboard RotateR45(Bitboard b) { return Rotate<R45Bit>(b); }
Bitboard RotateL45(Bitboard b) { return Rotate<L45Bit>(b); }

void InitMasks() {
  for (int s = 0; s < 64; s++) {
    int r = RankIndex(s), f = FileIndex(s);
    SquareMask[s] = Bit(s);
    SquareMaskR90[s] = RotateR90(SquareMask[s]);
    SquareMaskR45[s] = RotateR45(SquareMask[s]);
    SquareMaskL45[s] = RotateL45(SquareMask[s]);
    Bitboard file = FileA >> f;
    FileMaskExcl[s] = file & ~SquareMask[s];
    AdjacentFiles[s] = (f > 0 ? FileA >> (f - 1) : 0) | (f < 7 ? FileA >> (f + 1) : 0);
    Bitboard three = file | AdjacentFiles[s];
    PassedSpan[White][s] = ShiftLeft(three, 64 - 8 * r);
    PassedSpan[Black][s] = ShiftRight(three, 8 * r + 8);
    FrontSpan[White][s] = ShiftLeft(file, 64 - 8 * r);
    FrontSpan[Black][s] = ShiftRight(file, 8 * r + 8);
    int d = r + f, e = 7 - f + r;
    R45Shift[s] = static_cast<uint8_t>(64 - SquaresUpTo(d));
    R45Mask[s] = static_cast<uint8_t>((1u << DiagonalLength(d)) - 1);
    L45Shift[s] = static_cast<uint8_t>(64 - SquaresUpTo(e));
    L45Mask[s] = static_cast<uint8_t>((1u << DiagonalLength(e)) - 1);
    RookRays[s] = RankAttacks[s][0] | FileAttacks[s][0];
    BishopRays[s] = DiagR45Attacks[s][0] | DiagL45Attacks[s][0];
    QueenRays[s] = RookRays[s] | BishopRays[s];
  }
}

void InitEpToggles() {
  for (int s = 16; s < 24; s++) {
    EpToggleR90[s] = SquareMaskR90[s] | SquareMaskR90[s + 8];
    EpToggleR45[s] = SquareMaskR45[s] | SquareMaskR45[s + 8];
    EpToggleL45[s] = SquareMaskL45[s] | SquareMaskL45[s + 8];
  }
  for (int s = 40; s < 48; s++) {
    EpToggleR90[s] = SquareMaskR90[s] | SquareMaskR90[s - 8];
    EpToggleR45[s] = SquareMaskR45[s] | SquareMaskR45[s - 8];
    EpToggleL45[s] = SquareMaskL45[s] | SquareMaskL45[s - 8];
  }
}

void InitTables() {
  InitKingAttacks();
  InitPawnAttacks();
  InitKnightAttacks();
  InitRankAttacks();
  InitFileAttacks();
  InitDiagR45Attacks();
  InitDiagL45Attacks();
  InitMasks();
  InitEpToggles();
}
