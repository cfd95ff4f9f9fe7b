// Helpers shared by the evaluation tests.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "engine/engine.h"
#include "eval/eval.h"

// Sets up fen (the setup also empties the pawn cache) and evaluates it.
inline int EvaluateFen(const std::string& fen) {
  EXPECT_TRUE(SetupGame(fen.c_str())) << fen;
  return Evaluate();
}

// The same FEN with the other side to move.
inline std::string WithSideToMove(std::string fen, char side) {
  const size_t blank = fen.find(' ');
  fen[blank + 1] = side;
  return fen;
}

// The current position as FEN text.
inline std::string CurrentFen() {
  char buffer[128];
  WriteFen(buffer);
  return buffer;
}
