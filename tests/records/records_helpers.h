// Shared by the record tests: the sample of master games.
#pragma once
#include <string>
#include "../movegen/movegen_helpers.h"
#include "records/records.h"

namespace records_test {

// 38 master games: 37 finished ones and, as game 33, one ending in "*".
inline const std::string Sample = ReadFile(TIRVEX_SOURCE_DIR "/tests/data/masters_sample.pgn");

}  // namespace records_test
