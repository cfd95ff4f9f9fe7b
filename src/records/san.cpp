#include "records/records.h"

// SAN reading is not available yet: no text names a move.
Move ReadSanMove(const char*) { return 0; }
