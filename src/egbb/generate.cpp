// The generator: retrograde analysis of each table from its mates, the captures and
// promotions valued by the tables they lead to, moves made with the engine's attack tables.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include "board/board.h"
#include "egbb/egbb.h"

namespace {

std::vector<uint8_t> Values[EgbbTableCount];  // tables generated or read in this run

constexpr int MaxSteps = 128;

// Engine bitboards keep the engine's square e = library square ^ 56 at bit 63 - e.
inline Bitboard Bit(int s) { return Bitboard(1) << (s ^ 7); }
inline int LowestLibrarySquare(Bitboard b) { return LowestSquare(b) ^ 56; }
inline int ColourOf(const EgbbPosition& p, int m) { return EgbbIsBlack(p.code[m]) ? 1 : 0; }

// The engine's slider tables read the global occupancies.
void SetOccupancy(const EgbbPosition& p) {
  Position.Occupied = Position.OccupiedR90 = Position.OccupiedR45 = Position.OccupiedL45 = 0;
  for (int m = 0; m < p.count; m++) {
    int e = p.square[m] ^ 56;
    Position.Occupied |= SquareMask[e];
    Position.OccupiedR90 |= SquareMaskR90[e];
    Position.OccupiedR45 |= SquareMaskR45[e];
    Position.OccupiedL45 |= SquareMaskL45[e];
  }
}

// Squares a man attacks under the current occupancy.
Bitboard Attacks(int code, int s) {
  int e = s ^ 56;
  switch (EgbbKindOf(code)) {
    case EgbbKing: return KingAttacks[e];
    case EgbbQueen: return QueenAttacksFrom(e);
    case EgbbRook: return RookAttacksFrom(e);
    case EgbbBishop: return BishopAttacksFrom(e);
    case EgbbKnight: return KnightAttacks[e];
    default: return PawnAttacks[EgbbIsBlack(code) ? Black : White][e];
  }
}

// The king of colour (0 white) stands attacked; the occupancy of p must be set.
bool KingAttacked(const EgbbPosition& p, int colour) {
  for (int m = 0; m < p.count; m++)
    if (ColourOf(p, m) != colour && (Attacks(p.code[m], p.square[m]) & Bit(p.square[colour]))) return true;
  return false;
}

struct Step {
  int man, to, promotion;  // promotion: the new code, 0 for none
};

// Pawn pushes of one square, and of two from the starting rank, to empty squares.
Bitboard PawnPushes(int s, int colour) {
  const int ahead = colour ? -8 : 8, one = s + ahead, two = s + 2 * ahead;
  if (Position.Occupied & Bit(one)) return 0;
  return Bit(one) | (EgbbRankOf(s) == (colour ? 6 : 1) && !(Position.Occupied & Bit(two)) ? Bit(two) : 0);
}

// Squares a pawn on s came from without capturing: one square back, or two back to its
// starting rank; never rank 1 or 8.
Bitboard PawnOrigins(int s, int colour) {
  const int back = colour ? 8 : -8, one = s + back, two = s + 2 * back;
  if (EgbbRankOf(one) == 0 || EgbbRankOf(one) == 7 || (Position.Occupied & Bit(one))) return 0;
  return Bit(one) | (EgbbRankOf(two) == (colour ? 6 : 1) && !(Position.Occupied & Bit(two)) ? Bit(two) : 0);
}

// Moves of the side to move before the test of its king: to empty or enemy squares, pawn
// pushes and captures, four promotions on the last rank.
int PseudoMoves(const EgbbPosition& p, Step* steps) {
  SetOccupancy(p);
  Bitboard own = 0, enemy = 0;
  for (int m = 0; m < p.count; m++) (ColourOf(p, m) == p.side ? own : enemy) |= Bit(p.square[m]);
  int n = 0;
  for (int m = 0; m < p.count; m++) {
    if (ColourOf(p, m) != p.side) continue;
    const int code = p.code[m], s = p.square[m];
    const bool pawn = EgbbKindOf(code) == EgbbPawn;
    Bitboard targets = pawn ? (Attacks(code, s) & enemy) | PawnPushes(s, p.side) : Attacks(code, s) & ~own;
    for (; targets; targets &= targets - 1) {
      int to = LowestLibrarySquare(targets);
      if (pawn && (EgbbRankOf(to) == 0 || EgbbRankOf(to) == 7)) {
        for (int kind = EgbbQueen; kind <= EgbbKnight; kind++) steps[n++] = {m, to, kind + (p.side ? EgbbBlack : 0)};
      } else {
        steps[n++] = {m, to, 0};
      }
    }
  }
  return n;
}

// The position after a step, the other side to move; converts tells of a capture or promotion.
EgbbPosition After(const EgbbPosition& p, const Step& step, bool& converts) {
  EgbbPosition child = p;
  int captured = -1;
  for (int m = 2; m < p.count; m++)
    if (p.square[m] == step.to) captured = m;
  child.square[step.man] = step.to;
  if (step.promotion) child.code[step.man] = step.promotion;
  if (captured >= 0) {
    child.count--;
    child.code[captured] = child.code[child.count];
    child.square[captured] = child.square[child.count];
  }
  child.side ^= 1;
  converts = step.promotion || captured >= 0;
  return child;
}

// Calls visit(child, converts) for each legal move of the side to move.
template <typename Visit>
void ForEachMove(const EgbbPosition& p, Visit visit) {
  Step steps[MaxSteps];
  const int n = PseudoMoves(p, steps);
  for (int i = 0; i < n; i++) {
    bool converts;
    EgbbPosition child = After(p, steps[i], converts);
    SetOccupancy(child);
    if (!KingAttacked(child, p.side)) visit(child, converts);
  }
}

// Calls visit(before) for each position from which the side not to move in c reached c
// without capturing or promoting: a man taken back to an empty square.
template <typename Visit>
void ForEachUnmove(const EgbbPosition& c, Visit visit) {
  SetOccupancy(c);
  const int mover = c.side ^ 1;
  Step steps[MaxSteps];
  int n = 0;
  for (int m = 0; m < c.count; m++) {
    if (ColourOf(c, m) != mover) continue;
    const int s = c.square[m];
    Bitboard from = EgbbKindOf(c.code[m]) == EgbbPawn ? PawnOrigins(s, mover) : Attacks(c.code[m], s) & ~Position.Occupied;
    for (; from; from &= from - 1) steps[n++] = {m, LowestLibrarySquare(from), 0};
  }
  for (int i = 0; i < n; i++) {
    EgbbPosition before = c;
    before.square[steps[i].man] = steps[i].to;
    before.side = mover;
    visit(before);
  }
}

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

// Sorts entries and keeps each once; returns how many remain.
int Unique(uint32_t* entries, int n) {
  std::sort(entries, entries + n);
  return int(std::unique(entries, entries + n) - entries);
}

struct Retrograde {
  int table;
  std::vector<uint8_t>& values;
  std::vector<uint8_t> moves;  // moves within the table not yet known to lose
  std::vector<uint8_t> exits;  // best capture or promotion, EgbbNoEntry for none
  std::vector<std::vector<uint32_t>> due;  // entries whose best exit wins or loses at a level
  std::vector<uint32_t> next;
  uint64_t positions = 0;

  // Legal entries get their moves counted and exits valued; mates start the frontier.
  void Initialise(uint64_t index) {
    EgbbPosition p;
    EgbbLocation where;
    EgbbDecode(table, index, p);
    SetOccupancy(p);
    if (!EgbbLocate(p, where) || where.index != index || KingAttacked(p, p.side ^ 1)) {
      values[index] = EgbbNoEntry;
      return;
    }
    positions++;
    uint32_t children[MaxSteps];
    int n = 0;
    bool anyMove = false;
    ForEachMove(p, [&](const EgbbPosition& child, bool converts) {
      anyMove = true;
      if (!converts) {
        EgbbLocate(child, where);
        children[n++] = uint32_t(where.index);
      } else if (uint8_t v = Backed(StoredValue(child)); exits[index] == EgbbNoEntry || Preference(v) > Preference(exits[index])) {
        exits[index] = v;
      }
    });
    moves[index] = uint8_t(Unique(children, n));
    if (EgbbIsDistance(exits[index])) due[EgbbDistance(exits[index])].push_back(uint32_t(index));
    SetOccupancy(p);
    if (!anyMove && KingAttacked(p, p.side)) {
      values[index] = EgbbDistanceValue(0);
      next.push_back(uint32_t(index));
    }
  }

  // A lost position makes its parents won; a won one takes a move from its parents, which
  // lose once no move is left and no exit is better.
  void Propagate(uint32_t index, int level) {
    EgbbPosition c;
    EgbbDecode(table, index, c);
    uint32_t parents[MaxSteps];
    int n = 0;
    ForEachUnmove(c, [&](const EgbbPosition& before) {
      EgbbLocation where;
      if (EgbbLocate(before, where) && values[where.index] == EgbbDraw) parents[n++] = uint32_t(where.index);
    });
    n = Unique(parents, n);
    for (int i = 0; i < n; i++) {
      uint32_t parent = parents[i];
      if (level % 2 == 0) {
        values[parent] = EgbbDistanceValue(level + 1);
        next.push_back(parent);
      } else if (--moves[parent] == 0 && (exits[parent] == EgbbNoEntry || (Preference(exits[parent]) < 0 &&
                                                                            EgbbDistance(exits[parent]) <= level + 1))) {
        values[parent] = EgbbDistanceValue(level + 1);
        next.push_back(parent);
      }
    }
  }

  // Level by level from the mates; returns the longest distance found.
  int Run() {
    const uint64_t size = EgbbTables[table].size;
    values.assign(size, EgbbDraw);
    moves.assign(size, 0);
    exits.assign(size, EgbbNoEntry);
    due.assign(EgbbMaxDistance + 1, {});
    for (uint64_t i = 0; i < size; i++) Initialise(i);
    int longest = 0;
    std::vector<uint32_t> frontier;
    for (int level = 0; level < EgbbMaxDistance; level++) {
      frontier.swap(next);
      next.clear();
      for (uint32_t index : due[level])
        if (values[index] == EgbbDraw && (level % 2 == 1 || moves[index] == 0)) {
          values[index] = EgbbDistanceValue(level);
          frontier.push_back(index);
        }
      if (!frontier.empty()) longest = level;
      for (uint32_t index : frontier) Propagate(index, level);
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
  Retrograde work{table, Values[table], {}, {}, {}, {}};
  const int longest = work.Run();
  if (!EgbbWriteFile(directory, table, Values[table])) {
    std::printf("%s: cannot write %s\n", EgbbTables[table].name, EgbbFileName(directory, table).c_str());
    return false;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %" PRIu64 " positions, longest mate %d plies, %.1f s\n", EgbbTables[table].name, work.positions,
              longest, seconds);
  std::fflush(stdout);
  return true;
}

}  // namespace

bool EgbbGenerate(const std::string& directory, const std::vector<std::string>& names) {
  InitTables();
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
  for (int t = 0; t < EgbbTableCount; t++)
    if (wanted[t] && !FileUsable(directory, t) && !Make(directory, t)) return false;
  return true;
}
