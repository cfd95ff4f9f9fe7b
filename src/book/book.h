// Opening book: the move the engine plays from its books in the current game position.
#pragma once
#include "board/board.h"

// A book move for the current position, or 0 when the books have none.
Move getBookMove();
