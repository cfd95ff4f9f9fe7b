#include "bench.h"

// Not written yet.
int BenchSearch() { return 0; }
