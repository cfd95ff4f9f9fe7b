#include "book/book.h"

// No book files are read yet: every position is out of book.
Move getBookMove() { return 0; }
