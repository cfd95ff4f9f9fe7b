// FEN setup and writing: accepted texts, the fields a setup drops, refusals, EPD operations.
#include <cstring>
#include "../movegen/movegen_helpers.h"

using namespace movegen_test;

namespace {

// XOR of the piece keys of the board: what a setup's key is, since book files store positions by it.
uint64_t PieceKeyXor() {
  uint64_t key = 0;
  for (int s = 0; s < 64; s++)
    if (Position.Board[s]) key ^= ZobristKeys[Position.Board[s]][s];
  return key;
}

}  // namespace

// Each text is set up and written back; a refused text ("" below) leaves the previous game whole.
TEST(Position, SetupAndFenWriting) {
  struct Case { const char* text; const char* written; };  // the FEN written back; nullptr: the text itself
  const Case cases[] = {
      {InitialFen, nullptr},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", nullptr},
      {"r3k2r/8/8/8/8/8/8/R3K2R b Kq -", nullptr},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6", nullptr},
      {"rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3", nullptr},
      {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
       "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -"},
      {" \t8/8/4k3/8/8/4K3/4P3/8 w - - 12 40\r\n", "8/8/4k3/8/8/4K3/4P3/8 w - -"},  // blanks and clocks
      {"8/8/4k3/8/8/4K3/4P3/8 W", "8/8/4k3/8/8/4K3/4P3/8 w - -"},
      {"4k3/8/8/8/8/8/8/4K2R w KQkq -", "4k3/8/8/8/8/8/8/4K2R w K -"},  // rights without their rook
      {"4k3/8/8/8/8/8/8/4K2R w - e6", "4k3/8/8/8/8/8/8/4K2R w - -"},   // no pawn that just moved
      {"4k3/8/8/8/8/8/8/4K2R w - z9", "4k3/8/8/8/8/8/8/4K2R w - -"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN0 w KQkq -", ""},   // '0'
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq -", ""},            // ends before 64 squares
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -", ""},   // side letter
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq -", ""},  // 65 squares
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKB7 w KQkq -", ""},    // counter overshoots 64
      {"8/8/4k3/8/8/8/8/8 w - -", ""},                                // one king
      {"4k3/8/8/8/8/8/8/3KK3 w - -", ""},                             // two white kings
      {"P3k3/8/8/8/8/8/8/4K3 w - -", ""},                             // pawn on rank 8
      {"4k3/8/8/8/8/8/8/p3K3 w - -", ""},                             // pawn on rank 1
      {"4k3/8/8/8/8/8/8/4K2r b - -", ""},                             // side not to move in check
      {"8/8/8/3kK3/8/8/8/8 w - -", ""},                               // kings side by side
      {"QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/k6K w - -", ""},                  // unreachable material
      {"", ""},
  };
  const char* game = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
  for (const Case& c : cases) {
    ASSERT_TRUE(SetupPosition(game));
    PositionState before = Position;
    bool refused = c.written && !*c.written;
    EXPECT_EQ(SetupPosition(c.text), !refused) << c.text;
    if (refused) {
      EXPECT_EQ(std::memcmp(&before, &Position, sizeof Position), 0) << c.text;
      continue;
    }
    EXPECT_EQ(Fen(), c.written ? c.written : c.text);
    EXPECT_TRUE(PositionIsConsistent()) << c.text;
    // Beyond the pieces, a setup's key holds a usable en-passant square and the rights that are gone.
    uint64_t extra = Position.EpSquare ? ZobristKeys[0][Position.EpSquare] : 0;
    for (uint16_t right : CastleRightBits) extra ^= Position.CastleRights & right ? 0 : ZobristKeys[0][RightKeySquare(right)];
    EXPECT_EQ(Position.PositionKey ^ extra, PieceKeyXor()) << c.text;
  }
}

// The first "am" or "bm" operation after the FEN fields, taken only with its terminator.
TEST(Position, EpdOperations) {
  struct Case { const char* text; char kind; const char* move; };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/4K2R w K - bm Rh8+;", 'b', "Rh8+"},
      {"4k3/8/8/8/8/8/8/4K2R w K - am O-O; bm Kd2;", 'a', "O-O"},
      {"4k3/8/8/8/8/8/8/4K2R w K - bm Kd2", 0, ""},  // no terminator
      {"4k3/8/8/8/8/8/8/4K2R w K -", 0, ""},
  };
  for (const Case& c : cases) {
    EpdOperation epd{};
    ASSERT_TRUE(SetupPosition(c.text, &epd)) << c.text;
    EXPECT_EQ(std::string(1, epd.kind) + epd.text, std::string(1, c.kind) + c.move) << c.text;
  }
}
