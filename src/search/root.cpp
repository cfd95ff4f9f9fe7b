// Root search with the bitbase filter, iterative deepening inside aspiration windows with time
// extensions and one clock restart, and the principal variation read back from the table.
#include <algorithm>
#include <cstdio>
#include <limits>
#include "movegen/movegen.h"
#include "search/search.h"

namespace {

constexpr int AspirationWidth = 30;
constexpr int RootHashBound = 4000;  // the root takes a table answer only for scores below it
constexpr int MaxPrincipalVariation = 12;
constexpr int BitbaseWindow = 8010;
constexpr int RootPly = 0;

PlyRecord* const Root = &PlyRecords[1];

enum class Verdict : uint8_t { None, Win, Draw, Loss };

// The bitbases' score of the position on the board for the side to move, or BitbaseNoResult when
// they are off, the window lies beyond them or the position is not one of theirs.
int ProbeRootBitbases(int alpha, int beta) {
  if (!BitbasesLoaded || !BitbaseProbing) return BitbaseNoResult;
  if (Position.PawnCount[Black] + Position.PawnCount[White] > 3) return BitbaseNoResult;
  if (alpha >= BitbaseWindow || beta <= -BitbaseWindow || PopCount(Position.Occupied) > 5) return BitbaseNoResult;
  return ProbeBitbases();
}

// Bitbase verdict on the position after a root move, from the mover's side; score receives
// the bitbase score for the opponent.
Verdict JudgeByBitbases(int alpha, int beta, int& score) {
  int v = score = ProbeRootBitbases(alpha, beta);
  if (v == BitbaseNoResult) return Verdict::None;
  return v == 0 ? Verdict::Draw : v > 0 ? Verdict::Loss : Verdict::Win;  // v is the opponent's score
}

// Marks illegal root moves and, when the bitbases know the root moves, keeps only the best class of them;
// of winning moves only those nearest to mate, so that a won ending is converted rather than drawn by the
// fifty-move rule (libraries that score all wins alike keep them all).
void FilterRootMoves(int alpha, int beta) {
  Verdict verdicts[MaxMovesPerList];
  int scores[MaxMovesPerList];
  int legal = 0, wins = 0, draws = 0, losses = 0, nearestWin = 0;
  const int side = Position.SideToMove;
  for (MoveEntry* e = Root->ListStart; e < Root->ListEnd; ++e) {
    Verdict& v = verdicts[e - Root->ListStart];
    v = Verdict::None;
    MakeMove(e->Move, Root);
    if (KingAttackedAfterMove(e->Move, side)) {
      e->Score = ScoreIllegal;
    } else {
      ++legal;
      int& score = scores[e - Root->ListStart];
      v = JudgeByBitbases(alpha, beta, score);
      if (v == Verdict::Win && (wins == 0 || score < nearestWin)) nearestWin = score;
      wins += v == Verdict::Win;
      draws += v == Verdict::Draw;
      losses += v == Verdict::Loss;
    }
    UnmakeMove(e->Move, Root);
  }
  AllMovesDraw = draws > 0 && draws == legal;
  AllMovesLose = losses > 0 && losses == legal;
  if (wins + draws + losses == 0) return;
  for (MoveEntry* e = Root->ListStart; e < Root->ListEnd; ++e) {
    Verdict v = verdicts[e - Root->ListStart];
    if (e->Score == ScoreIllegal) continue;
    if ((wins > 0 && (v != Verdict::Win || scores[e - Root->ListStart] != nearestWin)) ||
        (v == Verdict::Loss && !AllMovesLose))
      e->Score = ScoreIllegal;
  }
  if (wins > 0 || AllMovesDraw || AllMovesLose) BitbaseProbing = false;
}

// The root's answer from the table: a deep enough entry with a modest score and a move that is legal here.
bool RootHashAnswers(int alpha, int beta) {
  if (!ProbeIntoRecord(Root) || Root->HashDepth < IterationDepth || RootInBitbases) return false;
  int score = Root->HashScore;
  return EntryCutsOff(Root, alpha, beta) && score > -RootHashBound && score < RootHashBound &&
         MoveIsLegal(Root->HashMove);
}

inline uint32_t PackResult(int score, Move move) {
  return static_cast<uint16_t>(score) | (static_cast<uint32_t>(move) << 16);
}

// Mates as the interface reads them: 100000 + N for a mate in N moves, negated when mated. A
// mate the search found at ply p scores 8100 - p; a bitbase win in n plies 8000 - n.
int ThinkingScore(int score) {
  int magnitude = score < 0 ? -score : score;
  if (magnitude <= 7000) return score;
  int plies = magnitude > 8000 ? ScoreMate - magnitude : 8000 - magnitude;
  int mate = 100000 + (plies + 1) / 2;
  return score < 0 ? -mate : mate;
}

// One line of thinking output: depth, score, centiseconds, nodes and the variation (or a note).
void PrintThinking(int depth, int score, int elapsed, const char* text) {
  if (!PostThinking && EngineState != Analysing) return;
  std::printf("    %d     %d     %d     %u  %s\n", depth, ThinkingScore(score), elapsed, NodeCount, text);
}

// Sets the first window and depth from the root's table entry, falling back to depth 2 when the entry's
// move repeats the position, is not legal here, or carries a mate score.
void WindowFromTable(int& alpha, int& beta) {
  const TTSlot* e = ProbeTT(Position.PositionKey, Position.SideToMove);
  if (!e) {
    LogLine("---------- brak hm na poczatku!!!");
    return;
  }
  int score = TTScore(e);
  Move move = TTMove(e);
  if (TTDepth(e) >= 2) {
    if (TTBound(e) == BoundExact) {
      alpha = score - AspirationWidth;
      beta = score + AspirationWidth;
      IterationDepth = TTDepth(e);
    } else if (TTBound(e) == BoundLower) {
      if (score > -ScoreMate) alpha = score;
    } else if (score < ScoreMate) {
      beta = score;
    }
  }
  if (RepetitionAfterMove(move) > 0) {
    IterationDepth = 2;
    LogLine("---------- repetition after hash!!! - cl");
    ShrinkTT(TTDepth(e));
  }
  if (!MoveIsLegal(move)) {
    IterationDepth = 2;
    LogLine("---------- illegal move from hash : set 2");
  }
  if (alpha > 8050) {
    beta = ScoreMate;
    IterationDepth = 2;
    LogLine("---------- mate score from hash!!! m:%d", move);
    if (alpha >= ScoreMate) LogLine("------------------------- WARNING: %d", alpha);
  }
}

// Aspiration failure: widens the window and re-searches, at most twice, granting extra time when allowed.
int ResearchOutsideWindow(int score, int& alpha, int& beta, int64_t& extra) {
  const bool extend = !AllMovesDraw && (MovesToGo > 4 || MovesPerControl == 0);
  if (score <= alpha) {
    beta = score + 1;
    alpha = -ScoreMate;
    AspirationState = -1;
    if (extend) {
      extra = 2 * MoveBudget;
      MoveBudget *= 3;
    }
  } else {
    alpha = score - 1;
    beta = ScoreMate - 1;
    AspirationState = 1;
    if (extend) {
      extra = MoveBudget;
      MoveBudget *= 2;
    }
  }
  score = RootSearch(alpha, beta);
  if ((score <= alpha || score >= beta) && !StopSearch) {
    alpha = -ScoreMate;
    beta = ScoreMate - 1;
    if (extend) {
      extra += MoveBudget;
      MoveBudget *= 2;
    }
    score = RootSearch(alpha, beta);
  }
  AspirationState = 0;
  return score;
}

int Elapsed(int64_t start) { return static_cast<int>((Now() - start) / 10); }

// The search was stopped by a word read from the input, not by the clock.
bool StoppedByInput() { return InputStop != Waits; }

}  // namespace

bool RootInBitbases;

void PrepareRootSearch() {
  PlyRecords[0].ListEnd = MoveStack;
  Root->ListEnd = nullptr;
  CurrentPly = Root;
  CheckCount[Black] = CheckCount[White] = 0;
  NodeCount = 0;
  NextPollAt = SearchLimits.clockNodes;
}

int RootSearch(int alpha, int beta) {
  CurrentPly = Root;
  Root->BestMove = MarkerNoBestMove;
  if (RootHashAnswers(alpha, beta)) {
    Root->BestMove = Root->HashMove;
    return Root->HashScore;
  }
  if (AspirationState == 0 && Root->HashDepth >= IterationDepth) NarrowWindow(Root, alpha, beta);

  const int side = Position.SideToMove;
  const bool inCheck = Root->Check.checkers != 0;
  int best = -ScoreInfinity;
  int bound = BoundUpper;
  if (!Root->ListEnd) {
    Root->ListStart = PlyRecords[0].ListEnd;
    Root->ListEnd = inCheck ? GenerateEvasions(Root->ListStart, &Root->Check) : GenerateMoves(Root->ListStart);
  }
  SaveBoardState(Root);
  LiftHashAndKillers(Root, std::numeric_limits<int16_t>::max());
  FilterRootMoves(alpha, beta);
  RootMoveCount = 0;
  RootMovesSearched = 0;
  for (const MoveEntry* e = Root->ListStart; e < Root->ListEnd; ++e) RootMoveCount += e->Score != ScoreIllegal;

  PlyRecord* child = Root + 1;
  bool historyPhase = false;
  BeginSelection(Root);
  while (MoveEntry* e = SelectMove(Root, historyPhase)) {
    if (e->Score == ScoreIllegal) continue;
    const Move m = e->Move;
    ++NodeCount;
    Root->CurrentMove = m;
    MakeMove(m, Root);
    CurrentPly = child;
    int score = 0;
    if (!DetectDraw(2)) {
      child->ListEnd = nullptr;
      score = SearchChild(IterationDepth - 1, RootPly, alpha, beta, bound != BoundUpper);
    }
    CurrentPly = Root;
    UnmakeMove(m, Root);
    ++RootMovesSearched;
    if (StopSearch || TimeUp()) {
      StopSearch = true;
      BitbaseProbing = true;
      return best;
    }
    e->Score = static_cast<int16_t>(score);
    if (score <= best) continue;
    best = score;
    Root->BestMove = m;
    if (score <= alpha) continue;
    if (score >= beta) {
      LearnCutoff(Root, e, IterationDepth, false);
      if (AllMovesDraw) score = 0;
      StoreRootTT(Position.PositionKey, side, m, score, IterationDepth, BoundLower);
      BitbaseProbing = true;
      return score;
    }
    alpha = score;
    bound = BoundExact;
  }

  BitbaseProbing = true;
  if (best == -ScoreInfinity) {
    Root->ListEnd = nullptr;
    Root->BestMove = inCheck ? MarkerCheckmated : MarkerStalemate;
    best = inCheck ? -ScoreMate : 0;
    bound = BoundExact;
  }
  StoreRootTT(Position.PositionKey, side, Root->BestMove, best, IterationDepth, bound);
  return best;
}

uint32_t IterativeDeepening() {
  PrepareRootSearch();
  IterationBestMove = 0;
  if (uint16_t draw = DetectDraw(2)) return PackResult(-9999, draw);
  RootInBitbases = ProbeRootBitbases(-ScoreMate, ScoreMate) != BitbaseNoResult;
  uint32_t result = PackResult(-9999, 0);
  int alpha = -ScoreMate, beta = ScoreMate;
  IterationDepth = 2;
  // The table's depth and window may come from a search without the bitbases, whose filter of
  // the root moves the search must first run: a deep first iteration could then end on the
  // clock before any move is searched.
  if (!RootInBitbases) WindowFromTable(alpha, beta);
  // A depth limit below the table's depth (or below 2) is kept: the first iteration searches at it.
  IterationDepth = std::max(std::min(IterationDepth, MaxDepth), 1);

  const int64_t start = Now();
  char fen[128];
  WriteFen(fen);
  LogLine("-FEN:\t%s", fen);
  int64_t extra = 0;
  int mates = 0;
  ComputeCheckers(&Root->Check);
  bool restarted = false;

  for (;;) {
    while (IterationDepth <= MaxDepth) {
      int score = RootSearch(alpha, beta);
      uint32_t generation = BudgetGeneration;
      if ((score <= alpha || score >= beta) && !StopSearch) score = ResearchOutsideWindow(score, alpha, beta, extra);
      if (extra > 0) {
        // A clock command read during the re-search (while pondering) set a new budget: it stands.
        if (BudgetGeneration == generation) MoveBudget -= extra;
        extra = 0;
      }
      if (StopSearch) break;
      if (TimeUp()) {
        StopSearch = true;
        break;
      }
      result = PackResult(score, Root->BestMove);
      IterationBestMove = Root->BestMove;
      if (Root->BestMove == MarkerStalemate) {
        LogLine("-----STALEMATED---");
        break;
      }
      if (EngineState == Pondering) LogLine("---PONDER:");
      PrincipalVariationText(PVBuffer, std::min(IterationDepth, MaxPrincipalVariation));
      int elapsed = Elapsed(start);
      LogLine("-E: %d:\t%d\t%d\t%s", IterationDepth, score, elapsed, PVBuffer);
      PrintThinking(IterationDepth, score, elapsed, PVBuffer);
      if (score <= IterationDepth - ScoreMate || score >= ScoreMate - IterationDepth) {
        LogLine("--- MATE: %d", score);
        if (++mates > 3) break;
      }
      alpha = std::max(score - AspirationWidth, -ScoreMate);
      beta = std::min(score + AspirationWidth, static_cast<int>(ScoreMate));
      if (++IterationDepth > MaxDepth) break;
    }

    int pvScore = PrincipalVariationText(PVBuffer, std::min(IterationDepth, MaxPrincipalVariation));
    int elapsed = Elapsed(start);
    LogLine("-E (-): %d:\t%d\t%d\t%s", IterationDepth, pvScore, elapsed, PVBuffer);
    // An analysis stopped by input is about a position the interface has already left.
    if (EngineState != Analysing || !StoppedByInput()) PrintThinking(IterationDepth - 1, pvScore, elapsed, PVBuffer);
    if (IterationDepth > 5 || IterationDepth > MaxDepth || restarted || SearchWithoutClock() || StoppedByInput())
      return result;

    // Stopped by the clock before depth 6: one more full budget from now.
    restarted = true;
    LogLine("fixing move... ********************: depth=%d", IterationDepth);
    PrintThinking(IterationDepth - 1, pvScore, elapsed, "fixing move...");
    StopSearch = false;
    SearchStart = Now();
  }
}

bool RootExcludes(Move move) {
  if (!Root->ListEnd) return false;
  for (const MoveEntry* e = Root->ListStart; e < Root->ListEnd; ++e)
    if (e->Move == move) return e->Score == ScoreIllegal;
  return false;
}

int PrincipalVariationText(char* buffer, int n) {
  buffer[0] = 0;
  if (n == 0) return ScoreInfinity;
  const TTSlot* e = ProbeTT(Position.PositionKey, Position.SideToMove);
  if (!e) {
    std::sprintf(buffer, "NOE ");
    return ScoreInfinity;
  }
  const Move m = TTMove(e);
  const int score = TTScore(e);
  if (m != 0 && !IsMarker(m)) {
    // A table move is made only when it is legal here: a key collision can store a move of another position.
    if (!MoveIsLegal(m)) return score;
    char* end = MoveToText(m, buffer);
    *end++ = ' ';
    *end = 0;
    PlyRecord* r = CurrentPly;
    SaveBoardState(r);
    MakeMove(m, r);
    CurrentPly = r + 1;
    PrincipalVariationText(end, n - 1);
    CurrentPly = r;
    UnmakeMove(m, r);
    return score;
  }
  switch (m) {
    case MarkerNullMove: std::sprintf(buffer, "NULL"); break;
    case MarkerCheckmated: std::sprintf(buffer, "# "); break;
    case MarkerStalemate: std::sprintf(buffer, "1/2 - 1/2 (stalemate)"); break;
    case MarkerRepetition: std::sprintf(buffer, "1/2 - 1/2 (repetition)"); break;
    case MarkerStandPat: std::sprintf(buffer, "QS(%d)", score); break;
    case MarkerBitbase: std::sprintf(buffer, "EGBB"); break;
    default:
      std::sprintf(buffer, "ERROR: %d, d:%d, sc:%d, st:%d ts:%d", m, TTDepth(e), score, TTBound(e), TTAge(e));
  }
  return score;
}
