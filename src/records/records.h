// Game records: move text in standard algebraic notation.
#pragma once
#include "board/board.h"

// The move of the current position that the SAN text names, or 0 when none matches.
Move ReadSanMove(const char* text);
