#include "bench.h"

// Not written yet.
int BenchEval() { return 0; }
