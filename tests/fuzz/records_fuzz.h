// Shared by the fuzz targets of the game-record readers: the initial position set up on the
// board, the input as a stream, and the check that the board holds that position again.
#pragma once
#include <cstring>
#include <sstream>
#include <string>
#include "fuzz_support.h"
#include "records/records.h"

inline PositionState RecordsFuzzStart;

inline std::istringstream StartRecordsFuzz(const uint8_t* data, size_t size) {
  FuzzStartup();
  if (!SetupPosition(InitialFen)) std::abort();
  RecordsFuzzStart = Position;
  return std::istringstream(std::string(reinterpret_cast<const char*>(data), size));
}

inline void CheckBoardIsBack() {
  if (std::memcmp(&RecordsFuzzStart, &Position, sizeof Position) != 0 || HistoryTop != 0) std::abort();
}
