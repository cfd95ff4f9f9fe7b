// Move text: SAN in its decorated and bare forms, coordinates with and without a piece letter,
// and the EPD "bm"/"am" moves of a setup; where the move is legal the generator's own word must
// be returned. PGN reading: what a game gives back (result bits, moves, or the error that ends the
// conversion) for the quirks of real PGN text, and the position put back after every game.
// Expected moves come from the rules of chess, in hand-made positions and in the games.
#include <gtest/gtest.h>
#include <cstring>
#include <sstream>
#include "../support/game_support.h"
#include "records/records.h"

namespace {

Move Word(const char* coordinates, int kind) {
  auto square = [](const char* t) { return (t[0] - 'a') + 8 * ('8' - t[1]); };
  return MakeMoveWord(square(coordinates), square(coordinates + 2), kind);
}

struct SanCase { const char* fen, *token, *move; int kind; };  // move "": none may come back

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

// The result bits returned (0: skipped), the record's moves when a game is returned, and the
// message raised or "".
struct PgnCase { std::string pgn; uint16_t bits; const char *moves, *error; };

std::string Game(const char* result, const std::string& movetext) {
  return std::string("[Event \"x\"]\n[Result \"") + result + "\"]\n\n" + movetext + "\n";
}

std::string Moves(const GameRecord& record) {
  std::string text;
  for (int i = 0; i < MoveCount(record); i++) text += Text(record.Moves[i]) + ' ';
  if (!text.empty()) text.pop_back();
  return text;
}

const PgnCase PgnCases[] = {
    {"[FEN \"8/8/8/8/8/8/8/8 w - -\"]\n[Result \"1-0\"]\n[Site \"?\"]\n1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0",
     ResultWhiteWins, "e2e4 e7e5 d1h5 b8c6 f1c4 g8f6 h5f7", ""},
    // Comments end at the first '}' (they do not nest) and are read inside variations too.
    {Game("1/2-1/2", "1. e4 {a :-{ comment} e5 $1 (1... c5 {(} (1... e6) 2. Nf3) 2. Nf3! ; rest (\n2... Nc6?! 3.\tBb5 "
                     "a6 1/2-1/2"),
     ResultDraw, "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6", ""},
    {Game("1-0", "1. d2d4 d7d5 2. c1f4 1-0"), ResultWhiteWins, "d2d4 d7d5 c1f4", ""},
    {Game("1/2-1/2", "1. e4 e5 1-0"), 0, "", ""},  // the '1' is a move number, "-0" no move
    {Game("*", "1. e4 e5 *"), 0, "", ""},
    {Game("1-0", std::string("1. e4 \0\x81 e5 1-0", 16)), 0, "", ""},  // binary garbage: no move
    {Game("1-0", "1. e4 e5 *"), 0, "", "Result * error"},
    {Game("2-0", "1. e4 2-0"), 0, "", "Result Error 1"},
    {"1. e4 e5 1-0", 0, "", "Result Error 2"},
    {Game("1-0", "1. e4 e5 1-1"), 0, "", "wrong end result 1"},
    {Game("1-0", "1. e4 e5 2. Ke3 1-0"), 0, "", "MOVE NOT LEGAL 1"},
    {Game("1-0", "1. d4 c6 2. c4 Qa5+ 3. Nc3 e5 4. Ne4 1-0"), 0, "", "MOVE NOT LEGAL 2 - check revealed"},
    {"[Annotator \"" + std::string(2000, 'a') + "\"]\n[Result \"0-1\"]\n1. f3 e5 2. g4 Qh4# 0-1", ResultBlackWins,
     "f2f3 e7e5 g2g4 d8h4", ""},
};

TEST(ReadPgnGame, ReadsTheMainLineAndRaisesTheErrorsOfBrokenGames) {
  static GameRecord record;
  for (const PgnCase& c : PgnCases) {
    SCOPED_TRACE(c.pgn);
    ASSERT_TRUE(SetupPosition(InitialFen));
    PositionState before = Position;
    std::istringstream in(c.pgn);
    std::string error;
    uint16_t bits = 0;
    try {
      bits = ReadPgnGame(in, record);
    } catch (const RecordError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(bits, c.bits);
    if (bits) {
      EXPECT_EQ(Moves(record), c.moves);
    }
    EXPECT_EQ(std::memcmp(&before, &Position, sizeof before), 0);
    EXPECT_EQ(HistoryTop, 0);
  }
}

TEST(ReadPgnGame, ReadsGamesBackToBackCutsLongTokensAndStopsStoringAt1023Moves) {
  static GameRecord record;
  ASSERT_TRUE(SetupPosition(InitialFen));
  std::string shuffle;
  for (int i = 0; i < 275; i++) shuffle += "Nf3 Nf6 Ng1 Ng8 ";
  std::istringstream in("[Result \"1-0\"]\n1. e2e4 1-0\n[Result \"0-1\"]\n1. d2d4 0-1\n" +
                        Game("1/2-1/2", shuffle + "1/2-1/2") + Game("1-0", "1. Nf3abcdefghij 1-0"));
  EXPECT_EQ(ReadPgnGame(in, record), ResultWhiteWins);
  EXPECT_EQ(ReadPgnGame(in, record), ResultBlackWins);
  EXPECT_EQ(Moves(record), "d2d4");
  EXPECT_EQ(ReadPgnGame(in, record), ResultDraw);
  EXPECT_EQ(MoveCount(record), MaxGameMoves);
  EXPECT_EQ(Text(record.Moves[MaxGameMoves - 1]), "f3g1");  // ply 1023 of the four-ply cycle
  EXPECT_EQ(ReadPgnGame(in, record), 0);
  EXPECT_STREQ(record.Token, "Nf3abcdefg");
  EXPECT_EQ(HistoryTop, 0);
}

}  // namespace
