// Evaluation along random legal games: the score of every position reached by moves equals
// the score of the same position set up from its FEN (drifting incremental fields or a pawn
// cache word reused across positions would show here).
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "../../tools/bench/playout.h"
#include "eval_helpers.h"

namespace {

const bool Initialised = (InitTables(), InitPhaseTables(), true);

}  // namespace

TEST(EvaluatePlayouts, IncrementalPositionsScoreAsFreshSetups) {
  std::vector<std::pair<std::string, int>> reached;
  RandomPlayouts(2000, 200, 7, [&] {
    const int score = Evaluate();
    EXPECT_EQ(Evaluate(), score);
    reached.emplace_back(CurrentFen(), score);
  });
  for (const auto& [fen, score] : reached) EXPECT_EQ(EvaluateFen(fen), score) << fen;
}
