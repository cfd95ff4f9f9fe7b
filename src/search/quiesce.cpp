// Quiescence search: captures (all evasions when the side is known to be in check) below the horizon,
// with stand-pat, the transposition table and a depth and ply limit at which the evaluation decides.
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "search/search.h"

namespace {

constexpr int DeepestQuiescence = -6;  // below this depth the evaluation scores every capture
constexpr int DeepestPly = 132;        // beyond this ply likewise

// Neither side can mate: no pawns and less than four material units on the board.
bool BareMaterial() {
  return Position.TotalMaterial < 4 && Position.PawnCount[Black] == 0 && Position.PawnCount[White] == 0;
}

}  // namespace

int Quiesce(int depth, int ply, int alpha, int beta) {
  PlyRecord* r = CurrentPly;
  if (ProbeIntoRecord(r)) {
    if (EntryCutsOff(r, alpha, beta)) return r->HashScore;
    NarrowWindow(r, alpha, beta);
  }
  r->ListStart = (r - 1)->ListEnd;
  const int side = Position.SideToMove;
  const uint64_t key = Position.PositionKey;
  int bound = BoundUpper;

  // Only a side that was in check on this line in the full-width search is tested for check here.
  bool inCheck = false;
  if (CheckCount[side] != 0) {
    ComputeCheckers(&r->Check);
    inCheck = r->Check.checkers != 0;
  } else {
    r->Check.checkers = 0;
  }

  int best;
  Move bestMove;
  if (!inCheck) {
    int standPat = Evaluate();
    best = standPat;
    bestMove = MarkerStandPat;
    if (standPat > alpha) {
      if (standPat >= beta) {
        StoreTT(key, side, MarkerStandPat, standPat, 0, BoundLower);
        return standPat;
      }
      alpha = standPat;
    }
    r->ListEnd = GenerateCaptures(r->ListStart);
    if (r->ListEnd == r->ListStart) return best;
  } else {
    r->ListEnd = GenerateEvasions(r->ListStart, &r->Check);
    best = -ScoreInfinity;
    bestMove = MarkerNoBestMove;
  }
  SaveBoardState(r);
  // The children's table buckets load from memory while the moves are ordered and searched.
  for (const MoveEntry* e = r->ListStart; e < r->ListEnd; e++) PrefetchTTAfter(e->Move);
  LiftQuiesceMoves(r);
  BeginSelection(r);

  while (MoveEntry* e = SelectByScore(r)) {
    const Move m = e->Move;
    const int to = MoveTo(m);
    // Capturing a king proves the previous move illegal.
    if (to == Position.KingSquare[Black] || to == Position.KingSquare[White]) {
      StoreTT(key, side, m, ScoreInfinity, 0, BoundExact);
      return ScoreInfinity;
    }
    r->CurrentMove = m;
    MakeMove(m, r);
    CurrentPly = r + 1;
    int score;
    if (depth < DeepestQuiescence || ply > DeepestPly) score = -Evaluate();
    else if (BareMaterial()) score = 0;
    else score = -Quiesce(depth - 1, ply + 1, -beta, -alpha);
    CurrentPly = r;
    UnmakeMove(m, r);
    e->Score = static_cast<int16_t>(score);
    if (score <= best) continue;
    bestMove = m;
    if (score > alpha) {
      if (score >= beta) {
        LearnKiller(r, m, true);
        StoreTT(key, side, m, score, 0, BoundLower);
        return score;
      }
      alpha = score;
      bound = BoundExact;
    }
    best = score;
  }

  if (!inCheck) {
    if (bestMove != MarkerStandPat) StoreTT(key, side, bestMove, best, 0, bound);
    return best;
  }
  if (best == -ScoreInfinity) {
    int score = ply - ScoreMate;
    StoreTT(key, side, MarkerCheckmated, score, 0, BoundExact);
    return score;
  }
  StoreTT(key, side, bestMove, best, 1, bound);
  return best;
}
