// Making and unmaking moves: every generated move of many positions is made and
// taken back, and the position must come back bit for bit; plus the key and
// counter rules of single moves.
#include <cstring>
#include <set>
#include "../movegen/movegen_helpers.h"

using namespace movegen_test;

namespace {

// Low halves of the pawn keys and of the en-passant key: what PawnKey must hold.
uint32_t PawnKeyFromScratch() {
  uint32_t key = 0;
  for (int s = 0; s < 64; s++)
    if (Position.Board[s] == WhitePawn || Position.Board[s] == BlackPawn)
      key ^= static_cast<uint32_t>(ZobristKeys[Position.Board[s]][s]);
  if (Position.EpSquare) key ^= static_cast<uint32_t>(ZobristKeys[0][Position.EpSquare]);
  return key;
}

// A setup leaves the en-passant key out of PawnKey while the move maker always XORs it out
// when the square is cleared; the difference fixed at setup must stay the same afterwards.
uint32_t PawnKeyOffset = 0;

struct Coverage {
  std::set<int> kinds;
  int cornerCapturesDroppingRights = 0;
};

// Makes and unmakes m, checking the position in between and afterwards.
void CheckRoundTrip(Move m, Coverage& seen) {
  static PlyRecord record;
  PositionState before;
  std::memcpy(&before, &Position, sizeof before);
  const int top = HistoryTop;
  const KeyHistoryEntry entry = KeyHistory[top];
  char fen[128];
  WriteFen(fen);
  SCOPED_TRACE(std::string(fen) + " " + Text(m));

  SaveBoardState(&record);
  MakeMove(m, &record);
  ASSERT_TRUE(PositionIsConsistent());
  EXPECT_EQ(Position.PawnKey ^ PawnKeyFromScratch(), PawnKeyOffset);
  EXPECT_EQ(HistoryTop, top + 1);
  EXPECT_EQ(KeyHistory[top + 1].Key, Position.PositionKey);
  EXPECT_EQ(KeyHistory[top].Move, m);
  EXPECT_NE(Position.SideToMove, before.SideToMove);
  int to = MoveTo(m), kind = MoveKind(m);
  bool corner = to == A1 || to == H1 || to == A8 || to == H8;
  if (corner && (kind == KindCapture || kind >= KindCapPromoQueen) && kind < KindBlackShortCastle &&
      Position.CastleRights != before.CastleRights)
    seen.cornerCapturesDroppingRights++;
  seen.kinds.insert(kind);

  UnmakeMove(m, &record);
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0);
  EXPECT_EQ(HistoryTop, top);
  EXPECT_EQ(KeyHistory[top].Key, entry.Key);
  EXPECT_EQ(KeyHistory[top].HalfmoveClock, entry.HalfmoveClock);
}

void CheckEveryGeneratedMove(Coverage& seen) {
  std::vector<MoveEntry> lists[3] = {AllMoves(), Captures(), InCheck() ? Evasions() : std::vector<MoveEntry>()};
  for (auto& list : lists)
    for (const MoveEntry& e : list) CheckRoundTrip(e.Move, seen);
}

// One more ply of the round trip below every legal move (positions after castling, en passant...).
void CheckTwoPlies(const char* fen, Coverage& seen) {
  static PlyRecord record;
  ASSERT_TRUE(SetupPosition(fen));
  PawnKeyOffset = Position.PawnKey ^ PawnKeyFromScratch();
  CheckEveryGeneratedMove(seen);
  for (Move m : LegalOf(AllMoves())) {
    SaveBoardState(&record);
    MakeMove(m, &record);
    CheckEveryGeneratedMove(seen);
    UnmakeMove(m, &record);
  }
}

PositionState Snapshot() {
  PositionState p;
  std::memcpy(&p, &Position, sizeof p);
  return p;
}

void Make(Move m) {
  static PlyRecord records[8];
  static int next = 0;
  PlyRecord* r = &records[next++ & 7];
  SaveBoardState(r);
  MakeMove(m, r);
}

}  // namespace

TEST(MakeUnmake, RestoresEverythingForEveryMoveKind) {
  Coverage seen;
  const char* positions[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N w - -",
      "r3k2r/1P6/8/8/8/8/6p1/R3K2R w KQkq -",  // promotions capturing on the corners
      "r3k2r/1P6/8/8/8/8/6p1/R3K2R b KQkq -",
      "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -",  // rooks taking rooks on the corners
      "4k3/8/8/3pP3/8/8/8/4K3 w - d6",
      "4k3/8/8/8/3Pp3/8/8/4K3 b - d3",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
  };
  for (const char* fen : positions) CheckTwoPlies(fen, seen);
  for (int kind : {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}) EXPECT_TRUE(seen.kinds.count(kind)) << kind;
  EXPECT_GT(seen.cornerCapturesDroppingRights, 4);
}

TEST(MakeUnmake, RestoresEverythingAlongRandomGames) {
  Coverage seen;
  PawnKeyOffset = 0;
  for (const char* fen : PlayoutStarts) RandomPlayouts(fen, 11, 6, 100, [&] { CheckEveryGeneratedMove(seen); });
  EXPECT_GE(seen.kinds.size(), 14u);
}

TEST(MakeMove, DoublePushSetsTheEnPassantSquareForOnePly) {
  ASSERT_TRUE(SetupPosition(InitialFen));
  PositionState before = Snapshot();
  Make(MakeMoveWord(E2, E4, KindQuiet));
  EXPECT_EQ(Position.EpSquare, E3);
  uint64_t pieceKeys = ZobristKeys[WhitePawn][E2] ^ ZobristKeys[WhitePawn][E4];
  EXPECT_EQ(Position.PositionKey, before.PositionKey ^ pieceKeys ^ ZobristKeys[0][E3]);
  EXPECT_EQ(Position.PawnKey, before.PawnKey ^ static_cast<uint32_t>(pieceKeys ^ ZobristKeys[0][E3]));
  PositionState afterPush = Snapshot();
  Make(MakeMoveWord(G8, F6, KindQuiet));
  EXPECT_EQ(Position.EpSquare, 0);
  EXPECT_EQ(Position.PositionKey,
            afterPush.PositionKey ^ ZobristKeys[0][E3] ^ ZobristKeys[BlackKnight][G8] ^ ZobristKeys[BlackKnight][F6]);
  EXPECT_EQ(Position.PawnKey, afterPush.PawnKey ^ static_cast<uint32_t>(ZobristKeys[0][E3]));
}

TEST(MakeMove, PromotionCapturingOnH8TakesBlacksShortRight) {
  ASSERT_TRUE(SetupPosition("r3k2r/6P1/8/8/8/8/8/4K3 w kq -"));
  PositionState before = Snapshot();
  Make(MakeMoveWord(G7, H8, KindCapPromoKnight));
  EXPECT_EQ(Position.CastleRights, RightBlackLong);
  EXPECT_EQ(Position.PositionKey, before.PositionKey ^ ZobristKeys[WhitePawn][G7] ^ ZobristKeys[BlackRook][H8] ^
                                      ZobristKeys[WhiteKnight][H8] ^ ZobristKeys[0][G8]);
  EXPECT_EQ(Position.Board[H8], WhiteKnight);
  EXPECT_EQ(Position.TotalMaterial, before.TotalMaterial - 1 - 5 + 3);
}

TEST(MakeMove, RookLeavingACornerWithoutItsRightChangesNoRight) {
  ASSERT_TRUE(SetupPosition("4k3/8/8/8/8/8/8/R3K2R w K -"));
  PositionState before = Snapshot();
  Make(MakeMoveWord(A1, A2, KindQuiet));
  EXPECT_EQ(Position.CastleRights, RightWhiteShort);
  EXPECT_EQ(Position.PositionKey, before.PositionKey ^ ZobristKeys[WhiteRook][A1] ^ ZobristKeys[WhiteRook][A2]);
}

TEST(MakeMove, HalfmoveClockCountsQuietPieceMovesAndRestartsOnCastling) {
  ASSERT_TRUE(SetupPosition("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq -"));
  Make(MakeMoveWord(B1, C3, KindQuiet));
  EXPECT_EQ(KeyHistory[HistoryTop].HalfmoveClock, 1);
  Make(MakeMoveWord(A8, B8, KindQuiet));
  EXPECT_EQ(KeyHistory[HistoryTop].HalfmoveClock, 2);
  uint64_t before = Position.PositionKey;
  Make(MakeMoveWord(E1, G1, KindWhiteShortCastle));
  EXPECT_EQ(KeyHistory[HistoryTop].HalfmoveClock, 0);
  EXPECT_EQ(Position.CastleRights, RightBlackShort);
  // Castling folds in its own constant, not the piece keys; both white rights are dropped.
  EXPECT_EQ(Position.PositionKey, before ^ 0x9FF1351D4A1C52C3ULL ^ ZobristKeys[0][G1] ^ ZobristKeys[0][C1]);
  EXPECT_EQ(Position.Board[G1], WhiteKing);
  EXPECT_EQ(Position.Board[F1], WhiteRook);
  EXPECT_EQ(Position.KingSquare[White], G1);
}
