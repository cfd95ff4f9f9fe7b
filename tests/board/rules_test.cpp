// Coordinate move text, move validation and legality, game moves and the draw rules.
#include <algorithm>
#include <cstring>
#include "../movegen/movegen_helpers.h"

using namespace movegen_test;

// Text read against the game position: the kind it gets and the text it writes back.
TEST(CoordinateMoves, KindsAndTextFromTheRootSnapshot) {
  struct Case { const char* fen; const char* text; int kind; };  // kind -1: no move
  const Case cases[] = {
      {"r5kr/4P3/8/8/8/8/8/R3K2R w KQ -", "e1g1", KindWhiteShortCastle},
      {"r5kr/4P3/8/8/8/8/8/R3K2R w KQ -", "e1c1", KindWhiteLongCastle},
      {"r5kr/4P3/8/8/8/8/8/R3K2R w KQ -", "e7e8q", KindPromoQueen},
      {"r5kr/4P3/8/8/8/8/8/R3K2R w KQ -", "e7e8", KindQuiet},  // refused later: it must promote
      {"r5kr/4P3/8/8/8/8/8/R3K2R w KQ -", "e4", -1},
      {"r5kr/4P3/8/8/8/8/8/R3K2R w KQ -", "", -1},
      {"3rk3/4P3/8/8/8/8/8/4K3 w - -", "e7d8q", KindCapPromoQueen},
      {"3rk3/4P3/8/8/8/8/8/4K3 w - -", "e7d8b", KindCapPromoBishop},
      {"3rk3/4P3/8/8/8/8/8/4K3 w - -", "e1g1", KindQuiet},  // no rights: a king move word
      {"r3k2r/8/8/8/8/8/1p6/R3K2R b kq -", "e8c8", KindBlackLongCastle},
      {"r3k2r/8/8/8/8/8/1p6/R3K2R b kq -", "b2a1r", KindCapPromoRook},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6", "e5f6", KindEnPassant},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6", "e5d6", KindQuiet},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupPosition(c.fen));
    Move m = ReadCoordinateMove(c.text);
    EXPECT_EQ(m ? MoveKind(m) : -1, c.kind) << c.text;
    EXPECT_EQ(m ? Text(m) : "", c.kind < 0 ? "" : c.text);
  }
}

// Move words the search may meet from the table or the killers: pseudo-legality, then king safety.
TEST(Validation, MoveWordsAgainstThePosition) {
  enum Verdict { Invalid, KingUnsafe, Legal };
  struct Case { const char* fen; Move move; Verdict verdict; const char* why; };
  const char* rooks = "r3k2r/8/8/8/8/8/6PP/RN2K2R w KQkq -";
  const Case cases[] = {
      {rooks, MakeMoveWord(B1, D2, KindQuiet), Legal, "knight move"},
      {rooks, MakeMoveWord(B1, D2, KindCapture), Invalid, "nothing to capture"},
      {rooks, MakeMoveWord(G2, H2, KindQuiet), Invalid, "not a pawn step"},
      {rooks, MakeMoveWord(A1, B1, KindQuiet), Invalid, "own piece there"},
      {rooks, MakeMoveWord(A8, A1, KindCapture), Invalid, "black piece, white to move"},
      {rooks, MakeMoveWord(H1, H8, KindCapture), Invalid, "blocked by the own pawn"},
      {rooks, MakeMoveWord(E1, G1, KindWhiteShortCastle), Legal, "path empty"},
      {rooks, MakeMoveWord(E1, C1, KindWhiteLongCastle), Invalid, "b1 occupied"},
      {"4k3/8/8/8/8/8/8/R3K2r w Q -", MakeMoveWord(A1, E1, KindCapture), Invalid, "a king is never captured"},
      {"4k3/8/8/8/8/8/8/R3K2r w Q -", MakeMoveWord(E1, G1, KindWhiteShortCastle), Invalid, "right gone"},
      {"4k3/7p/8/P7/8/8/8/4K3 w - -", MakeMoveWord(A5, H7, KindCapture), Invalid, "no wrap around the board"},
      {"4k3/8/8/1pP5/8/8/P7/4K3 w - b6", MakeMoveWord(C5, B6, KindEnPassant), Legal, "en passant"},
      {"4k3/8/8/1pP5/8/8/P7/4K3 w - b6", MakeMoveWord(A2, B6, KindEnPassant), Invalid, "not from c5 or a5"},
      {"4k3/P7/8/8/8/8/8/4K3 w - -", MakeMoveWord(A7, A8, KindQuiet), Invalid, "must promote"},
      {"4k3/P7/8/8/8/8/8/4K3 w - -", MakeMoveWord(A7, A8, KindPromoKnight), Legal, "promotion"},
      {"4k3/8/b7/8/8/8/8/4K2R w K -", MakeMoveWord(E1, G1, KindWhiteShortCastle), KingUnsafe, "f1 attacked"},
      {"8/8/8/8/8/8/6k1/4K2R w K -", MakeMoveWord(E1, G1, KindWhiteShortCastle), Invalid, "g1 next to the other king"},
      {"8/8/8/8/k2Pp2R/8/8/4K3 b - d3", MakeMoveWord(E4, D3, KindEnPassant), KingUnsafe, "both pawns leave the rank"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupPosition(c.fen));
    EXPECT_EQ(ValidateMove(c.move), c.verdict != Invalid) << c.why;
    EXPECT_EQ(MoveIsLegal(c.move), c.verdict == Legal) << c.why;
  }
}

TEST(GameMoves, RefusedMovesChangeNothing) {
  ASSERT_TRUE(SetupPosition("4r1k1/8/8/8/8/8/4N3/4K3 w - -"));
  PositionState before = Position;
  testing::internal::CaptureStdout();
  for (Move m : {MakeMoveWord(E2, C3, KindQuiet), MarkerStalemate, MakeMoveWord(E1, E3, KindQuiet)})
    EXPECT_FALSE(MakeRealMove(m)) << Text(m);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // the engine answers the interface
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof Position), 0);
  EXPECT_EQ(HistoryTop, 0);
  EXPECT_EQ(GamePly, 1);
}

// Games of every move kind reach the position the rules of chess give; the root snapshot and the
// counters follow.
TEST(GameMoves, ReachTheExpectedPositions) {
  struct Case { const char* fen; const char* moves; const char* reached; };
  const Case cases[] = {
      {InitialFen, "e2e4 c7c5 e4e5 d7d5 e5d6 g8f6 g1f3 e7d6 f1e2 f8e7 e1g1",
       "rnbqk2r/pp2bppp/3p1n2/2p5/8/5N2/PPPPBPPP/RNBQ1RK1 b kq -"},
      {InitialFen, "d2d4 e7e5 d4e5 d7d5 e5d6 c8e6 c1f4 d8d7 b1c3 b8c6 d1d3 e8c8 e1c1 c8b8",
       "1k1r1bnr/pppq1ppp/2nPb3/8/5B2/2NQ4/PPP1PPPP/2KR1BNR w - -"},
      {"r3k2r/1PP5/8/5p2/5P2/8/1p4p1/R3K2R w KQkq -", "b7a8q e8e7 c7c8r g2h1q e1d2 b2a1b a8a1 h8h2 d2d3",
       "2R5/4k3/8/5p2/5P2/3K4/7r/Q6q b - -"},
      {"4k3/8/8/8/8/8/1p5P/R3K3 b Q -", "b2a1n h2h4 a1c2 e1d2 c2d4 h4h5 e8f7 h5h6 f7g6 h6h7 g6g7 h7h8n",
       "7N/6k1/8/8/3n4/8/3K4/8 b - -"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupPosition(c.fen));
    ASSERT_TRUE(Play(c.moves)) << c.moves;
    EXPECT_EQ(Fen(), c.reached);
    EXPECT_EQ(std::memcmp(RootBoard, Position.Board, 64), 0);
    EXPECT_EQ(RootSideToMove, Position.SideToMove);
    EXPECT_EQ(RootCastleRights, Position.CastleRights);
    EXPECT_EQ(RootKingSquare[White], Position.KingSquare[White]);
    EXPECT_EQ(GamePly, 1 + HistoryTop);
    EXPECT_EQ(SearchAge, GamePly);
  }
}

// DetectDraw after game moves: {fen, moves, occurrences asked for, marker expected}.
TEST(Draws, MaterialRepetitionAndFiftyMoves) {
  struct Case { const char* fen; const char* moves; int occurrences; Move expected; };
  const char* rook = "4k3/8/8/8/8/8/8/R3K3 w - -";
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/N3K3 w - -", "", 1, MarkerInsufficient},
      {"4k3/8/8/8/8/8/8/2B1K3 b - -", "", 1, MarkerInsufficient},
      {"4k3/8/8/8/8/8/8/NN2K3 w - -", "", 1, 0},
      {"4k3/p7/8/8/8/8/8/N3K3 w - -", "", 1, 0},
      {rook, "a1a2 e8d8 a2a1 d8e8", 1, MarkerRepetition},
      {rook, "a1a2 e8d8 a2a1 d8e8", 2, 0},
      {rook, "a1a2 e8d8 a2a1 d8e8 a1a2 e8d8 a2a1 d8e8", 2, MarkerRepetition},
      {rook, "a1a2 e8d8 a2a1 d8d7 a1a2 d7d8 a2a1 d8e8", 1, MarkerRepetition},
      {rook, "a1a2 e8d8 a2a1 d8d7 a1a2 d7d8 a2a1 d8e8", 2, 0},
      {rook, "a1a2 e8d8 a2a3 d8e8 a3a1", 1, 0},  // the start's placement with the other side to move
      {"4k3/8/8/8/8/8/P7/R3K3 w - -", "a1b1 e8d8 b1a1 d8e8 a2a3 e8d8", 1, 0},  // a pawn move in between
      {"4k3/8/8/8/8/8/8/R3K3 b - -", "e8d8 a1a2 d8e8 a2a1 e8d8", 1, MarkerRepetition},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupPosition(c.fen));
    ASSERT_TRUE(Play(c.moves)) << c.moves;
    EXPECT_EQ(DetectDraw(c.occurrences), c.expected) << c.fen << " " << c.moves << " x" << c.occurrences;
  }
}

TEST(Draws, RepetitionForecastOfAMove) {
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/P7/R3K3 w - -"));
  ASSERT_TRUE(Play("a1b1 e8d8 b1a1 d8e8 a1b1 e8d8"));
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(B1, A1, KindQuiet)), 1);
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(A2, A3, KindQuiet)), 0);  // pawn move
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(B1, C1, KindQuiet)), 0);
  KeyHistory[HistoryTop].HalfmoveClock = 80;  // near the fifty-move limit any quiet move counts
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(B1, C1, KindQuiet)), 1);
}

TEST(Draws, NullMoveRoundTrip) {
  ASSERT_TRUE(SetupPosition("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6"));
  const PositionState before = Position;
  MakeNullMove();
  EXPECT_EQ(Fen(), "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR b KQkq -");
  EXPECT_EQ(KeyHistory[HistoryTop].HalfmoveClock, 1);
  UnmakeNullMove();
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof Position), 0);
  EXPECT_EQ(HistoryTop, 0);
}

// Thousands of game moves: the key history is compacted and the draw rules still work on it.
TEST(Draws, LongGamesKeepTheHistoryInsideItsArray) {
  ASSERT_TRUE(SetupPosition("4k3/p7/8/8/8/8/P7/R3K3 w - -"));
  const char* cycle[] = {"a1b1", "e8d8", "b1a1", "d8e8"};
  for (int ply = 0; ply < 3000; ply++) {
    ASSERT_TRUE(Play(cycle[ply % 4])) << ply;
    ASSERT_LT(HistoryTop, KeyHistorySize - 150);
    ASSERT_GE(HistoryTop, std::min(ply + 1, 100)) << "the last hundred plies are kept for the draw rules";
  }
  EXPECT_EQ(DetectDraw(1), MarkerFiftyMoves);
  ASSERT_TRUE(Play("a2a3 a7a6 a1b1 e8d8 b1a1 d8e8"));
  EXPECT_EQ(DetectDraw(1), MarkerRepetition);
  EXPECT_EQ(DetectDraw(2), 0);
  EXPECT_EQ(GamePly, 3007);
}
