// FEN setup, FEN writing, the board display, refusals and the key table.
#include <gtest/gtest.h>
#include <cstring>
#include <set>
#include <string>
#include "board/board.h"

namespace {

const bool Initialised = (InitTables(), true);

std::string Fen() {
  char buffer[128];
  WriteFen(buffer);
  return buffer;
}

uint64_t PieceKeyXor() {
  uint64_t key = 0;
  for (int s = 0; s < 64; s++)
    if (Position.Board[s]) key ^= ZobristKeys[Position.Board[s]][s];
  return key;
}

}  // namespace

TEST(Position, InitialPosition) {
  ASSERT_TRUE(SetupPosition(InitialFen));
  EXPECT_EQ(Position.CastleRights, 27);
  EXPECT_EQ(Position.TotalMaterial, 78);
  EXPECT_EQ(Position.PieceMaterial[White], 31);
  EXPECT_EQ(Position.PieceMaterial[Black], 31);
  EXPECT_EQ(Position.PawnCount[White], 8);
  EXPECT_EQ(Position.PawnCount[Black], 8);
  EXPECT_EQ(Position.KingSquare[White], 60);
  EXPECT_EQ(Position.KingSquare[Black], 4);
  EXPECT_EQ(Position.EpSquare, 0);
  EXPECT_EQ(Position.SideToMove, White);
  EXPECT_EQ(Position.PositionKey, PieceKeyXor());
  EXPECT_EQ(KeyHistory[0].Key, Position.PositionKey);
  EXPECT_EQ(HistoryTop, 0);
  EXPECT_EQ(GamePly, 1);
  EXPECT_EQ(SearchAge, 1);
  EXPECT_TRUE(PositionIsConsistent());
  EXPECT_EQ(Fen(), InitialFen);
}

TEST(Position, EnPassantSquareIsReadButNotKeyed) {
  ASSERT_TRUE(SetupPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b - e3 0 1"));
  EXPECT_EQ(Position.SideToMove, Black);
  EXPECT_EQ(Position.CastleRights, 0);
  EXPECT_EQ(Position.EpSquare, 44);
  EXPECT_EQ(Position.PositionKey, PieceKeyXor());
  uint32_t pawnKey = 0;
  for (int s = 0; s < 64; s++)
    if (Position.Board[s] == WhitePawn || Position.Board[s] == BlackPawn)
      pawnKey ^= static_cast<uint32_t>(ZobristKeys[Position.Board[s]][s]);
  EXPECT_EQ(Position.PawnKey, pawnKey);
}

TEST(Position, FenRoundTrip) {
  const char* fens[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "r3k2r/8/8/8/8/8/8/R3K2R b Kq -",
      "r3k2r/8/8/8/8/8/8/R3K2R w Qk -",
      "r3k2r/8/8/8/8/8/8/R3K2R w K -",
      "r3k2r/8/8/8/8/8/8/R3K2R b q -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",
      "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3",
      "8/8/4k3/8/8/4K3/4P3/8 w - -",
      "4k3/8/8/8/8/8/8/4K2Q b - -",
      "7k/8/8/8/8/8/8/K7 w - -",
      "2rb1rk1/p4p2/2n3p1/q2NpPP1/2p5/P1Q1PP2/1P1R4/2K4R w - -",
      "R7/8/8/6p1/8/b7/4k3/K7 w - -",
      "1k6/R1R5/8/8/8/8/8/4K3 b - -",
      "q3k3/8/8/8/8/8/8/R2RK3 b - -",
      "4k3/7B/6p1/8/8/8/P7/4K3 w - -",
      "3k4/8/8/3p4/2P1P3/8/8/3K4 b - -",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
      "8/P1k5/K7/8/8/8/8/8 w - -",
      "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -",
  };
  for (const char* fen : fens) {
    ASSERT_TRUE(SetupPosition(fen)) << fen;
    EXPECT_EQ(Fen(), fen);
    EXPECT_EQ(Position.PositionKey, PieceKeyXor()) << fen;
    EXPECT_TRUE(PositionIsConsistent()) << fen;
  }
}

TEST(Position, ClocksAreSkippedAndBlanksAccepted) {
  ASSERT_TRUE(SetupPosition(" \t8/8/4k3/8/8/4K3/4P3/8 w - - 12 40\r\n"));
  EXPECT_EQ(Fen(), "8/8/4k3/8/8/4K3/4P3/8 w - -");
  ASSERT_TRUE(SetupPosition("8/8/4k3/8/8/4K3/4P3/8 W"));
  EXPECT_EQ(Fen(), "8/8/4k3/8/8/4K3/4P3/8 w - -");
}

TEST(Position, UnusableCastlingAndEnPassantFieldsAreDropped) {
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/4K2R w KQkq -"));
  EXPECT_EQ(Position.CastleRights, RightWhiteShort);
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/4K2R w - e6"));
  EXPECT_EQ(Position.EpSquare, 0);
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/4K2R w - z9"));
  EXPECT_EQ(Position.EpSquare, 0);
}

TEST(Position, RefusedSetupsLeaveThePreviousPositionWhole) {
  const char* refused[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN0 w KQkq -",   // '0'
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN9 w KQkq -",   // '9'
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq -",            // ends before 64 squares
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -",   // side letter
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq -",  // 65 squares
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKB7 w KQkq -",    // counter overshoots 64
      "8/8/8/8/8/8/8/8 w - -",                                  // no kings
      "8/8/4k3/8/8/8/8/8 w - -",                                // one king
      "4k3/8/8/8/8/8/8/3KK3 w - -",                             // two white kings
      "P3k3/8/8/8/8/8/8/4K3 w - -",                             // pawn on rank 8
      "4k3/8/8/8/8/8/8/p3K3 w - -",                             // pawn on rank 1
      "4k3/8/8/8/8/8/8/4K2r b - -",                             // side not to move in check
      "8/8/8/3kK3/8/8/8/8 w - -",                               // kings side by side
      "QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/k6K w - -",                  // unreachable material
      "",
  };
  const char* game = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
  ASSERT_TRUE(SetupPosition(game));
  PositionState before = Position;
  for (const char* fen : refused) {
    EXPECT_FALSE(SetupPosition(fen)) << fen;
    EXPECT_EQ(std::memcmp(&before, &Position, sizeof Position), 0) << fen;
    EXPECT_EQ(Fen(), game);
  }
}

TEST(Position, EpdOperationsNeedTheirTerminator) {
  // "bm" with nothing after the move text is not taken, so the setup succeeds without a best move.
  ASSERT_TRUE(SetupPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - bm Nf3"));
  EXPECT_EQ(Position.EpdBestMove, 0);
  EXPECT_EQ(Position.EpdAvoidMove, 0);
}

TEST(Position, PrintBoardLayout) {
  ASSERT_TRUE(SetupPosition(InitialFen));
  testing::internal::CaptureStdout();
  PrintBoard(Position.Board);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("\n8 r n b q k b n r ", 0), 0u);
  EXPECT_NE(out.find("\n1 R N B Q K B N R "), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 21), " \n\n  A B C D E F G H\n");
}

TEST(Position, ZobristKeysAreFixedDistinctAndNonZero) {
  std::set<uint64_t> seen;
  for (auto& row : ZobristKeys)
    for (uint64_t k : row) {
      EXPECT_NE(k, 0u);
      seen.insert(k);
    }
  EXPECT_EQ(seen.size(), 13u * 64u);
  EXPECT_EQ(ZobristKeys[0][G1], 0xCED259CCB5DBD866ULL);
  EXPECT_EQ(ZobristKeys[0][C1], 0xB6EB38B5736CA771ULL);
  EXPECT_EQ(ZobristKeys[0][G8], 0x30417CFC9915AA11ULL);
  EXPECT_EQ(ZobristKeys[0][C8], 0x6F3F36E2868BB94AULL);
  EXPECT_EQ(ZobristKeys[0][A8], 0xED8B48E2E216A72EULL);
  EXPECT_EQ(ZobristKeys[1][A8], 0x7D56336D7061C17FULL);
  EXPECT_EQ(ZobristKeys[1][H1], 0xC2B2246C132A8093ULL);
  EXPECT_EQ(ZobristKeys[12][H1], 0xDDAB5AB60378FF85ULL);
}
