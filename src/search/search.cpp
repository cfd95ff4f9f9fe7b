// Alpha-beta search below the root: fail-soft, with the transposition table, the bitbase probe,
// null-move pruning, internal iterative deepening, check, passed-pawn and recapture extensions,
// futility pruning at the last two plies, late-move reductions and principal-variation search.
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "search/search.h"

namespace {

constexpr int HashCutBound = 5000;   // larger table scores cut off only deep in the tree
constexpr int BitbaseWindow = 8010;  // the bitbases are not probed for windows beyond it
constexpr int QuiescencePly = 126;   // from this ply on every move goes to the quiescence search

// A table cut-off needs a move that does not walk into a repetition, and a modest score unless the node
// lies deep enough in the tree for an unadjusted mate score to be harmless.
bool HashCutAllowed(const PlyRecord* r, int ply) {
  if (RepetitionAfterMove(r->HashMove) != 0) return false;
  int score = r->HashScore;
  return (score > -HashCutBound && score < HashCutBound) || (ply > 8 && ply > IterationDepth / 2);
}

// The bitbase probe runs only for small material, far enough from the root (or at it), inside the
// probe window, and for five pieces only in the upper part of the tree unless the load mode says otherwise.
bool BitbaseProbeAllowed(int ply, int alpha, int beta) {
  if (!BitbasesLoaded || !BitbaseProbing) return false;
  if (Position.PawnCount[Black] + Position.PawnCount[White] > 3) return false;
  if (ply != 0 && ply <= 4) return false;
  if (alpha >= BitbaseWindow || beta <= -BitbaseWindow) return false;
  if (ply != 0 && ply <= IterationDepth / 2 + 1 && KeyHistory[HistoryTop].HalfmoveClock != 0) return false;
  int pieces = PopCount(Position.Occupied);
  return pieces <= 4 || (pieces == 5 && (ply < IterationDepth - 2 || ply == 0 || BitbaseLoadMode == 3));
}

// Null-move search: the side passes and the opponent gets a reduced null-window search against beta.
int SearchNullMove(PlyRecord* r, int depth, int ply, int beta, int reduction) {
  if (!r->ListEnd) r->ListEnd = r->ListStart;  // the child's list starts here
  r->CurrentMove = MarkerNullMove;
  MakeNullMove();
  CurrentPly = r + 1;
  CurrentPly->ListEnd = nullptr;
  int score = depth > reduction + 1 ? -Search(depth - reduction - 1, ply + 1, -beta, 1 - beta, 0)
                                    : -Quiesce(0, ply + 1, -beta, 1 - beta);
  CurrentPly = r;
  r->ListEnd = nullptr;  // not generated: the moves are generated after the null move
  UnmakeNullMove();
  return score;
}

// The table already knows this node well enough that passing is unlikely to reach beta.
bool HashRefutesNullMove(const PlyRecord* r, int depth, int reduction, int beta) {
  return r->HashDepth > 0 && !IsMarker(r->HashMove) && r->HashDepth >= depth - reduction - 1 &&
         r->HashScore < beta && r->HashBound != BoundLower;
}

// A pawn that has just reached the far half of the board with no enemy pawn ahead on its own or an adjacent file.
bool PassedPawnPush(Move m) {
  int to = MoveTo(m);
  int piece = Position.Board[to];
  if (piece == WhitePawn) return RankIndex(to) <= 3 && !(PassedSpan[White][to] & Position.PieceBoard[BlackPawn]);
  if (piece == BlackPawn) return RankIndex(to) >= 4 && !(PassedSpan[Black][to] & Position.PieceBoard[WhitePawn]);
  return false;
}

// A plain capture back on the square where the previous move captured a piece of the same value.
bool Recaptures(const PlyRecord* r, Move m, int ply, int depth) {
  const PlyRecord* parent = r - 1;
  Move previous = parent->CurrentMove;
  return ply > 3 && depth > 1 && MoveKind(previous) == KindCapture && MoveKind(m) == KindCapture &&
         MoveTo(previous) == MoveTo(m) && parent->MaterialDelta == r->MaterialDelta;
}

// How far a move at depth 1 or 2 may lift the static evaluation: the depth's base and what it wins.
int FutilityMargin(Move m, int captured, int depth) {
  int margin = depth == 2 ? 300 : 100;
  int kind = MoveKind(m);
  if (kind == KindCapture || kind == KindEnPassant) margin += 100 * MaterialUnits[captured];
  else if (kind >= KindPromoQueen && kind <= KindPromoBishop) margin += 800;
  else if (kind >= KindCapPromoQueen && kind <= KindCapPromoBishop) margin += 100 * (MaterialUnits[captured] + 8);
  return margin;
}

// Internal iterative deepening: a shallower search of the node fills its list with results and the table
// with a best move to try first.
void DeepenInternally(PlyRecord* r, int depth, int ply, int alpha, int beta, int nullAllowed) {
  int score = Search(depth - 2, ply, alpha, beta, nullAllowed);
  if (score <= alpha && score > -ScoreMate && !StopSearch) Search(depth - 2, ply, -ScoreMate, beta, nullAllowed);
  if (const TTSlot* e = ProbeTT(Position.PositionKey, Position.SideToMove)) r->HashMove = TTMove(e);
}

}  // namespace

TTSlot* ProbeIntoRecord(PlyRecord* r) {
  TTSlot* e = ProbeTT(Position.PositionKey, Position.SideToMove);
  if (!e) {
    r->HashMove = 0;
    r->HashDepth = 0;
    return nullptr;
  }
  r->HashMove = TTMove(e);
  r->HashDepth = TTDepth(e);
  r->HashScore = TTScore(e);
  r->HashBound = TTBound(e);
  return e;
}

int SearchChild(int depth, int ply, int alpha, int beta, bool alphaRaised) {
  if (depth <= 0 || ply >= QuiescencePly) return -Quiesce(0, ply + 1, -beta, -alpha);
  if (!alphaRaised) return -Search(depth, ply + 1, -beta, -alpha, 2);
  int score = -Search(depth, ply + 1, -alpha - 1, -alpha, 2);
  if (score > alpha && score < beta) score = -Search(depth, ply + 1, -beta, -alpha, 2);
  return score;
}

int Search(int depth, int ply, int alpha, int beta, int nullAllowed) {
  if (CheckTimeAndInput()) return ScoreInfinity;
  PlyRecord* r = CurrentPly;
  const int side = Position.SideToMove;

  if (ProbeIntoRecord(r) && r->HashDepth >= depth) {
    if (EntryCutsOff(r, alpha, beta)) {
      if (HashCutAllowed(r, ply)) return r->HashScore;
    } else if (AspirationState == 0 || depth != IterationDepth) {
      NarrowWindow(r, alpha, beta);
    }
  }

  if (BitbaseProbeAllowed(ply, alpha, beta)) {
    int score = ProbeBitbases();
    if (score != BitbaseNoResult) return score;
  }

  int best = -ScoreInfinity;
  int bound = BoundUpper;
  Move bestMove = MarkerNoBestMove;
  ComputeCheckers(&r->Check);
  const bool inCheck = r->Check.checkers != 0;
  r->ListStart = (r - 1)->ListEnd;

  if (nullAllowed && !inCheck && Position.PieceMaterial[side] > 0) {
    int reduction = depth > 6 && Position.PieceMaterial[side] >= 9 ? 3 : 2;
    if (!HashRefutesNullMove(r, depth, reduction, beta)) {
      int score = SearchNullMove(r, depth, ply, beta, reduction);
      if (CheckTimeAndInput()) return -ScoreInfinity;
      if (score >= beta) return score;
    }
  }

  if (r->HashDepth < depth - 2) DeepenInternally(r, depth, ply, alpha, beta, nullAllowed);

  // A side in check for the second time on this line gets every move extended.
  const bool repeatedCheck = inCheck && CheckCount[side]++ > 0;

  if (!r->ListEnd) r->ListEnd = inCheck ? GenerateEvasions(r->ListStart, &r->Check) : GenerateMoves(r->ListStart);
  SaveBoardState(r);
  // The children's table buckets load from memory while the moves are ordered and searched.
  for (const MoveEntry* e = r->ListStart; e < r->ListEnd; e++) PrefetchTTAfter(e->Move);
  LiftHashAndKillers(r, LiftLimit);
  BeginSelection(r);

  bool historyPhase = false;
  bool haveEval = false;
  int eval = 0;
  int movesSearched = 0;
  PlyRecord* child = r + 1;
  while (MoveEntry* e = SelectMove(r, historyPhase)) {
    const Move m = e->Move;
    if (movesSearched > 0 && depth <= 2 && !haveEval && !inCheck) {
      eval = Evaluate();
      haveEval = true;
    }
    const int piece = Position.Board[MoveFrom(m)];
    ++NodeCount;
    r->CurrentMove = m;
    MakeMove(m, r);
    CurrentPly = child;

    int score;
    if (KingAttackedAfterMove(m, side, r->Check)) {
      score = -ScoreInfinity;
    } else if (DetectDraw(1)) {
      score = 0;
    } else {
      int ext = 0;
      if (repeatedCheck || PassedPawnPush(m)) {
        ext = 1;
      } else if (haveEval && MoveKind(m) < KindBlackShortCastle && !SideToMoveInCheck()) {
        int margin = FutilityMargin(m, r->CapturedCode, depth);
        if (eval + margin < alpha) {
          if (eval + margin > best) best = eval;
          CurrentPly = r;
          UnmakeMove(m, r);
          e->Score = static_cast<int16_t>(eval);
          continue;
        }
      }
      if (ext == 0 && depth >= 3 && movesSearched >= 3 && !inCheck && ply < QuiescencePly &&
          ReduceByStatistics(piece, MoveTo(m))) {
        ext = -1;
        child->Reduced = true;
      } else if (ext == 0 && Recaptures(r, m, ply, depth)) {
        ext = 1;
      }
      ++movesSearched;
      child->ListEnd = nullptr;
      score = SearchChild(depth + ext - 1, ply, alpha, beta, bound != BoundUpper);
      if (child->Reduced && score > alpha) score = -Search(depth - 1, ply + 1, -beta, -alpha, 2);
      child->Reduced = false;
    }

    CurrentPly = r;
    UnmakeMove(m, r);
    if (CheckTimeAndInput()) {
      if (inCheck) --CheckCount[side];
      return best;
    }
    e->Score = static_cast<int16_t>(score);
    if (score <= best) continue;
    bestMove = m;
    if (score > alpha) {
      if (score >= beta) {
        if (inCheck) --CheckCount[side];
        LearnCutoff(r, e, depth, true);
        StoreTT(Position.PositionKey, side, m, score, depth, BoundLower);
        return score;
      }
      alpha = score;
      bound = BoundExact;
    }
    best = score;
  }

  if (best == -ScoreInfinity) {
    if (!inCheck) {
      StoreTT(Position.PositionKey, side, MarkerStalemate, 0, depth, BoundExact);
      return 0;
    }
    --CheckCount[side];
    int score = ply - ScoreMate;
    StoreTT(Position.PositionKey, side, MarkerCheckmated, score, depth, BoundExact);
    return score;
  }
  if (inCheck) --CheckCount[side];
  StoreTT(Position.PositionKey, side, bestMove, best, depth, bound);
  return best;
}
