// Move text: SAN in its decorated and bare forms, coordinates with and without a piece letter,
// and the EPD "bm"/"am" moves of a setup. Expected moves come from the rules of chess in
// hand-made positions; where the move is legal the generator's own word must be returned.
#include <cstring>
#include "engine/engine.h"
#include "records_helpers.h"

using namespace movegen_test;

namespace {

Move Word(const char* coordinates, int kind) {
  auto square = [](const char* t) { return (t[0] - 'a') + 8 * ('8' - t[1]); };
  return MakeMoveWord(square(coordinates), square(coordinates + 2), kind);
}

struct SanCase {
  const char* fen;
  const char* token;
  const char* move;  // "" when no move may come back
  int kind;
};

constexpr const char* Castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
constexpr const char* CastlesBlack = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -";
constexpr const char* TwoKnights = "rnbqkb1r/ppp2ppp/5n2/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -";
constexpr const char* PinnedKnight = "1n6/8/R4n1k/8/8/8/8/4K3 b - -";
constexpr const char* TwoRooks = "k7/8/8/8/8/4R3/8/4R1K1 w - -";
constexpr const char* PawnAndBishop = "4k3/8/8/4B3/8/2n5/1P6/4K3 w - -";
constexpr const char* WhitePromotes = "3r4/4P3/8/8/8/8/8/k3K3 w - -";
constexpr const char* BlackPromotes = "k7/8/8/8/8/8/6p1/4K2R b - -";

const SanCase SanCases[] = {
    {Castles, "O-O", "e1g1", KindWhiteShortCastle},
    {Castles, "0-0", "e1g1", KindWhiteShortCastle},
    {Castles, "O-O-O", "e1c1", KindWhiteLongCastle},
    {CastlesBlack, "O-O", "e8g8", KindBlackShortCastle},
    {CastlesBlack, "0-0-0", "e8c8", KindBlackLongCastle},
    {"r3k2r/8/8/8/8/8/8/R3K2R w Kkq -", "O-O-O", "", 0},  // right gone
    {"4k3/8/8/8/8/8/8/4K3 w - -", "e4", "e2e4", KindQuiet},  // built from the text alone
    {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", "e5", "e7e5", KindQuiet},
    {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "exd6", "e5d6", KindEnPassant},
    {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6", "e5d6", KindEnPassant},
    {TwoKnights, "Nbd7", "b8d7", KindQuiet},
    {TwoKnights, "Nd7", "", 0},  // ambiguous
    {PinnedKnight, "Nd7", "b8d7", KindQuiet},  // the f6 knight is pinned
    {"8/8/R4n1k/8/8/8/8/4K3 b - -", "Nd7", "f6d7", KindQuiet},  // a single candidate is not tested
    {TwoRooks, "R1e2", "e1e2", KindQuiet},
    {TwoRooks, "Re2", "", 0},
    {PawnAndBishop, "bxc3", "b2c3", KindCapture},
    {PawnAndBishop, "Bxc3", "e5c3", KindCapture},
    {PawnAndBishop, "dxc3", "", 0},
    {WhitePromotes, "exd8=Q", "e7d8q", KindCapPromoQueen},
    {WhitePromotes, "e8=Q", "e7e8q", KindPromoQueen},
    {WhitePromotes, "exf8=Q", "e7f8q", KindPromoQueen},  // empty square: the plain kind
    {WhitePromotes, "e7e8Q", "e7e8q", KindPromoQueen},
    {WhitePromotes, "e7d8b", "e7d8b", KindCapPromoBishop},
    {BlackPromotes, "gxh1=B", "g2h1b", KindCapPromoBishop},
    {BlackPromotes, "g1=N", "g2g1n", KindPromoKnight},
    {InitialFen, "g1f3", "g1f3", KindQuiet},
    {InitialFen, "Ng1f3", "g1f3", KindQuiet},
    {"4k3/8/8/8/7q/8/8/K3R3 b - -", "Qh4xe1+", "h4e1", KindCapture},
    {InitialFen, "Pe4", "", 0},
    {InitialFen, "x", "", 0},
    {InitialFen, "e2-e4-e5", "", 0},  // six characters once stripped
};

TEST(ParseSanMove, ReadsEachFormAndLeavesThePositionAsItFoundIt) {
  for (const SanCase& c : SanCases) {
    SCOPED_TRACE(std::string(c.fen) + " " + c.token);
    ASSERT_TRUE(SetupPosition(c.fen));
    PositionState before = Position;
    Move expected = *c.move ? Word(c.move, c.kind) : 0;
    Move got = ParseSanMove(c.token);
    EXPECT_EQ(got, expected) << Text(got);
    EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0);
    for (Move legal : LegalMoves())
      if (expected && Text(legal) == c.move) {
        EXPECT_EQ(got, legal);
      }
  }
}

// A setup translates its EPD move against the new position; a move it cannot read refuses it.
TEST(ParseSanMove, ResolvesTheEpdMovesOfASetup) {
  ASSERT_TRUE(SetupGame("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - bm Nf3; id \"x\";"));
  EXPECT_EQ(Position.EpdBestMove, Word("g1f3", KindQuiet));
  ASSERT_TRUE(SetupGame("4k3/8/8/3pP3/8/8/8/4K3 w - d6 am exd6;"));
  EXPECT_EQ(Position.EpdAvoidMove, Word("e5d6", KindEnPassant));
  EXPECT_FALSE(SetupGame("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - bm Pe4;"));
  EXPECT_EQ(Position.EpdAvoidMove, Word("e5d6", KindEnPassant));  // the previous game stays
}

}  // namespace
