#include "bench.h"

// Not written yet.
int BenchPerft() { return 0; }
