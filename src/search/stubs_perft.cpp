// Placeholders until perft lands.
#include "search/search.h"
void Perft(int) {}
uint64_t PerftCount(int) { return 0; }
