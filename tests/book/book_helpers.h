// Helpers of the book tests: files written byte by byte, POS lines, databases and book files
// made by hand, and position keys.
#pragma once
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>
#include "../support/game_support.h"

namespace book_test {

// Little-endian integers of size bytes.
inline void Put(std::string& bytes, uint64_t value, int size) {
  for (int i = 0; i < size; i++) bytes.push_back(static_cast<char>(value >> (8 * i)));
}
inline uint64_t Get(const std::string& bytes, size_t at, int size) {
  uint64_t value = 0;
  for (int i = 0; i < size; i++) value |= uint64_t(uint8_t(bytes.at(at + i))) << (8 * i);
  return value;
}

inline void WriteBytes(const std::string& name, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(name).parent_path());
  std::ofstream(name, std::ios::binary) << bytes;
}

constexpr const char* AfterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3";

// A POS line: key, FEN, result and ply.
inline std::string PosLine(uint64_t key, const char* fen, char result, int ply) {
  char line[256];
  std::snprintf(line, sizeof line, "%016llX\t%s\t%c\t%d\n", static_cast<unsigned long long>(key), fen, result, ply);
  return line;
}

// Database records: key, a placement of zeros, flags 0, ply, and the three counts.
inline std::string DbRecords(std::vector<std::vector<uint64_t>> records) {
  std::string bytes;
  for (auto& r : records) {
    Put(bytes, r[0], 8), bytes.resize(bytes.size() + 33), Put(bytes, r[1], 1);
    for (int i = 2; i < 5; i++) Put(bytes, r[i], 4);
  }
  return bytes;
}

// Entry b of a book's index counts the keys whose top 17 bits are at most b.
inline std::vector<uint32_t> IndexOf(const std::vector<uint64_t>& keys) {
  std::vector<uint32_t> index(131072, 0);
  for (uint64_t key : keys)
    for (size_t b = key >> 47; b < index.size(); b++) index[b]++;
  return index;
}

// A book's data file: the low 47 bits of each key, in the order given.
inline std::string BookData(const std::vector<uint64_t>& keys) {
  std::string data;
  for (uint64_t key : keys) Put(data, key & 0x7FFFFFFFFFFF, 6);
  return data;
}

// base.mbx and base.mbk holding the keys (sorted here), with their index unless one is given.
inline void WriteBook(const std::string& base, std::vector<uint64_t> keys, std::vector<uint32_t> index = {}) {
  std::sort(keys.begin(), keys.end());
  if (index.empty()) index = IndexOf(keys);
  std::string indexBytes;
  for (uint32_t entry : index) Put(indexBytes, entry, 4);
  WriteBytes(base + ".mbx", indexBytes);
  WriteBytes(base + ".mbk", BookData(keys));
}

// The key after the moves (coordinate texts) from fen, the moves made as the engine makes them:
// a castling adds a constant of its own, so keys may depend on the path.
inline uint64_t KeyAfter(const char* fen, const std::string& moves) {
  SetupPosition(fen);
  Play(moves);
  return Position.PositionKey;
}

}  // namespace book_test
