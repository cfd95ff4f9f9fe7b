// The three-man tables against Debian's Gaviota tablebases, made by an independent
// generator: every position of KQK, KRK, KBK, KNK and KPK, the man white or black, either
// side to move, gives the same result and the same distance to mate (both count plies).
#include <gtb-probe.h>
#include <gtest/gtest.h>
#include "egbb/egbb.h"

namespace {

constexpr const char* GaviotaPath = "/usr/share/gaviotatb/gtb4";

// Gaviota's answer in the call's units (the side to move winning in n plies: 17000 - 10 n,
// losing: the negation, a draw 0), or 99999 where it refuses the position.
int GaviotaScore(unsigned side, unsigned whiteKing, unsigned blackKing, int piece, unsigned square) {
  static constexpr unsigned char GaviotaKind[7] = {tb_NOPIECE, tb_KING, tb_QUEEN, tb_ROOK, tb_BISHOP, tb_KNIGHT, tb_PAWN};
  unsigned squares[2][3] = {{whiteKing, tb_NOSQUARE, tb_NOSQUARE}, {blackKing, tb_NOSQUARE, tb_NOSQUARE}};
  unsigned char kinds[2][3] = {{tb_KING, tb_NOPIECE, tb_NOPIECE}, {tb_KING, tb_NOPIECE, tb_NOPIECE}};
  squares[EgbbIsBlack(piece)][1] = square;
  kinds[EgbbIsBlack(piece)][1] = GaviotaKind[EgbbKindOf(piece)];
  unsigned info = 0, plies = 0;
  if (!tb_probe_hard(side, tb_NOSQUARE, tb_NOCASTLE, squares[0], squares[1], kinds[0], kinds[1], &info, &plies))
    return EgbbNoAnswer;
  if (info == tb_DRAW) return 0;
  if (info != tb_WMATE && info != tb_BMATE) return EgbbNoAnswer;
  const int score = 17000 - 10 * int(plies);
  return (info == tb_WMATE) == (side == tb_WHITE_TO_MOVE) ? score : -score;
}

TEST(GaviotaOracle, EveryThreeManPositionAgrees) {
  const char* paths[] = {GaviotaPath, nullptr};
  tb_init(0, tb_CP4, paths);
  tbcache_init(16 << 20, 0);
  ASSERT_TRUE(tb_availability() & 2) << "Gaviota's 3-man tables (package gaviotatb) are missing";
  load_egbb_5men(const_cast<char*>(TIRVEX_EGBB_TABLES), 64 << 20, 1);
  for (int code : {2, 3, 4, 5, 6, 8, 9, 10, 11, 12}) {
    int compared = 0, different = 0, wins = 0;
    for (int side = 0; side < 2; side++)
      for (int wk = 0; wk < 64; wk++)
        for (int bk = 0; bk < 64; bk++)
          for (int s = 0; s < 64; s++) {
            const int ours = probe_egbb_5men(side, wk, bk, code, s, 0, 0, 0, 0);
            const int theirs = GaviotaScore(side, wk, bk, code, s);
            if (ours == EgbbNoAnswer && theirs == EgbbNoAnswer) continue;
            compared++;
            wins += ours > 0;
            if (ours != theirs && different++ == 0)
              ADD_FAILURE() << "side " << side << " kings " << wk << " " << bk << " man " << code << " on " << s
                            << ": ours " << ours << ", Gaviota " << theirs;
          }
    EXPECT_EQ(different, 0) << "code " << code << ", " << compared << " compared";
    EXPECT_GT(compared, 100000) << "code " << code;
    EXPECT_EQ(wins > 0, EgbbKindOf(code) != EgbbBishop && EgbbKindOf(code) != EgbbKnight) << "code " << code;
  }
  tbcache_done();
  tb_done();
}

}  // namespace
