// The generator: retrograde analysis of each table from its mates. Every legal position first
// gets the count of its moves within the table and the value of its best capture or promotion,
// read from the table that move leads to. Then, level by level from the mates, the positions
// settled at one level reach their predecessors by un-moves: a lost position makes them won, a
// won one takes a move off their count, and a position left without moves is lost.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>
#include "board/board.h"
#include "egbb/egbb.h"

namespace {

std::vector<uint8_t> Values[EgbbTableCount];  // tables generated or read in this run

// ---- Board geometry in the library's numbering: square s is bit s of a bitboard ----
using Bits = uint64_t;
constexpr Bits One(int s) { return Bits(1) << s; }

struct Geometry {
  Bits king[64], knight[64], pawn[2][64];  // pawn captures by colour (0 white)
  Bits rook[64], bishop[64];               // slider lines on an empty board
  Bits between[64][64];                    // squares strictly between two squares of a line, 0 off a line
  Bits beyond[64][64];                     // the line from s past b, b excluded
};

constexpr Geometry BuildGeometry() {
  Geometry g{};
  constexpr int steps[16][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1},
                                {1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  auto onBoard = [](int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; };
  for (int s = 0; s < 64; s++) {
    const int file = EgbbFileOf(s), rank = EgbbRankOf(s);
    for (int d = 0; d < 16; d++) {
      const int df = steps[d][0], dr = steps[d][1];
      if (onBoard(file + df, rank + dr)) (d < 8 ? g.king[s] : g.knight[s]) |= One(s + df + 8 * dr);
      if (d >= 8) continue;
      Bits line = 0;
      for (int n = 1; onBoard(file + n * df, rank + n * dr); n++) {
        g.between[s][s + n * (df + 8 * dr)] = line;
        line |= One(s + n * (df + 8 * dr));
      }
      (d < 4 ? g.rook[s] : g.bishop[s]) |= line;
      for (int n = 1; onBoard(file + n * df, rank + n * dr); n++) {
        const int b = s + n * (df + 8 * dr);
        g.beyond[s][b] = line & ~g.between[s][b] & ~One(b);
      }
    }
    for (int colour = 0; colour < 2; colour++)
      for (int df : {-1, 1})
        if (onBoard(file + df, rank + (colour ? -1 : 1))) g.pawn[colour][s] |= One(s + df + (colour ? -8 : 8));
  }
  return g;
}
constexpr Geometry Geo = BuildGeometry();

// A slider's squares: its lines cut behind each man that stands on them.
inline Bits SliderAttacks(Bits lines, int s, Bits occupied) {
  for (Bits blockers = lines & occupied; blockers; blockers &= blockers - 1)
    lines &= ~Geo.beyond[s][std::countr_zero(blockers)];
  return lines;
}

// Squares a man of a kind and colour (0 white) on s attacks.
inline Bits Attacks(int kind, int colour, int s, Bits occupied) {
  switch (kind) {
    case EgbbKing: return Geo.king[s];
    case EgbbQueen: return SliderAttacks(Geo.rook[s] | Geo.bishop[s], s, occupied);
    case EgbbRook: return SliderAttacks(Geo.rook[s], s, occupied);
    case EgbbBishop: return SliderAttacks(Geo.bishop[s], s, occupied);
    case EgbbKnight: return Geo.knight[s];
    default: return Geo.pawn[colour][s];
  }
}

// Squares a pawn on s came from without capturing: one square back, or two back to its
// starting rank over an empty square; never rank 1 or 8.
inline Bits PawnOrigins(int s, int colour, Bits occupied) {
  const int back = colour ? 8 : -8, one = s + back;
  if (EgbbRankOf(one) == 0 || EgbbRankOf(one) == 7 || (occupied & One(one))) return 0;
  const bool double_ = EgbbRankOf(one + back) == (colour ? 6 : 1) && !(occupied & One(one + back));
  return One(one) | (double_ ? One(one + back) : 0);
}

// ---- A table's positions and entries ----
// Men in index order: the white king, the black king, then the table's men; a table of three
// men keeps a fourth square of stride 0, never on the board.
struct Men {
  int side;
  int square[EgbbMaxMen];
};

// A position packed into 32 bits for the frontier lists.
uint32_t Pack(const Men& p) {
  return uint32_t(p.side) << 24 | uint32_t(p.square[0]) << 18 | uint32_t(p.square[1]) << 12 |
         uint32_t(p.square[2]) << 6 | uint32_t(p.square[3]);
}
Men Unpack(uint32_t x) { return {int(x >> 24), {int(x >> 18 & 63), int(x >> 12 & 63), int(x >> 6 & 63), int(x & 63)}}; }

// The entry arithmetic of one table: entries count the last man's squares fastest, then the
// first man's, the black king's, the white king's slot and the side to move.
struct Layout {
  int table, count;
  int code[EgbbMaxMen], kind[EgbbMaxMen], colour[EgbbMaxMen];
  bool pawns;  // white king on files a-d, else in the triangle a1-d1-d4
  bool alike;  // two men of one code, stored with the lower square first
  int low[EgbbMaxMen], range[EgbbMaxMen];
  uint32_t stride[EgbbMaxMen], sideStride;

  explicit Layout(int t) : table(t), count(2 + EgbbTables[t].men) {
    const EgbbTable& e = EgbbTables[t];
    pawns = e.kingSlots == 32;
    alike = e.men == 2 && e.code[0] == e.code[1];
    for (int m = 0; m < EgbbMaxMen; m++) {
      code[m] = m < 2 ? EgbbKing + (m ? EgbbBlack : 0) : m < count ? e.code[m - 2] : 0;
      kind[m] = EgbbKindOf(code[m]);
      colour[m] = EgbbIsBlack(code[m]) ? 1 : 0;
      const bool pawn = kind[m] == EgbbPawn;
      low[m] = pawn ? 8 : 0;
      range[m] = m == 0 ? e.kingSlots : m < count ? (pawn ? 48 : 64) : 1;
    }
    uint32_t step = 1;
    for (int m = EgbbMaxMen - 1; m >= 0; m--) {
      stride[m] = m < count ? step : 0;
      step *= uint32_t(range[m]);
    }
    sideStride = step;
  }

  uint32_t Index(const Men& p) const {
    return uint32_t(p.side) * sideStride + uint32_t(EgbbKingSlot[pawns][p.square[0]]) * stride[0] +
           uint32_t(p.square[1]) * stride[1] + uint32_t(p.square[2] - low[2]) * stride[2] +
           uint32_t(p.square[3] - low[3]) * stride[3];
  }

  // The part of an entry that man m on square s makes, before its stride.
  int Offset(int m, int s) const { return m ? s - low[m] : EgbbKingSlot[pawns][s]; }

  // The entry with the last two men's squares counted the other way round (four men).
  uint32_t Transposed(uint32_t entry, const Men& p) const {
    const uint32_t a = uint32_t(p.square[2] - low[2]), b = uint32_t(p.square[3] - low[3]);
    return entry - a * stride[2] - b + b * uint32_t(range[2]) + a;
  }

  void Mirror(Men& p, int mirror) const {
    for (int& s : p.square) s = EgbbMirrors[mirror][s];
    if (alike && p.square[3] < p.square[2]) std::swap(p.square[2], p.square[3]);
  }

  // Turns p into its stored form and returns its entry: the king's mirror image, like men
  // in square order, and on the diagonal the form of the smaller entry.
  uint32_t Canonical(Men& p) const {
    Mirror(p, EgbbKingMirror[pawns][p.square[0]]);
    uint32_t entry = Index(p);
    if (!pawns && EgbbOnDiagonal(p.square[0])) {
      Men mirrored = p;
      Mirror(mirrored, EgbbDiagonalMirror);
      if (const uint32_t other = Index(mirrored); other < entry) p = mirrored, entry = other;
    }
    return entry;
  }

  // A stored position that the diagonal reflection leaves as it is.
  bool SelfMirrored(const Men& p) const {
    auto d = [](int s) { return int(EgbbMirrors[EgbbDiagonalMirror][s]); };
    if (pawns || d(p.square[0]) != p.square[0] || d(p.square[1]) != p.square[1]) return false;
    if (count == 3) return d(p.square[2]) == p.square[2];
    return alike ? std::minmax(d(p.square[2]), d(p.square[3])) == std::minmax(p.square[2], p.square[3])
                 : d(p.square[2]) == p.square[2] && d(p.square[3]) == p.square[3];
  }

  Bits Occupied(const Men& p) const {
    Bits b = 0;
    for (int m = 0; m < count; m++) b |= One(p.square[m]);
    return b;
  }

  // The generic form of a position reached by a move, for the tables it leads to.
  EgbbPosition Generic(const Men& p) const {
    EgbbPosition g{p.side, count, {}, {}};
    for (int m = 0; m < count; m++) g.code[m] = code[m], g.square[m] = p.square[m];
    return g;
  }
};

// Value of a position from a table already in memory (two kings alone: drawn).
uint8_t StoredValue(const EgbbPosition& p) {
  EgbbLocation where;
  if (!EgbbLocate(p, where)) return EgbbNoEntry;
  return where.table < 0 ? EgbbDraw : Values[where.table][where.index];
}

// The mover's value of a move to a position of value v: one ply further, the other result.
uint8_t Backed(uint8_t v) { return EgbbIsDistance(v) ? EgbbDistanceValue(EgbbDistance(v) + 1) : v; }
// Order of values for the side to move: short wins, then draws, then long losses.
int Preference(uint8_t v) {
  if (!EgbbIsDistance(v)) return 0;
  int plies = EgbbDistance(v);
  return plies % 2 ? 1000 - plies : plies - 1000;
}

// What the side to move can do in a legal position.
struct Survey {
  int moves = 0;              // legal moves that stay in the table
  bool any = false;           // any legal move at all
  uint8_t exit = EgbbNoEntry;  // best capture or promotion, EgbbNoEntry for none
};

// Moves of the side to move: counts the ones within the table with whole bitboards (a move is
// legal when no enemy man attacks the king afterwards), values captures and promotions one by one.
Survey Explore(const Layout& t, const Men& p) {
  const int us = p.side, king = p.square[us];
  const Bits occupied = t.Occupied(p);
  Bits enemies = 0;
  for (int m = 2; m < t.count; m++)
    if (t.colour[m] != us) enemies |= One(p.square[m]);
  Survey survey;
  // Leaves for the table of a capture or promotion: man m to square to, a promotion's code.
  auto exit = [&](int m, int to, int promotion) {
    EgbbPosition child = t.Generic(p);
    child.side ^= 1;
    child.square[m] = to;
    if (promotion) child.code[m] = promotion;
    for (int c = 2; c < child.count; c++)
      if (c != m && child.square[c] == to) {
        child.count--;
        child.code[c] = child.code[child.count];
        child.square[c] = child.square[child.count];
      }
    const uint8_t v = Backed(StoredValue(child));
    if (survey.exit == EgbbNoEntry || Preference(v) > Preference(survey.exit)) survey.exit = v;
    survey.any = true;
  };
  // The king: to squares no enemy man attacks once the king has left its square.
  const Bits lifted = occupied ^ One(king);
  Bits guarded = Geo.king[p.square[us ^ 1]];
  for (int m = 2; m < t.count; m++)
    if (t.colour[m] != us) guarded |= Attacks(t.kind[m], t.colour[m], p.square[m], lifted);
  survey.moves += std::popcount(Geo.king[king] & ~occupied & ~guarded);
  for (Bits captures = Geo.king[king] & enemies & ~guarded; captures; captures &= captures - 1)
    exit(us, std::countr_zero(captures), 0);
  // The other men: a move must end the attacks on the king that its leaving opens or leaves.
  for (int m = 2; m < t.count; m++) {
    if (t.colour[m] != us) continue;
    const int from = p.square[m];
    const Bits vacated = occupied ^ One(from);
    Bits blocks = ~Bits(0), capturable = enemies;
    for (int e = 2; e < t.count; e++)
      if (t.colour[e] != us && (Attacks(t.kind[e], t.colour[e], p.square[e], vacated) & One(king))) {
        blocks &= Geo.between[king][p.square[e]];
        capturable &= One(p.square[e]);
      }
    if (t.kind[m] != EgbbPawn) {
      const Bits targets = Attacks(t.kind[m], t.colour[m], from, occupied);
      survey.moves += std::popcount(targets & ~occupied & blocks);
      for (Bits captures = targets & capturable; captures; captures &= captures - 1)
        exit(m, std::countr_zero(captures), 0);
      continue;
    }
    const int ahead = us ? -8 : 8, promotion = EgbbRankOf(from + ahead) == (us ? 0 : 7);
    Bits pushes = occupied & One(from + ahead) ? 0 : One(from + ahead);
    if (pushes && EgbbRankOf(from) == (us ? 6 : 1) && !(occupied & One(from + 2 * ahead))) pushes |= One(from + 2 * ahead);
    const Bits moves = (pushes & blocks) | (Geo.pawn[us][from] & capturable);
    for (Bits b = moves; b; b &= b - 1) {
      const int to = std::countr_zero(b);
      if (promotion)
        for (int kind = EgbbQueen; kind <= EgbbKnight; kind++) exit(m, to, kind + (us ? EgbbBlack : 0));
      else if (enemies & One(to))
        exit(m, to, 0);
      else
        survey.moves++;
    }
  }
  survey.any = survey.any || survey.moves > 0;
  return survey;
}

// Pieces of the side to move attack the other king.
bool Attacking(const Layout& t, const Men& p, int side, Bits occupied) {
  for (int m = 2; m < t.count; m++)
    if (t.colour[m] == side && (Attacks(t.kind[m], side, p.square[m], occupied) & One(p.square[side ^ 1]))) return true;
  return false;
}

// One bit per entry: the legal positions not yet settled.
struct OpenSet {
  std::vector<uint64_t> words;

  void Reset(uint64_t size) { words.assign(size / 64 + 2, 0); }
  bool Has(uint32_t i) const { return words[i >> 6] >> (i & 63) & 1; }
  void Add(uint32_t i) { words[i >> 6] |= uint64_t(1) << (i & 63); }
  void Remove(uint32_t i) { words[i >> 6] &= ~(uint64_t(1) << (i & 63)); }
  // The 64 bits from entry i on.
  uint64_t Window(uint32_t i) const {
    const uint32_t shift = i & 63;
    const uint64_t low = words[i >> 6] >> shift;
    return shift ? low | words[(i >> 6) + 1] << (64 - shift) : low;
  }
};

// Squares of the white king that keep a position's stored form: no mirror image, and off the
// diagonal in tables without pawns.
constexpr std::array<Bits, 2> KingKeepsForm = [] {
  std::array<Bits, 2> squares{};
  for (int s = 0; s < 64; s++) {
    if (EgbbKingMirror[0][s] == 0 && !EgbbOnDiagonal(s)) squares[0] |= One(s);
    if (EgbbKingMirror[1][s] == 0) squares[1] |= One(s);
  }
  return squares;
}();

struct Retrograde {
  const Layout t;
  std::vector<uint8_t>& values;
  // Of each open position, read together: its moves within the table not yet known to lose
  // and its best capture or promotion, EgbbNoEntry for none.
  struct Pending {
    uint8_t moves, exit;
  };
  std::vector<Pending> pending;
  OpenSet open, openTransposed;  // the second by transposed entries, for the first of four men
  std::vector<std::vector<uint32_t>> due;  // positions whose best exit wins or loses at a level
  std::vector<uint32_t> next;              // positions settled for the next level
  std::vector<uint32_t> sorted;            // room for sorting a level's positions
  uint64_t positions = 0;

  // A legal stored position gets its moves counted and exits valued; mates start the
  // frontier, the others stay open. Anything else is no entry.
  void Initialise(const Men& p, uint32_t index) {
    const Bits occupied = t.Occupied(p);
    const int wk = p.square[0], bk = p.square[1];
    Men stored = p;
    if (std::popcount(occupied) != t.count || (Geo.king[wk] & One(bk)) || (t.alike && p.square[3] < p.square[2]) ||
        (!t.pawns && EgbbOnDiagonal(wk) && t.Canonical(stored) != index) || Attacking(t, p, p.side, occupied)) {
      values[index] = EgbbNoEntry;
      return;
    }
    positions++;
    const Survey survey = Explore(t, p);
    pending[index] = {uint8_t(survey.moves), survey.exit};
    if (EgbbIsDistance(survey.exit)) due[EgbbDistance(survey.exit)].push_back(Pack(p));
    if (!survey.any && Attacking(t, p, p.side ^ 1, occupied)) {
      values[index] = EgbbDistanceValue(0);
      next.push_back(Pack(p));
    } else {
      Open(p, index);
    }
  }

  void Open(const Men& p, uint32_t entry) {
    open.Add(entry);
    if (t.count == 4) openTransposed.Add(t.Transposed(entry, p));
  }

  void Close(const Men& p, uint32_t entry, int level) {
    values[entry] = EgbbDistanceValue(level);
    open.Remove(entry);
    if (t.count == 4) openTransposed.Remove(t.Transposed(entry, p));
  }

  void Settled(const Men& p, uint32_t entry, int level) {
    Close(p, entry, level);
    next.push_back(Pack(p));
  }

  // An open predecessor of a lost position is won; one of a won position loses its share of
  // moves, and is lost once no move is left and no exit is better.
  void Settle(const Men& parent, uint32_t entry, int level, int share) {
    if (level % 2 == 1) {
      Pending& p = pending[entry];
      p.moves = uint8_t(p.moves - share);
      const uint8_t exit = p.exit;
      if (p.moves != 0 || (exit != EgbbNoEntry && (Preference(exit) >= 0 || EgbbDistance(exit) > level + 1)))
        return;
    }
    Settled(parent, entry, level + 1);
  }

  // Predecessors whose stored form may be another mirror image: each put in its stored form.
  // The diagonal reflection pairs the moves of positions it keeps: such a predecessor reaches
  // c by two mirrored moves, met here as one un-move, which takes both moves; when it keeps c,
  // c meets each other predecessor twice, as itself and as its image, and takes one of the two.
  void SettleMirrored(const Men& c, int m, Bits from, int level) {
    const bool kept = t.SelfMirrored(c);
    const auto& diagonal = EgbbMirrors[EgbbDiagonalMirror];
    const int to = c.square[m];
    for (; from; from &= from - 1) {
      const int origin = std::countr_zero(from);
      Men parent = c;
      parent.side ^= 1;
      parent.square[m] = origin;
      const uint32_t entry = t.Canonical(parent);
      if (!open.Has(entry)) continue;
      const bool parentKept = t.SelfMirrored(parent);
      if (kept && !parentKept && std::pair<int, int>(diagonal[to], diagonal[origin]) < std::pair(to, origin)) continue;
      Settle(parent, entry, level, parentKept && !kept ? 2 : 1);
    }
  }

  // Predecessors by a man other than the white king of a position whose white king stands on
  // the diagonal (a table without pawns or men of like code): stored as they are or reflected,
  // whichever entry is smaller, both entries found by stride arithmetic from base (c's squares,
  // the other side to move). The pairing of mirrored moves is SettleMirrored's.
  void SettleOnDiagonal(const Men& c, int m, Bits from, uint32_t base, int level) {
    const auto& diagonal = EgbbMirrors[EgbbDiagonalMirror];
    Men parent = c, reflected = c;
    parent.side = reflected.side = c.side ^ 1;
    t.Mirror(reflected, EgbbDiagonalMirror);
    const int to = c.square[m];
    const uint32_t first = base - uint32_t(t.Offset(m, to)) * t.stride[m];
    const uint32_t reflectedBase = t.Index(reflected);
    const uint32_t reflectedFirst = reflectedBase - uint32_t(t.Offset(m, diagonal[to])) * t.stride[m];
    const bool kept = base == reflectedBase;
    for (; from; from &= from - 1) {
      const int origin = std::countr_zero(from);
      const uint32_t own = first + uint32_t(t.Offset(m, origin)) * t.stride[m];
      const uint32_t image = reflectedFirst + uint32_t(t.Offset(m, diagonal[origin])) * t.stride[m];
      const uint32_t entry = std::min(own, image);
      if (!open.Has(entry)) continue;
      const bool parentKept = own == image;
      if (kept && !parentKept && std::pair<int, int>(diagonal[to], diagonal[origin]) < std::pair(to, origin)) continue;
      Men stored = own <= image ? parent : reflected;
      stored.square[m] = own <= image ? origin : diagonal[origin];
      Settle(stored, entry, level, parentKept && !kept ? 2 : 1);
    }
  }

  // Of the squares of man m, those where it makes an open entry with the other men of c,
  // given the entry of its lowest square: the last man's read from the open set in one word,
  // the first of four men's from the transposed set, the kings' bit by bit.
  Bits OpenSquares(const Men& c, int m, uint32_t first, Bits squares) const {
    if (m == t.count - 1) return open.Window(first) << t.low[m];
    if (m == 2) {
      const Men lowest{c.side ^ 1, {c.square[0], c.square[1], t.low[2], c.square[3]}};
      return openTransposed.Window(t.Transposed(first, lowest)) << t.low[m];
    }
    Bits found = 0;
    for (; squares; squares &= squares - 1) {
      const int s = std::countr_zero(squares);
      found |= Bits(open.Has(first + uint32_t(t.Offset(m, s)) * t.stride[m])) << s;
    }
    return found;
  }

  // The predecessors of a stored position c: each man of the side that just moved taken back
  // to an empty square. Unless the white king leaves the region where it keeps the stored form,
  // a man of like code passes the other, or the white king stands on the diagonal of a table
  // without pawns, a predecessor is stored as it is, its entry c's with one man's square
  // changed; the open ones among the last two men's predecessors are read 64 at a time.
  // On the diagonal, the other men's predecessors have two forms to choose from.
  void Propagate(uint32_t packed, int level) {
    const Men c = Unpack(packed);
    const int mover = c.side ^ 1;
    const Bits occupied = t.Occupied(c);
    const bool plain = t.pawns || !EgbbOnDiagonal(c.square[0]);
    Men parent = c;
    parent.side = mover;
    const uint32_t base = t.Index(parent);
    for (int m = 0; m < t.count; m++) {
      if (t.colour[m] != mover) continue;
      const int to = c.square[m];
      Bits from = t.kind[m] == EgbbPawn ? PawnOrigins(to, mover, occupied)
                                        : Attacks(t.kind[m], mover, to, occupied) & ~occupied;
      if (!plain && !t.alike && m > 0) {
        SettleOnDiagonal(c, m, from, base, level);
        continue;
      }
      Bits direct = m == 0 ? from & KingKeepsForm[t.pawns] : plain ? from : 0;
      if (t.alike && m >= 2) direct &= m == 2 ? One(c.square[3]) - 1 : ~(One(c.square[2]) * 2 - 1);
      if (from & ~direct) SettleMirrored(c, m, from & ~direct, level);
      const uint32_t first = base - uint32_t(t.Offset(m, to)) * t.stride[m];  // the man on its lowest square
      direct &= OpenSquares(c, m, first, direct);
      for (; direct; direct &= direct - 1) {
        const int origin = std::countr_zero(direct);
        parent.square[m] = origin;
        Settle(parent, first + uint32_t(t.Offset(m, origin)) * t.stride[m], level, 1);
      }
      parent.square[m] = to;
    }
  }

  // Every entry in index order, counting bits with the processor's instruction where it has one.
  static POPCOUNT_CLONES void InitialiseAll(Retrograde& work) {
    const Layout& t = work.t;
    uint32_t index = 0;
    Men p{};
    for (p.side = 0; p.side < 2; p.side++)
      for (int slot = 0; slot < t.range[0]; slot++) {
        p.square[0] = int(std::find(EgbbKingSlot[t.pawns].begin(), EgbbKingSlot[t.pawns].end(), slot) -
                          EgbbKingSlot[t.pawns].begin());
        for (p.square[1] = 0; p.square[1] < 64; p.square[1]++)
          for (p.square[2] = t.low[2]; p.square[2] < t.low[2] + t.range[2]; p.square[2]++)
            for (p.square[3] = t.low[3]; p.square[3] < t.low[3] + t.range[3]; p.square[3]++)
              work.Initialise(p, index++);
      }
  }

  // Orders positions as their entries (packed positions sort alike: side, white king, black king,
  // men), so that their predecessors are reached in the order of memory, by two passes of a radix
  // sort over the 25 bits.
  void SortByEntry(std::vector<uint32_t>& positions) {
    constexpr int DigitBits = 13, Digits = 1 << DigitBits;
    sorted.resize(positions.size());
    for (int shift : {0, DigitBits}) {
      std::vector<uint32_t> starts(Digits, 0);
      for (uint32_t x : positions) starts[x >> shift & (Digits - 1)]++;
      uint32_t sum = 0;
      for (uint32_t& start : starts) sum += std::exchange(start, sum);
      for (uint32_t x : positions) sorted[starts[x >> shift & (Digits - 1)]++] = x;
      positions.swap(sorted);
    }
  }

  // Level by level from the mates; returns the longest distance found.
  int Run() {
    const uint64_t size = EgbbTables[t.table].size;
    values.assign(size, EgbbDraw);
    pending.assign(size, {0, EgbbNoEntry});
    open.Reset(size);
    openTransposed.Reset(t.count == 4 ? size : 0);
    due.assign(EgbbMaxDistance + 1, {});
    InitialiseAll(*this);
    int longest = 0;
    std::vector<uint32_t> frontier;
    for (int level = 0; level < EgbbMaxDistance; level++) {
      frontier.swap(next);
      next.clear();
      for (uint32_t packed : due[level]) {
        const uint32_t index = t.Index(Unpack(packed));
        if (open.Has(index) && (level % 2 == 1 || pending[index].moves == 0)) {
          Close(Unpack(packed), index, level);
          frontier.push_back(packed);
        }
      }
      if (!frontier.empty()) longest = level;
      SortByEntry(frontier);
      for (uint32_t packed : frontier) Propagate(packed, level);
    }
    return longest;
  }
};

// A position of the material of a table with the men's codes replaced, for finding the
// tables its captures and promotions lead to; -1 for the kings alone.
int TableOfMen(int count, const int* codes) {
  EgbbPosition p{0, 2 + count, {EgbbKing, EgbbKing + EgbbBlack, 0, 0}, {0, 63, 17, 35}};
  for (int m = 0; m < count; m++) p.code[2 + m] = codes[m];
  EgbbLocation where;
  EgbbLocate(p, where);
  return where.table;
}

// Tables reached by captures (removing men) and promotions (pawns becoming other men).
std::vector<int> Successors(int table) {
  const EgbbTable& t = EgbbTables[table];
  std::vector<int> found;
  for (int keep = 1; keep < (1 << t.men); keep++) {  // the men left after captures
    for (int promote = 0; promote < 25; promote++) {  // per man 0: unchanged, 1 to 4: queen to knight
      int codes[2], count = 0;
      bool possible = true;
      for (int m = 0; m < t.men; m++) {
        const int choice = m ? promote / 5 : promote % 5;
        const bool kept = keep >> m & 1;
        if (choice && (!kept || EgbbKindOf(t.code[m]) != EgbbPawn)) possible = false;
        if (kept) codes[count++] = choice ? t.code[m] - EgbbPawn + EgbbQueen + choice - 1 : t.code[m];
      }
      const int successor = TableOfMen(count, codes);
      if (possible && successor != table && std::find(found.begin(), found.end(), successor) == found.end())
        found.push_back(successor);
    }
  }
  return found;
}

bool FileUsable(const std::string& directory, int table) {
  EgbbFile file;
  bool usable = EgbbOpenFile(directory, table, false, file);
  EgbbCloseFile(file);
  return usable;
}

// A whole table from its file into memory.
bool ReadValues(const std::string& directory, int table) {
  EgbbFile file;
  if (!EgbbOpenFile(directory, table, true, file)) return false;
  Values[table].assign(EgbbTables[table].size, 0);
  bool read = true;
  for (uint32_t b = 0; b < file.blocks && read; b++)
    read = EgbbReadBlock(file, b, Values[table].data() + uint64_t(b) * EgbbBlockEntries);
  if (!read) Values[table].clear();
  return read;
}

// The file of the table made last is compressed and written while the next one is made; one
// write at a time, each reported when done.
class Writer {
 public:
  // Waits for the write in progress; false when it failed.
  bool Finish() {
    if (thread_.joinable()) thread_.join();
    table_ = -1;
    return !failed_;
  }
  // Starts writing a table made in `seconds` once the previous write is done.
  bool Start(const std::string& directory, int table, uint64_t positions, int longest, double seconds) {
    if (!Finish()) return false;
    table_ = table;
    thread_ = std::thread([=, this] {
      const auto start = std::chrono::steady_clock::now();
      if (!EgbbWriteFile(directory, table, Values[table])) {
        std::printf("%s: cannot write %s\n", EgbbTables[table].name, EgbbFileName(directory, table).c_str());
        failed_ = true;
        return;
      }
      const double total = seconds + std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("%s: %" PRIu64 " positions, longest mate %d plies, %.1f s\n", EgbbTables[table].name, positions,
                  longest, total);
      std::fflush(stdout);
    });
    return true;
  }
  int Table() const { return table_; }  // the table being written, -1 for none
  ~Writer() { Finish(); }

 private:
  std::thread thread_;
  int table_ = -1;
  bool failed_ = false;
};
Writer TableWriter;

bool Make(const std::string& directory, int table);

// The table in memory: read from its file, or made.
bool Require(const std::string& directory, int table) {
  return !Values[table].empty() || ReadValues(directory, table) || Make(directory, table);
}

// Generates a table after the tables it leads to and writes its file.
bool Make(const std::string& directory, int table) {
  for (int successor : Successors(table))
    if (successor >= 0 && !Require(directory, successor)) return false;
  const auto start = std::chrono::steady_clock::now();
  Retrograde work{Layout(table), Values[table], {}, {}, {}, {}, {}, {}};
  const int longest = work.Run();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return TableWriter.Start(directory, table, work.positions, longest, seconds);
}

// Frees the tables that no wanted table from `first` on leads to, except the one being written.
void Release(const std::vector<bool>& wanted, int first) {
  std::vector<bool> needed(EgbbTableCount, false);
  for (int t = first; t < EgbbTableCount; t++)
    if (wanted[t])
      for (int successor : Successors(t))
        if (successor >= 0) needed[successor] = true;
  for (int t = 0; t < EgbbTableCount; t++)
    if (!needed[t] && t != TableWriter.Table()) std::vector<uint8_t>().swap(Values[t]);
}

}  // namespace

bool EgbbGenerate(const std::string& directory, const std::vector<std::string>& names) {
  std::vector<bool> wanted(EgbbTableCount, names.empty());
  for (const std::string& name : names) {
    int table = EgbbFindTable(name);
    if (table < 0) {
      std::printf("unknown table: %s\n", name.c_str());
      return false;
    }
    wanted[table] = true;
  }
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  for (int t = 0; t < EgbbTableCount; t++) {
    if (!wanted[t] || !Values[t].empty() || FileUsable(directory, t)) continue;
    Release(wanted, t);
    if (!Make(directory, t)) {
      TableWriter.Finish();
      return false;
    }
  }
  return TableWriter.Finish();
}
