// Making and unmaking moves: every generated move along random games is made and taken back;
// keys of transposed move orders; the halfmove clock.
#include <cstring>
#include <set>
#include "../movegen/movegen_helpers.h"

using namespace movegen_test;

namespace {

// The pawn key by its definition: pawn keys and the en-passant key, low halves.
uint32_t PawnKeyFromScratch() {
  uint32_t key = 0;
  for (int s = 0; s < 64; s++)
    if (Position.Board[s] == WhitePawn || Position.Board[s] == BlackPawn)
      key ^= static_cast<uint32_t>(ZobristKeys[Position.Board[s]][s]);
  if (Position.EpSquare) key ^= static_cast<uint32_t>(ZobristKeys[0][Position.EpSquare]);
  return key;
}

// Makes and unmakes m: the position must be consistent in between and whole afterwards.
void CheckRoundTrip(Move m) {
  static PlyRecord record;
  const PositionState before = Position;
  const int top = HistoryTop;
  const KeyHistoryEntry entry = KeyHistory[top];
  SCOPED_TRACE(Fen() + " " + Text(m));
  SaveBoardState(&record);
  MakeMove(m, &record);
  ASSERT_TRUE(PositionIsConsistent());
  EXPECT_EQ(Position.PawnKey, PawnKeyFromScratch());
  EXPECT_EQ(Position.SideToMove, before.SideToMove ^ 1);
  EXPECT_EQ(HistoryTop, top + 1);
  EXPECT_EQ(KeyHistory[top + 1].Key, Position.PositionKey);
  EXPECT_EQ(KeyHistory[top].Move, m);
  UnmakeMove(m, &record);
  EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0);
  EXPECT_EQ(HistoryTop, top);
  EXPECT_EQ(KeyHistory[top].Key, entry.Key);
  EXPECT_EQ(KeyHistory[top].HalfmoveClock, entry.HalfmoveClock);
}

// The position reached by blank-separated coordinate moves from fen (game moves).
struct Reached { std::string fen; uint64_t key; uint32_t pawnKey; };
Reached PlayFrom(const char* fen, const char* moves) {
  EXPECT_TRUE(SetupPosition(fen));
  EXPECT_TRUE(Play(moves)) << moves;
  return {Fen(), Position.PositionKey, Position.PawnKey};
}

}  // namespace

TEST(MakeUnmake, EveryGeneratedMoveAlongRandomGamesComesBackWhole) {
  std::set<int> kinds;
  PlayoutsFromEveryStart(400, 100, [&] {
    for (const MoveEntry& e : AllMoves()) {
      CheckRoundTrip(e.Move);
      kinds.insert(MoveKind(e.Move));
    }
  });
  EXPECT_EQ(kinds.size(), 15u) << "every kind but the marker was made";
}

// Move orders reaching one position with the same rights and no en-passant square: the reached
// positions are the same and so must be their keys (the en-passant key XORed in and out again,
// rights dropped by rook moves, king moves and captures on the corners).
TEST(MakeMove, TransposedMoveOrdersGiveTheSameKeys) {
  struct Case { const char* fen; const char* first; const char* second; const char* reached; };
  const char* rooks = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
  const Case cases[] = {
      {InitialFen, "g1f3 g8f6 b1c3 b8c6", "b1c3 b8c6 g1f3 g8f6",
       "r1bqkb1r/pppppppp/2n2n2/8/8/2N2N2/PPPPPPPP/R1BQKB1R w KQkq -"},
      {InitialFen, "e2e3 e7e6 f1d3 f8d6 e3e4 e6e5", "e2e4 e7e5 f1e2 f8e7 e2d3 e7d6",
       "rnbqk1nr/pppp1ppp/3b4/4p3/4P3/3B4/PPPP1PPP/RNBQK1NR w KQkq -"},
      {rooks, "a1a2 a8a7 a2a1 a7a8 h1h2 h8h7 h2h1 h7h8", "e1d1 e8d8 d1e1 d8e8", "r3k2r/8/8/8/8/8/8/R3K2R w - -"},
      {"rn2k2r/8/8/8/8/8/1P6/R3K2R w KQkq -", "a1a8 e8e7 b2b3", "b2b3 e8e7 a1a8", "Rn5r/4k3/8/8/8/1P6/8/4K2R b K -"},
      {"4k3/8/8/8/8/8/8/R3K2R w K -", "a1a2 e8d8 a2a1 d8e8", "", "4k3/8/8/8/8/8/8/R3K2R w K -"},
  };
  for (const Case& c : cases) {
    Reached first = PlayFrom(c.fen, c.first), second = PlayFrom(c.fen, c.second);
    EXPECT_EQ(first.fen, c.reached) << c.first;
    EXPECT_EQ(second.fen, c.reached) << c.second;
    EXPECT_EQ(first.key, second.key) << c.first << " | " << c.second;
    EXPECT_EQ(first.pawnKey, second.pawnKey) << c.first << " | " << c.second;
  }
  // A setup keys a usable en-passant square and the rights that are gone as the moves that made
  // them do: the position has one key however it came (a castling adds a constant of its own).
  const Case setups[] = {
      {InitialFen, "g1f3 e7e5 f3g1 e5e4 d2d4", "", "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3"},
      {InitialFen, "e2e4 e7e5 e1e2 e8e7 e2e1 e7e8 h2h4 a7a5 h1h3 a8a6", "",
       "1nbqkbnr/1ppp1ppp/r7/p3p3/4P2P/7R/PPPP1PP1/RNBQKBN1 w - -"},
  };
  for (const Case& c : setups) {
    Reached played = PlayFrom(c.fen, c.first), set = PlayFrom(c.reached, "");
    EXPECT_EQ(played.fen, c.reached);
    EXPECT_EQ(set.key, played.key) << c.reached;
    EXPECT_EQ(set.pawnKey, played.pawnKey) << c.reached;
  }
}

TEST(MakeMove, HalfmoveClockRestartsOnPawnMovesCapturesAndCastling) {
  struct Case { const char* moves; int clock; };
  const Case cases[] = {
      {"b1c3 a8b8", 2}, {"b1c3 a8b8 e1g1", 0}, {"b1c3 a8b8 e1g1 b8b7", 1}, {"b1c3 a7a6", 0},
      {"b1c3 a8b8 c3b5 a7a6", 0}, {"b1c3 a8b8 c3b5 b8b5", 0}, {"b1c3 e8g8 c3b5 g8g7", 2},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupPosition("r3k2r/p7/8/8/8/8/8/RN2K2R w KQkq -"));
    ASSERT_TRUE(Play(c.moves)) << c.moves;
    EXPECT_EQ(KeyHistory[HistoryTop].HalfmoveClock, c.clock) << c.moves;
  }
}
