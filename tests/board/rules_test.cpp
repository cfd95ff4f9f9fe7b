// Check and legality tests, move validation, draw rules, coordinate move text and game moves.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "board/board.h"

namespace {

const bool Initialised = (InitTables(), true);

Move Coord(const char* text) {
  // Read against the position on the board, as after a setup.
  return ReadCoordinateMove(text);
}

std::string Text(Move m) {
  char buffer[8];
  MoveToText(m, buffer);
  return buffer;
}

std::string Fen() {
  char buffer[128];
  WriteFen(buffer);
  return buffer;
}

// Plays coordinate moves as game moves; false at the first refused one.
bool Play(std::initializer_list<const char*> moves) {
  for (const char* m : moves)
    if (!MakeRealMove(Coord(m))) return false;
  return true;
}

}  // namespace

TEST(CoordinateMoves, KindsFromTheRootSnapshot) {
  ASSERT_TRUE(SetupPosition("r5kr/4P3/8/8/8/8/8/R3K2R w KQ -"));
  EXPECT_EQ(MoveKind(Coord("e1g1")), KindWhiteShortCastle);
  EXPECT_EQ(MoveKind(Coord("e1c1")), KindWhiteLongCastle);
  EXPECT_EQ(MoveKind(Coord("e7e8")), KindQuiet);
  EXPECT_EQ(MoveKind(Coord("e7e8q")), KindPromoQueen);
  EXPECT_EQ(MoveKind(Coord("e7e8n")), KindPromoKnight);
  EXPECT_EQ(Coord("e4"), 0);
  EXPECT_EQ(Coord("i2i4"), 0);
  EXPECT_EQ(Coord(""), 0);
  ASSERT_TRUE(SetupPosition("3rk3/4P3/8/8/8/8/8/4K3 w - -"));
  EXPECT_EQ(MoveKind(Coord("e7d8q")), KindCapPromoQueen);
  EXPECT_EQ(MoveKind(Coord("e7d8b")), KindCapPromoBishop);
  EXPECT_EQ(MoveKind(Coord("e1g1")), KindQuiet);  // no rights: an ordinary king move word
  ASSERT_TRUE(SetupPosition("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6"));
  EXPECT_EQ(MoveKind(Coord("e5f6")), KindEnPassant);
  EXPECT_EQ(MoveKind(Coord("e5d6")), KindQuiet);
}

TEST(CoordinateMoves, TextOfEveryKind) {
  EXPECT_EQ(Text(MakeMoveWord(E1, C1, KindWhiteLongCastle)), "e1c1");
  EXPECT_EQ(Text(MakeMoveWord(E8, G8, KindBlackShortCastle)), "e8g8");
  EXPECT_EQ(Text(MakeMoveWord(E7, E8, KindCapPromoKnight)), "e7e8n");
  EXPECT_EQ(Text(MakeMoveWord(B2, B1, KindPromoRook)), "b2b1r");
  EXPECT_EQ(Text(MakeMoveWord(G1, F3, KindQuiet)), "g1f3");
}

TEST(Validation, RefusesWhatThePositionDoesNotAllow) {
  ASSERT_TRUE(SetupPosition("r3k2r/8/8/8/8/8/6PP/RN2K2R w KQkq -"));
  EXPECT_TRUE(ValidateMove(MakeMoveWord(B1, D2, KindQuiet)));
  EXPECT_FALSE(ValidateMove(MakeMoveWord(B1, D2, KindCapture)));   // nothing to capture
  EXPECT_FALSE(ValidateMove(MakeMoveWord(B1, A3, KindCapture)));   // empty square
  EXPECT_FALSE(ValidateMove(MakeMoveWord(G2, H2, KindQuiet)));     // not a pawn step
  EXPECT_FALSE(ValidateMove(MakeMoveWord(A1, B1, KindQuiet)));     // own piece there
  EXPECT_FALSE(ValidateMove(MakeMoveWord(A8, A1, KindCapture)));   // black piece, white to move
  EXPECT_FALSE(ValidateMove(MakeMoveWord(H1, H8, KindCapture)));   // blocked by own pawn
  EXPECT_TRUE(ValidateMove(MakeMoveWord(E1, G1, KindWhiteShortCastle)));
  EXPECT_FALSE(ValidateMove(MakeMoveWord(E1, C1, KindWhiteLongCastle)));  // b1 occupied
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/R3K2r w Q -"));
  EXPECT_FALSE(ValidateMove(MakeMoveWord(A1, E1, KindCapture)));   // a king is never captured
  EXPECT_FALSE(ValidateMove(MakeMoveWord(E1, G1, KindWhiteShortCastle)));  // right gone
}

TEST(Validation, PawnGeometryDoesNotWrapAroundTheBoard) {
  ASSERT_TRUE(SetupPosition("4k3/7p/8/P7/8/8/8/4K3 w - -"));
  // a5 (24) to h7 (15) differs by 9 square numbers but is no capture.
  EXPECT_FALSE(ValidateMove(MakeMoveWord(A5, H7, KindCapture)));
  ASSERT_TRUE(SetupPosition("4k3/8/8/1pP5/8/8/P7/4K3 w - b6"));
  EXPECT_TRUE(ValidateMove(MakeMoveWord(C5, B6, KindEnPassant)));
  EXPECT_FALSE(ValidateMove(MakeMoveWord(A2, B6, KindEnPassant)));  // any other pawn is refused
  ASSERT_TRUE(SetupPosition("4k3/P7/8/8/8/8/8/4K3 w - -"));
  EXPECT_FALSE(ValidateMove(MakeMoveWord(A7, A8, KindQuiet)));      // must promote
  EXPECT_TRUE(ValidateMove(MakeMoveWord(A7, A8, KindPromoKnight)));
}

TEST(Legality, CastlingPathAndKingSafety) {
  // A black bishop on a6 attacks f1.
  ASSERT_TRUE(SetupPosition("4k3/8/b7/8/8/8/8/4K2R w K -"));
  EXPECT_FALSE(MoveIsLegal(MakeMoveWord(E1, G1, KindWhiteShortCastle)));
  // The black king on g2 stands next to the path.
  ASSERT_TRUE(SetupPosition("8/8/8/8/8/8/6k1/4K2R w K -"));
  EXPECT_FALSE(MoveIsLegal(MakeMoveWord(E1, G1, KindWhiteShortCastle)));
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/4K2R w K -"));
  EXPECT_TRUE(MoveIsLegal(MakeMoveWord(E1, G1, KindWhiteShortCastle)));
  // Castling out of check is refused.
  ASSERT_TRUE(SetupPosition("4r1k1/8/8/8/8/8/8/4K2R w K -"));
  EXPECT_FALSE(MoveIsLegal(MakeMoveWord(E1, G1, KindWhiteShortCastle)));
  // A pinned knight may not move.
  ASSERT_TRUE(SetupPosition("4r1k1/8/8/8/8/8/4N3/4K3 w - -"));
  EXPECT_FALSE(MoveIsLegal(MakeMoveWord(E2, C3, KindQuiet)));
}

TEST(Legality, ComputeCheckersFindsEveryChecker) {
  ASSERT_TRUE(SetupPosition("4k3/8/8/1b6/8/3n4/8/4K2r w - -"));
  CheckInfo info{};
  ComputeCheckers(&info);
  EXPECT_EQ(info.checkers, SquareMask[H1] | SquareMask[D3]);
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/1b6/8/3P4/4K3 w - -"));
  ComputeCheckers(&info);
  EXPECT_EQ(info.checkers, 0u);
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/1b6/8/8/4K3 w - -"));
  ComputeCheckers(&info);
  EXPECT_EQ(info.checkers, SquareMask[B4]);
  EXPECT_TRUE(info.bishopLines & SquareMask[B4]);
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/3p4/4K3 w - -"));
  ComputeCheckers(&info);
  EXPECT_EQ(info.checkers, SquareMask[D2]);
}

TEST(GameMoves, IllegalMovesAreRefusedAndChangeNothing) {
  ASSERT_TRUE(SetupPosition("4r1k1/8/8/8/8/8/4N3/4K3 w - -"));
  PositionState before = Position;
  int top = HistoryTop;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(MakeRealMove(MakeMoveWord(E2, C3, KindQuiet)));   // pinned
  EXPECT_FALSE(MakeRealMove(MarkerStalemate));                   // a marker word
  EXPECT_FALSE(MakeRealMove(MakeMoveWord(E1, E3, KindQuiet)));   // not a king step
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Illegal Move: e2c3\n"), std::string::npos);
  EXPECT_NE(out.find("Illegal Move: e1e3\n"), std::string::npos);
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof Position), 0);
  EXPECT_EQ(HistoryTop, top);
  EXPECT_EQ(GamePly, 1);
}

TEST(GameMoves, RootSnapshotAndCountersFollowTheGame) {
  ASSERT_TRUE(SetupPosition(InitialFen));
  ASSERT_TRUE(Play({"e2e4", "c7c5", "e4e5", "d7d5"}));
  EXPECT_EQ(GamePly, 5);
  EXPECT_EQ(SearchAge, 5);
  EXPECT_EQ(RootEpSquare, D6);
  EXPECT_EQ(MoveKind(Coord("e5d6")), KindEnPassant);
  ASSERT_TRUE(Play({"e5d6"}));
  EXPECT_EQ(Fen(), "rnbqkbnr/pp2pppp/3P4/2p5/8/8/PPPP1PPP/RNBQKBNR b KQkq -");
  EXPECT_EQ(std::memcmp(RootBoard, Position.Board, 64), 0);
  EXPECT_EQ(RootSideToMove, Black);
  ASSERT_TRUE(Play({"g8f6", "g1f3", "e7d6", "f1e2", "f8e7"}));
  ASSERT_TRUE(Play({"e1g1"}));
  EXPECT_EQ(Position.KingSquare[White], G1);
  EXPECT_EQ(Position.Board[F1], WhiteRook);
  EXPECT_EQ(RootCastleRights, RightBlackShort | RightBlackLong);
  EXPECT_EQ(KeyHistory[HistoryTop].HalfmoveClock, 0);
  EXPECT_TRUE(PositionIsConsistent());
}

TEST(Draws, RepetitionFiftyMovesAndMaterial) {
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/N3K3 w - -"));
  EXPECT_EQ(DetectDraw(1), MarkerInsufficient);
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/NN2K3 w - -"));
  EXPECT_EQ(DetectDraw(1), 0);

  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/R3K3 w - -"));
  ASSERT_TRUE(Play({"a1a2", "e8d8", "a2a1", "d8e8"}));  // the start position again, clock 4
  EXPECT_EQ(DetectDraw(1), MarkerRepetition);
  EXPECT_EQ(DetectDraw(2), 0);
  ASSERT_TRUE(Play({"a1a2", "e8d8", "a2a1", "d8e8"}));
  EXPECT_EQ(DetectDraw(1), MarkerRepetition);
  EXPECT_EQ(DetectDraw(2), MarkerRepetition);

  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/R3K3 w - -"));
  ASSERT_TRUE(Play({"a1a2", "e8d8", "a2a1"}));  // clock 3: too early to look
  EXPECT_EQ(DetectDraw(1), 0);
  KeyHistory[HistoryTop].HalfmoveClock = 100;
  EXPECT_EQ(DetectDraw(1), MarkerFiftyMoves);
}

TEST(Draws, RepetitionForecastOfAQuietMove) {
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/P7/R3K3 w - -"));
  ASSERT_TRUE(Play({"a1b1", "e8d8", "b1a1", "d8e8", "a1b1", "e8d8"}));
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(B1, A1, KindQuiet)), 1);
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(A2, A3, KindQuiet)), 0);  // pawn move
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(B1, C1, KindQuiet)), 0);
  KeyHistory[HistoryTop].HalfmoveClock = 80;
  EXPECT_EQ(RepetitionAfterMove(MakeMoveWord(B1, C1, KindQuiet)), 1);
}

TEST(Draws, NullMoveRoundTrip) {
  ASSERT_TRUE(SetupPosition("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6"));
  PositionState before = Position;
  int top = HistoryTop;
  MakeNullMove();
  EXPECT_EQ(Position.SideToMove, Black);
  EXPECT_EQ(Position.EpSquare, 0);
  EXPECT_EQ(KeyHistory[top].Move, MarkerNullMove);
  EXPECT_EQ(KeyHistory[HistoryTop].HalfmoveClock, 1);
  UnmakeNullMove();
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof Position), 0);
  EXPECT_EQ(HistoryTop, top);
}

TEST(GameMoves, LongGamesKeepTheHistoryInsideItsArray) {
  ASSERT_TRUE(SetupPosition("4k3/p7/8/8/8/8/P7/R3K3 w - -"));
  const char* cycle[] = {"a1b1", "e8d8", "b1a1", "d8e8"};
  for (int ply = 0; ply < 3000; ply++) {
    ASSERT_TRUE(MakeRealMove(Coord(cycle[ply % 4]))) << ply;
    ASSERT_LT(HistoryTop, KeyHistorySize - 150);
  }
  EXPECT_EQ(DetectDraw(1), MarkerFiftyMoves);
  // After a pawn move the repetition rule works again on the compacted history.
  ASSERT_TRUE(Play({"a2a3", "a7a6", "a1b1", "e8d8", "b1a1", "d8e8"}));
  EXPECT_EQ(DetectDraw(1), MarkerRepetition);
  EXPECT_EQ(DetectDraw(2), 0);
  EXPECT_EQ(GamePly, 3007);
}
