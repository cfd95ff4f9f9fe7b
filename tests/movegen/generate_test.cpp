// Move generators: order and ordering scores on known positions, the king and
// castling rules, and check evasions against the full generator with a legality filter.
#include <algorithm>
#include <set>
#include "movegen_helpers.h"

using namespace movegen_test;

namespace {

struct Expected {
  const char* text;
  int kind;
  int score;
};

void ExpectList(const std::vector<MoveEntry>& list, const std::vector<Expected>& expected) {
  ASSERT_GE(list.size(), expected.size());
  for (size_t i = 0; i < expected.size(); i++) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(Text(list[i].Move), expected[i].text);
    EXPECT_EQ(MoveKind(list[i].Move), expected[i].kind);
    EXPECT_EQ(list[i].Score, expected[i].score);
  }
}

bool Contains(const std::vector<MoveEntry>& list, Move m) {
  return std::any_of(list.begin(), list.end(), [m](const MoveEntry& e) { return e.Move == m; });
}

// Pieces of colour `by` attacking s, found by walking the board square by square.
bool AttackedByWalking(int s, int by) {
  auto at = [](int f, int r) { return (f < 0 || f > 7 || r < 0 || r > 7) ? -1 : Position.Board[8 * r + f]; };
  int f = FileIndex(s), r = RankIndex(s);
  int pawnRow = by == White ? r + 1 : r - 1;  // white pawns attack towards rank index 0
  for (int df : {-1, 1})
    if (at(f + df, pawnRow) == 2 - by) return true;
  const int knight[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  for (auto& d : knight)
    if (at(f + d[0], r + d[1]) == 4 - by) return true;
  for (int df = -1; df <= 1; df++)
    for (int dr = -1; dr <= 1; dr++) {
      if (!df && !dr) continue;
      if (at(f + df, r + dr) == 12 - by) return true;
      bool straight = !df || !dr;
      for (int k = 1;; k++) {
        int p = at(f + k * df, r + k * dr);
        if (p < 0) break;
        if (!p) continue;
        if (p == 10 - by || p == (straight ? 8 - by : 6 - by)) return true;
        break;
      }
    }
  return false;
}

}  // namespace

TEST(GenerateMoves, InitialPositionOrderAndScores) {
  ASSERT_TRUE(SetupGame(InitialFen));
  std::vector<MoveEntry> list = AllMoves();
  const char* order[] = {"g1h3", "g1f3", "b1c3", "b1a3", "h2h4", "g2g4", "f2f4", "e2e4", "d2d4", "c2c4", "b2b4",
                         "a2a4", "h2h3", "g2g3", "f2f3", "e2e3", "d2d3", "c2c3", "b2b3", "a2a3"};
  ASSERT_EQ(list.size(), 20u);
  for (size_t i = 0; i < 20; i++) {
    EXPECT_EQ(Text(list[i].Move), order[i]) << i;
    EXPECT_EQ(MoveKind(list[i].Move), KindQuiet);
    EXPECT_EQ(list[i].Score, -30000);
  }
}

TEST(GenerateMoves, BlackMirrorsWhiteInTheInitialPosition) {
  ASSERT_TRUE(SetupGame("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"));
  std::vector<MoveEntry> list = AllMoves();
  ASSERT_EQ(list.size(), 20u);
  // Black's pieces are also visited from the highest square number down: g8 knight first,
  // double pushes from h7 first.
  EXPECT_EQ(Text(list[0].Move), "g8h6");
  EXPECT_EQ(Text(list[3].Move), "b8a6");
  EXPECT_EQ(Text(list[4].Move), "h7h5");
  EXPECT_EQ(Text(list[12].Move), "h7h6");
}

TEST(GenerateMoves, CapturingPromotionsComeFirstQuietPromotionsLater) {
  ASSERT_TRUE(SetupGame("r3k3/1P6/8/8/8/8/8/4K3 w - -"));
  std::vector<MoveEntry> list = AllMoves();
  ExpectList(list, {{"b7a8q", KindCapPromoQueen, 500 - 9401},
                    {"b7a8n", KindCapPromoKnight, 500 - 30005},
                    {"b7a8r", KindCapPromoRook, 500 - 30025},
                    {"b7a8b", KindCapPromoBishop, 500 - 30050},
                    {"b7b8q", KindPromoQueen, -9401},
                    {"b7b8n", KindPromoKnight, -30005},
                    {"b7b8r", KindPromoRook, -30025},
                    {"b7b8b", KindPromoBishop, -30050}});
  // Then the king: f1, d1, f2, e2, d2 from the highest square down.
  ASSERT_EQ(list.size(), 13u);
  EXPECT_EQ(Text(list[8].Move), "e1f1");
  EXPECT_EQ(Text(list[12].Move), "e1d2");
}

TEST(GenerateMoves, BlackPawnCapturesTowardsTheAFileFirst) {
  // Black pawn d4 can take c3 (towards the a-file) and e3, and en passant on e3 is not set.
  ASSERT_TRUE(SetupGame("4k3/8/8/8/3p4/2N1B3/8/4K3 b - -"));
  std::vector<MoveEntry> list = AllMoves();
  ExpectList(list, {{"d4c3", KindCapture, 320 - 9600}, {"d4e3", KindCapture, 325 - 9600}});
}

TEST(GenerateMoves, EnPassantBothColours) {
  ASSERT_TRUE(SetupGame("4k3/8/8/3pP3/8/8/8/4K3 w - d6"));
  ExpectList(AllMoves(), {{"e5d6", KindEnPassant, -9500}});
  ASSERT_TRUE(SetupGame("4k3/8/8/8/3Pp3/8/8/4K3 b - d3"));
  ExpectList(AllMoves(), {{"e4d3", KindEnPassant, -9500}});
}

TEST(GenerateMoves, CapturesOfEqualOrBiggerPiecesScoredByVictim) {
  // Knight takes rook: 500 - 9820; queen takes queen: an equal trade scores -9500.
  ASSERT_TRUE(SetupGame("4k3/8/8/3r4/q7/2N5/8/3QK3 w - -"));
  std::vector<MoveEntry> list = AllMoves();
  Move nxr = MakeMoveWord(C3, D5, KindCapture), qxq = MakeMoveWord(D1, A4, KindCapture);
  ASSERT_TRUE(Contains(list, nxr));
  ASSERT_TRUE(Contains(list, qxq));
  for (const MoveEntry& e : list) {
    if (e.Move == nxr) {
      EXPECT_EQ(e.Score, 500 - 9820);
    }
    if (e.Move == qxq) {
      EXPECT_EQ(e.Score, -9500);
    }
  }
}

TEST(GenerateMoves, CastlingIsLastAndIgnoresAttacks) {
  // A black bishop on a6 attacks f1 and the king is on e1 in no check: both castlings are listed.
  ASSERT_TRUE(SetupGame("r3k2r/8/b7/8/8/8/8/R3K2R w KQkq -"));
  std::vector<MoveEntry> list = AllMoves();
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list[list.size() - 2].Move, MakeMoveWord(E1, G1, KindWhiteShortCastle));
  EXPECT_EQ(list[list.size() - 2].Score, -29000);
  EXPECT_EQ(list.back().Move, MakeMoveWord(E1, C1, KindWhiteLongCastle));
  EXPECT_EQ(list.back().Score, -29500);
  EXPECT_FALSE(IsLegal(MakeMoveWord(E1, G1, KindWhiteShortCastle)));
  EXPECT_TRUE(IsLegal(MakeMoveWord(E1, C1, KindWhiteLongCastle)));

  // Black to move: e8g8 then e8c8.
  ASSERT_TRUE(SetupGame("r3k2r/8/8/8/8/8/8/R3K2R b KQkq -"));
  list = AllMoves();
  EXPECT_EQ(list[list.size() - 2].Move, MakeMoveWord(E8, G8, KindBlackShortCastle));
  EXPECT_EQ(list.back().Move, MakeMoveWord(E8, C8, KindBlackLongCastle));
}

TEST(GenerateMoves, CastlingNeedsEmptySquaresOnly) {
  // b1 occupied blocks the long castling; short castling needs f1 and g1 only.
  ASSERT_TRUE(SetupGame("4k3/8/8/8/8/8/8/RN2K2R w KQ -"));
  std::vector<MoveEntry> list = AllMoves();
  EXPECT_TRUE(Contains(list, MakeMoveWord(E1, G1, KindWhiteShortCastle)));
  EXPECT_FALSE(Contains(list, MakeMoveWord(E1, C1, KindWhiteLongCastle)));
}

TEST(GenerateMoves, CastlingInCheckOnlyFromTheFullGenerator) {
  ASSERT_TRUE(SetupGame("4k3/8/8/4r3/8/8/8/R3K2R w KQ -"));
  ASSERT_TRUE(InCheck());
  Move shortCastle = MakeMoveWord(E1, G1, KindWhiteShortCastle), longCastle = MakeMoveWord(E1, C1, KindWhiteLongCastle);
  std::vector<MoveEntry> all = AllMoves(), evasions = Evasions(), captures = Captures();
  EXPECT_TRUE(Contains(all, shortCastle));
  EXPECT_TRUE(Contains(all, longCastle));
  EXPECT_FALSE(IsLegal(shortCastle));
  EXPECT_FALSE(IsLegal(longCastle));
  for (Move m : {shortCastle, longCastle}) {
    EXPECT_FALSE(Contains(evasions, m));
    EXPECT_FALSE(Contains(captures, m));
  }
}

TEST(GenerateMoves, KingNeverCapturesDefendedPiecesNorApproachesTheEnemyKing) {
  // White king e1: the knight on e2 is defended by the bishop on b5, the knight on d2 is not;
  // the black king on e3 covers d2, e2, f2 as well.
  ASSERT_TRUE(SetupGame("8/8/8/1b6/8/8/3nn3/4K2k w - -"));
  std::vector<MoveEntry> list = AllMoves();
  for (const MoveEntry& e : list) EXPECT_NE(MoveTo(e.Move), E2) << Text(e.Move);
  EXPECT_TRUE(Contains(list, MakeMoveWord(E1, D2, KindCapture)));
  ASSERT_TRUE(SetupGame("8/8/8/8/8/4k3/3nn3/4K3 w - -"));
  for (const MoveEntry& e : AllMoves()) EXPECT_TRUE(MoveTo(e.Move) == D1 || MoveTo(e.Move) == F1) << Text(e.Move);
}

TEST(GenerateMoves, KingMovesRespectTheRulesInRandomGames) {
  int kingCaptures = 0;
  for (const char* fen : PlayoutStarts)
    RandomPlayouts(fen, 7, 20, 120, [&] {
      int us = Position.SideToMove, k = Position.KingSquare[us];
      std::vector<MoveEntry> lists[3] = {AllMoves(), Captures(), InCheck() ? Evasions() : std::vector<MoveEntry>()};
      for (auto& list : lists)
        for (const MoveEntry& e : list) {
          if (MoveFrom(e.Move) != k || MoveKind(e.Move) >= KindBlackShortCastle) continue;
          int to = MoveTo(e.Move);
          ASSERT_FALSE(KingAttacks[Position.KingSquare[us ^ 1]] & SquareMask[to]) << Text(e.Move);
          if (MoveKind(e.Move) == KindCapture) {
            kingCaptures++;
            ASSERT_FALSE(AttackedByWalking(to, us ^ 1)) << Text(e.Move);
          }
        }
    });
  EXPECT_GT(kingCaptures, 20);
}

TEST(GenerateCaptures, KeepsOnlyCapturesWorthTrying) {
  // Knight c3: takes the rook on a4 (always), the undefended pawn on b5, not the pawn on d5
  // that the pawn on e6 defends. The a7 pawn promotes: the rook a4 recaptures, the rook a1 after it.
  ASSERT_TRUE(SetupGame("4k3/P7/4p3/1p1p4/r7/2N5/8/R3K2R w KQ -"));
  std::vector<MoveEntry> list = Captures();
  EXPECT_TRUE(Contains(list, MakeMoveWord(C3, A4, KindCapture)));
  EXPECT_TRUE(Contains(list, MakeMoveWord(C3, B5, KindCapture)));
  EXPECT_FALSE(Contains(list, MakeMoveWord(C3, D5, KindCapture)));
  EXPECT_TRUE(Contains(list, MakeMoveWord(A7, A8, KindPromoQueen)));
  for (const MoveEntry& e : list) {
    int kind = MoveKind(e.Move);
    EXPECT_TRUE(kind == KindCapture || kind == KindEnPassant || kind == KindPromoQueen ||
                (kind >= KindCapPromoQueen && kind <= KindCapPromoBishop))
        << Text(e.Move);
    EXPECT_GE(e.Score, -10000) << Text(e.Move);
    if (e.Move == MakeMoveWord(C3, A4, KindCapture)) {
      EXPECT_EQ(e.Score, 500 - 9820);
    }
  }
  // The full generator still has the losing capture, scored below the quiet moves.
  std::vector<MoveEntry> all = AllMoves();
  auto nxd5 = std::find_if(all.begin(), all.end(), [](auto& e) { return e.Move == MakeMoveWord(C3, D5, KindCapture); });
  ASSERT_NE(nxd5, all.end());
  EXPECT_LT(nxd5->Score, -30000);
}

TEST(GenerateCaptures, OrderIsPawnsPromotionsKnightsBishopsRooksQueensKing) {
  // Each white piece has exactly one capture worth trying.
  ASSERT_TRUE(SetupGame("7k/P7/6rq/2r1n3/bP3N2/7Q/1B3n2/R5K1 w - -"));
  std::vector<std::string> texts;
  for (const MoveEntry& e : Captures()) texts.push_back(Text(e.Move));
  EXPECT_EQ(texts, (std::vector<std::string>{"b4c5", "a7a8q", "f4g6", "b2e5", "a1a4", "h3h6", "g1f2"}));
}

TEST(GenerateCaptures, LosingQueenPromotionIsLeftOut) {
  // a8=Q is taken by the rook on h8 for nothing: only the full generator lists the push.
  ASSERT_TRUE(SetupGame("7r/P6k/8/8/8/8/8/K7 w - -"));
  Move promotion = MakeMoveWord(A7, A8, KindPromoQueen);
  EXPECT_FALSE(Contains(Captures(), promotion));
  EXPECT_TRUE(Contains(AllMoves(), promotion));
}

// Order of the generator steps: by piece type (index 1 pawn captures .. 6 king), then
// the pawn pushes and castling.
struct Steps {
  int byType[7];
  int push;
};
constexpr Steps FullSteps = {{0, 0, 1, 4, 3, 2, 6}, 5}, CaptureSteps = {{0, 0, 2, 3, 4, 5, 6}, 1};

int StepOf(const MoveEntry& e, const Steps& steps) {
  int type = (Position.Board[MoveFrom(e.Move)] + 1) / 2, kind = MoveKind(e.Move);
  if (kind >= KindBlackShortCastle) return 7;
  if (type == 1 && (kind == KindQuiet || (kind >= KindPromoQueen && kind <= KindPromoBishop))) return steps.push;
  return steps.byType[type];
}

// Inside a piece step: pieces from the highest square down, each with its captures before its
// quiet moves and its targets from the highest square down.
void ExpectPieceOrder(const MoveEntry& a, const MoveEntry& b) {
  std::string pair = Text(a.Move) + " before " + Text(b.Move);
  ASSERT_GE(MoveFrom(a.Move), MoveFrom(b.Move)) << pair;
  if (MoveFrom(a.Move) != MoveFrom(b.Move)) return;
  bool aQuiet = MoveKind(a.Move) == KindQuiet, bQuiet = MoveKind(b.Move) == KindQuiet;
  ASSERT_TRUE(!aQuiet || bQuiet) << pair;
  if (aQuiet == bQuiet) {
    ASSERT_GT(MoveTo(a.Move), MoveTo(b.Move)) << pair;
  }
}

TEST(Generators, VisitStepsPiecesAndTargetsInOrder) {
  int positions = 0;
  for (const char* fen : PlayoutStarts)
    RandomPlayouts(fen, 3, 8, 80, [&] {
      if (InCheck()) return;
      positions++;
      for (bool full : {true, false}) {
        const Steps& steps = full ? FullSteps : CaptureSteps;
        std::vector<MoveEntry> list = full ? AllMoves() : Captures();
        for (size_t i = 1; i < list.size(); i++) {
          int sa = StepOf(list[i - 1], steps), sb = StepOf(list[i], steps);
          ASSERT_LE(sa, sb) << Text(list[i - 1].Move) << " before " << Text(list[i].Move);
          bool pawnOrCastle = Position.Board[MoveFrom(list[i - 1].Move)] <= BlackPawn || sa == 7;
          if (sa == sb && !pawnOrCastle) ExpectPieceOrder(list[i - 1], list[i]);
        }
      }
    });
  EXPECT_GT(positions, 500);
}

TEST(GenerateEvasions, InterpositionByKnightThenKingMoves) {
  ASSERT_TRUE(SetupGame("4r1k1/8/8/8/8/8/5N2/4K3 w - -"));
  std::vector<MoveEntry> list = Evasions();
  ASSERT_EQ(list.size(), 4u);
  ExpectList(list, {{"f2e4", KindQuiet, -30320}, {"e1f1", KindQuiet, -30000}, {"e1d1", KindQuiet, -30000},
                    {"e1d2", KindQuiet, -30000}});
}

TEST(GenerateEvasions, CapturesAndInterpositionsOfEveryPiece) {
  // The rook on a4 checks the king on h4 along the rank; b4..g4 are the blocking squares.
  ASSERT_TRUE(SetupGame("Q7/3B4/4N2k/8/r6K/1P3P2/1NPP1B2/R5R1 w - -"));
  ExpectList(Evasions(), {{"b3a4", KindCapture, 500 - 9600},  {"b2a4", KindCapture, 500 - 9820},
                          {"b2c4", KindQuiet, -30320},        {"e6f4", KindQuiet, -30320},
                          {"e6d4", KindQuiet, -30320},        {"d7a4", KindCapture, 500 - 9825},
                          {"f2d4", KindQuiet, -30325},        {"a1a4", KindCapture, 500 - 10000},
                          {"g1g4", KindQuiet, -30500},        {"a8a4", KindCapture, 500 - 10450},
                          {"a8e4", KindQuiet, -30950},        {"d2d4", KindQuiet, -30000},
                          {"c2c4", KindQuiet, -30000},        {"f3f4", KindQuiet, -30000},
                          {"b3b4", KindQuiet, -30000},        {"h4h3", KindQuiet, -30000},
                          {"h4g3", KindQuiet, -30000}});
  EXPECT_EQ(Evasions().size(), 17u);
}

TEST(GenerateEvasions, DoubleCheckOnlyKingMoves) {
  // Rook e8 and knight d3 both check the king on e1; the white rook and queen could otherwise help.
  ASSERT_TRUE(SetupGame("4r1k1/8/8/8/8/R2n4/8/Q3K3 w - -"));
  std::vector<MoveEntry> list = Evasions();
  ASSERT_FALSE(list.empty());
  for (const MoveEntry& e : list) EXPECT_EQ(MoveFrom(e.Move), E1) << Text(e.Move);
}

TEST(GenerateEvasions, EnPassantCapturesTheCheckingPawn) {
  // Black has just played d7d5, checking the white king on e4; c5 and e5 pawns may take en passant.
  ASSERT_TRUE(SetupGame("4k3/8/8/2PpP3/4K3/8/8/8 w - d6"));
  std::vector<MoveEntry> list = Evasions();
  ExpectList(list, {{"c5d6", KindEnPassant, -9500}, {"e5d6", KindEnPassant, -9500}});
  ASSERT_TRUE(SetupGame("8/8/8/4k3/2pPp3/8/8/4K3 b - d3"));
  ExpectList(Evasions(), {{"c4d3", KindEnPassant, -9500}, {"e4d3", KindEnPassant, -9500}});
}

TEST(GenerateEvasions, InterposedPromotions) {
  // The rook on h8 checks the king on a8 along the last rank: the knight blocks on e8 or c8,
  // the pawn on c7 blocks by promoting (quiet promotion scores), then the king steps aside.
  ASSERT_TRUE(SetupGame("K6r/2P5/3N4/8/8/8/8/7k w - -"));
  std::vector<MoveEntry> list = Evasions();
  ExpectList(list, {{"d6e8", KindQuiet, -30320}, {"d6c8", KindQuiet, -30320}, {"c7c8q", KindPromoQueen, -9401},
                    {"c7c8n", KindPromoKnight, -30005}, {"c7c8r", KindPromoRook, -30025},
                    {"c7c8b", KindPromoBishop, -30050}, {"a8b7", KindQuiet, -30000}, {"a8a7", KindQuiet, -30000}});
  EXPECT_EQ(list.size(), 8u);
}

TEST(GenerateEvasions, SameLegalMovesAsTheFullGenerator) {
  int checks = 0;
  unsigned seed = 1;
  for (const char* fen : PlayoutStarts)
    RandomPlayouts(fen, seed++, 60, 150, [&] {
      if (!InCheck()) return;
      checks++;
      std::vector<MoveEntry> evasions = Evasions();
      std::set<Move> unique;
      for (auto& e : evasions) ASSERT_TRUE(unique.insert(e.Move).second) << "duplicate " << Text(e.Move);
      std::vector<Move> viaEvasions = LegalOf(evasions), viaAll = LegalOf(AllMoves());
      std::sort(viaEvasions.begin(), viaEvasions.end());
      std::sort(viaAll.begin(), viaAll.end());
      char fenText[128];
      WriteFen(fenText);
      ASSERT_EQ(viaEvasions, viaAll) << fenText;
    });
  EXPECT_GT(checks, 300);
}
