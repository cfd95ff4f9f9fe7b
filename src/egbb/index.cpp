// Indexing of the tables: the catalogue of endings, the stored form of a position (colours
// exchanged so that white is stronger, mirror images, like men in square order) and its
// entry number.
#include <algorithm>
#include <utility>
#include "egbb/egbb.h"

namespace {

constexpr char KindLetter[] = "?kqrbnp";

// Squares a man may take in an entry number: pawns stand on ranks 2 to 7 only.
constexpr int Range(int code) { return EgbbKindOf(code) == EgbbPawn ? 48 : 64; }
constexpr int Lowest(int code) { return EgbbKindOf(code) == EgbbPawn ? 8 : 0; }

// A table of one man (code2 0) or two, white's written first.
constexpr EgbbTable MakeTable(int code1, int code2) {
  EgbbTable t{};
  int n = 0;
  t.name[n++] = 'k';
  for (int code : {code1, code2})
    if (code && !EgbbIsBlack(code)) t.name[n++] = KindLetter[code];
  t.name[n++] = 'k';
  if (EgbbIsBlack(code2)) t.name[n++] = KindLetter[EgbbKindOf(code2)];
  t.men = code2 ? 2 : 1;
  t.code[0] = code1;
  t.code[1] = code2;
  bool pawns = EgbbKindOf(code1) == EgbbPawn || EgbbKindOf(code2) == EgbbPawn;
  t.kingSlots = pawns ? 32 : 10;
  t.size = uint64_t(2) * t.kingSlots * 64 * Range(code1) * (code2 ? Range(code2) : 1);
  return t;
}

// Three men first, then four without pawns, with one pawn, with two: promotions lead to
// tables with fewer pawns, captures to three men.
constexpr std::array<EgbbTable, EgbbTableCount> BuildCatalogue() {
  std::array<EgbbTable, EgbbTableCount> tables{};
  int n = 0;
  for (int a = EgbbQueen; a <= EgbbPawn; a++) tables[n++] = MakeTable(a, 0);
  for (int pawns = 0; pawns <= 2; pawns++)
    for (int a = EgbbQueen; a <= EgbbPawn; a++)
      for (int b = a; b <= EgbbPawn; b++) {
        if ((a == EgbbPawn) + (b == EgbbPawn) != pawns) continue;
        tables[n++] = MakeTable(a, b);
        tables[n++] = MakeTable(a, b + EgbbBlack);
      }
  return tables;
}

constexpr auto Catalogue = BuildCatalogue();

}  // namespace

constinit const std::array<EgbbTable, EgbbTableCount> EgbbTables = Catalogue;

namespace {

// Table number by the codes of its men in index order (second code 0 for three men).
constexpr std::array<std::array<int8_t, 13>, 7> BuildTableByCodes() {
  std::array<std::array<int8_t, 13>, 7> byCodes{};
  for (auto& row : byCodes) row.fill(-1);
  for (int t = 0; t < EgbbTableCount; t++) byCodes[Catalogue[t].code[0]][Catalogue[t].code[1]] = int8_t(t);
  return byCodes;
}
constexpr auto TableByCodes = BuildTableByCodes();

void MapSquares(EgbbPosition& p, int mirror) {
  for (int m = 0; m < p.count; m++) p.square[m] = EgbbMirrors[mirror][p.square[m]];
}

bool ValidCode(int code, int m) {
  if (m < 2) return code == (m == 0 ? EgbbKing : EgbbKing + EgbbBlack);
  return code >= EgbbQueen && code <= EgbbPawn + EgbbBlack && EgbbKindOf(code) != EgbbKing;
}

// Side, codes and squares in range, men on distinct squares, no pawn on the first or last
// rank, kings not touching.
bool Plausible(const EgbbPosition& p) {
  if ((p.side != 0 && p.side != 1) || p.count < 2 || p.count > EgbbMaxMen) return false;
  for (int m = 0; m < p.count; m++) {
    int s = p.square[m];
    if (!ValidCode(p.code[m], m) || s < 0 || s > 63) return false;
    if (EgbbKindOf(p.code[m]) == EgbbPawn && (EgbbRankOf(s) == 0 || EgbbRankOf(s) == 7)) return false;
    for (int other = 0; other < m; other++)
      if (p.square[other] == s) return false;
  }
  int files = EgbbFileOf(p.square[0]) - EgbbFileOf(p.square[1]), ranks = EgbbRankOf(p.square[0]) - EgbbRankOf(p.square[1]);
  return files * files > 1 || ranks * ranks > 1;
}

// White must hold the stronger material: more men, or the stronger of two single men.
bool ColoursExchanged(const EgbbPosition& p) {
  int white = 0, black = 0, whiteKind = 0, blackKind = 0;
  for (int m = 2; m < p.count; m++) {
    if (EgbbIsBlack(p.code[m])) black++, blackKind = EgbbKindOf(p.code[m]);
    else white++, whiteKind = p.code[m];
  }
  return black > white || (black == 1 && white == 1 && blackKind < whiteKind);
}

void ExchangeColours(EgbbPosition& p) {
  p.side ^= 1;
  std::swap(p.square[0], p.square[1]);
  MapSquares(p, 2);
  for (int m = 2; m < p.count; m++) p.code[m] += EgbbIsBlack(p.code[m]) ? -EgbbBlack : EgbbBlack;
}

// Men in index order: by code (white before black, stronger first), like men by square.
void OrderMen(EgbbPosition& p) {
  if (p.count == 4 && std::pair(p.code[3], p.square[3]) < std::pair(p.code[2], p.square[2])) {
    std::swap(p.code[2], p.code[3]);
    std::swap(p.square[2], p.square[3]);
  }
}

uint64_t EntryNumber(const EgbbTable& t, const EgbbPosition& p) {
  uint64_t i = uint64_t(p.side) * t.kingSlots + EgbbKingSlot[t.kingSlots == 32][p.square[0]];
  i = i * 64 + p.square[1];
  for (int m = 2; m < p.count; m++) i = i * Range(p.code[m]) + (p.square[m] - Lowest(p.code[m]));
  return i;
}

// The entry of the stored mirror image: white king on files a-d, and without pawns in the
// triangle a1-d1-d4, the smaller entry of the two forms when it stands on the diagonal.
uint64_t CanonicalEntry(const EgbbTable& t, EgbbPosition& p) {
  const bool pawns = t.kingSlots == 32;
  MapSquares(p, EgbbKingMirror[pawns][p.square[0]]);
  OrderMen(p);
  uint64_t entry = EntryNumber(t, p);
  if (!pawns && EgbbOnDiagonal(p.square[0])) {
    EgbbPosition mirrored = p;
    MapSquares(mirrored, EgbbDiagonalMirror);
    OrderMen(mirrored);
    entry = std::min(entry, EntryNumber(t, mirrored));
  }
  return entry;
}

}  // namespace

int EgbbFindTable(const std::string& name) {
  for (int t = 0; t < EgbbTableCount; t++)
    if (name == EgbbTables[t].name) return t;
  return -1;
}

bool EgbbLocate(const EgbbPosition& position, EgbbLocation& where) {
  if (!Plausible(position)) return false;
  if (position.count == 2) {
    where = {-1, 0};
    return true;
  }
  EgbbPosition p = position;
  if (ColoursExchanged(p)) ExchangeColours(p);
  OrderMen(p);
  int table = TableByCodes[p.code[2]][p.count == 4 ? p.code[3] : 0];
  where = {table, CanonicalEntry(EgbbTables[table], p)};
  return true;
}

int EgbbScore(uint8_t value) {
  if (value == EgbbDraw) return 0;
  if (!EgbbIsDistance(value)) return EgbbNoAnswer;
  int plies = EgbbDistance(value), score = 17000 - 10 * plies;
  return plies % 2 ? score : -score;
}
