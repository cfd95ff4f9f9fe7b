// Helpers shared by the board, generator, evaluation and search tests.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "../../tools/bench/playout.h"
#include "../support/game_support.h"

namespace movegen_test {

// Positions with published perft counts (leaf counts per depth).
struct PerftCase { const char* fen; std::vector<uint64_t> leaves; };
inline const std::vector<PerftCase> PublishedPerft = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", {20, 400, 8902, 197281, 4865609, 119060324}},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", {48, 2039, 97862, 4085603, 193690690}},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", {14, 191, 2812, 43238, 674624, 11030083}},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", {6, 264, 9467, 422333, 15833292}},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", {44, 1486, 62379, 2103487, 89941194}},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", {46, 2079, 89890, 3894594, 164075551}},
    // The fourth position with colours swapped: published with the same counts.
    {"r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", {6, 264, 9467, 422333, 15833292}},
};

// Random games, visit() after each move (the shared playout helper), from the first four published
// positions and one full of promotions: every move kind occurs in them.
template <typename Visit>
void PlayoutsFromEveryStart(int positionsEach, int maxPlies, Visit visit) {
  for (uint64_t seed = 1; seed <= 4; seed++)
    RandomPlayouts(PublishedPerft[seed - 1].fen, positionsEach, maxPlies, seed, visit);
  RandomPlayouts("n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -", positionsEach, maxPlies, 5, visit);
}

// The list a generator writes for the position on the board.
template <typename Generate>
std::vector<MoveEntry> Listed(Generate generate) {
  MoveEntry buffer[MaxMovesPerList];
  return {buffer, generate(buffer)};
}
inline std::vector<MoveEntry> AllMoves() { return Listed(GenerateMoves); }
inline std::vector<MoveEntry> Captures() { return Listed(GenerateCaptures); }
inline std::vector<MoveEntry> Evasions() {
  CheckInfo info;
  ComputeCheckers(&info);
  return Listed([&](MoveEntry* list) { return GenerateEvasions(list, &info); });
}

// Sets up fen as a new game (the pawn cache emptied too) and evaluates it.
inline int EvaluateFen(const std::string& fen) {
  EXPECT_TRUE(SetupGame(fen.c_str())) << fen;
  return Evaluate();
}

}  // namespace movegen_test
