// Move ordering: lifting of hash move and killers, lazy best-first selection,
// and the killer, history and cut-off statistics learned from beta cut-offs.
#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include "search/search.h"

int32_t HistoryTable[2][4096];
uint64_t CutoffCount[12][64];
uint64_t TryCount[12][64];

namespace {

constexpr int32_t HistoryKeyOffset = 33000;

// Index into the statistics tables: piece code 1-12 by destination square.
inline int StatIndex(int piece) { return piece - 1; }

// Keeps the counters clear of overflow: every entry of both tables is quartered once a try count saturates.
inline void GuardSaturation(int piece, int to) {
  if (TryCount[StatIndex(piece)][to] != std::numeric_limits<uint64_t>::max()) return;
  for (int p = 0; p < 12; ++p)
    for (int s = 0; s < 64; ++s) {
      CutoffCount[p][s] /= 4;
      TryCount[p][s] /= 4;
    }
}

inline void CountTry(int piece, int to) {
  GuardSaturation(piece, to);
  ++TryCount[StatIndex(piece)][to];
}

// Swaps the entry at i (and its history key) to position p.
inline void SwapToFront(PlyRecord* r, MoveEntry* p, MoveEntry* i) {
  std::swap(*p, *i);
  std::swap(r->OrderKeys[p - r->ListStart], r->OrderKeys[i - r->ListStart]);
}

// The first entry with the greatest score in [p, end).
inline MoveEntry* GreatestScore(MoveEntry* p, MoveEntry* end) {
  MoveEntry* best = p;
  for (MoveEntry* e = p + 1; e < end; ++e)
    if (e->Score > best->Score) best = e;
  return best;
}

// The first entry with the greatest history key in [p, end).
inline MoveEntry* GreatestKey(const PlyRecord* r, MoveEntry* p, MoveEntry* end) {
  const uint32_t* keys = r->OrderKeys;
  MoveEntry* best = p;
  for (MoveEntry* e = p + 1; e < end; ++e)
    if (keys[e - r->ListStart] > keys[best - r->ListStart]) best = e;
  return best;
}

// Ordering keys of the remaining quiet moves: history of the move for the side to move plus its generator score.
inline void ComputeHistoryKeys(PlyRecord* r, MoveEntry* p) {
  const int32_t* history = HistoryTable[Position.SideToMove];
  for (MoveEntry* e = p; e < r->ListEnd; ++e)
    r->OrderKeys[e - r->ListStart] =
        static_cast<uint32_t>(history[e->Move & 0xFFF] + e->Score + HistoryKeyOffset);
}

}  // namespace

void ResetOrderingStatistics() {
  std::memset(HistoryTable, 0, sizeof(HistoryTable));
  std::fill(&CutoffCount[0][0], &CutoffCount[0][0] + 12 * 64, 1);
  std::fill(&TryCount[0][0], &TryCount[0][0] + 12 * 64, 1);
}

void ClearKillers() {
  for (PlyRecord& r : PlyRecords) r.Killer1 = r.Killer2 = 0;
}

void LiftHashAndKillers(PlyRecord* r, int limit) {
  for (MoveEntry* e = r->ListStart; e < r->ListEnd; ++e) {
    if (e->Score > limit) continue;
    if (e->Move == r->HashMove) e->Score = ScoreHashMove;
    else if (e->Move == r->Killer1) e->Score = ScoreKiller1;
    else if (e->Move == r->Killer2) e->Score = ScoreKiller2;
  }
}

void LiftQuiesceMoves(PlyRecord* r) {
  for (MoveEntry* e = r->ListStart; e < r->ListEnd; ++e) {
    if (e->Score > LiftLimit) continue;
    if (e->Move == r->HashMove) e->Score = ScoreHashMove;
    else if (e->Move == r->Killer1) e->Score = static_cast<int16_t>(e->Score + 1500);
    else if (e->Move == r->Killer2) e->Score = static_cast<int16_t>(e->Score + 1000);
  }
}

MoveEntry* SelectMove(PlyRecord* r, bool& historyPhase) {
  MoveEntry* p = r->Current;
  if (p >= r->ListEnd) return nullptr;
  r->Current = p + 1;
  if (!historyPhase) {
    std::swap(*p, *GreatestScore(p, r->ListEnd));
    if (p->Score >= HistoryPhase) return p;
    historyPhase = true;
    ComputeHistoryKeys(r, p);
  }
  SwapToFront(r, p, GreatestKey(r, p, r->ListEnd));
  return p;
}

MoveEntry* SelectByScore(PlyRecord* r) {
  MoveEntry* p = r->Current;
  if (p >= r->ListEnd) return nullptr;
  std::swap(*p, *GreatestScore(p, r->ListEnd));
  r->Current = p + 1;
  return p;
}

void LearnKiller(PlyRecord* r, Move move, bool anyMove) {
  int kind = MoveKind(move);
  bool learns = anyMove || kind == KindQuiet || kind >= KindBlackShortCastle;
  if (!learns || move == r->Killer1) return;
  r->Killer2 = r->Killer1;
  r->Killer1 = move;
}

void LearnCutoff(PlyRecord* r, const MoveEntry* cut, int depth, bool countEarlier) {
  Move move = cut->Move;
  LearnKiller(r, move, false);
  // Deep searches of quiet positions add up fast: the counter stops at its top instead of wrapping.
  int32_t& history = HistoryTable[Position.SideToMove][move & 0xFFF];
  history = static_cast<int32_t>(std::min<int64_t>(int64_t(history) + depth * depth, HistoryLimit));
  int piece = Position.Board[MoveFrom(move)];
  CountTry(piece, MoveTo(move));
  ++CutoffCount[StatIndex(piece)][MoveTo(move)];
  if (!countEarlier) return;
  for (const MoveEntry* e = r->ListStart; e < cut; ++e)
    if (e->Score > LiftLimit) CountTry(Position.Board[MoveFrom(e->Move)], MoveTo(e->Move));
}

bool ReduceByStatistics(int piece, int to) {
  uint64_t tries = TryCount[StatIndex(piece)][to];
  return tries == 1 || CutoffCount[StatIndex(piece)][to] * 100 / tries < 60;
}
