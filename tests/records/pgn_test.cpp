// PGN reading: what a game gives back (result bits, moves, or the error that ends the
// conversion) for the quirks of real PGN text, and the position put back after every game.
// The expected moves are the games' moves by the rules of chess, in coordinate text.
#include <cstring>
#include <sstream>
#include "records_helpers.h"

using namespace movegen_test;

namespace {

struct PgnCase {
  std::string pgn;
  uint16_t bits;      // result bits returned (0: skipped)
  const char* moves;  // the record's moves when a game is returned
  const char* error;  // the message raised, or ""
};

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
    {Game("1/2-1/2", "1. e4 {a {nested} comment} e5 $1 (1... c5 (1... e6) 2. Nf3) 2. Nf3! 2... Nc6?! 3.\tBb5 a6 "
                     "1/2-1/2"),
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
