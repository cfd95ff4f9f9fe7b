// Helpers of the book tests: temporary directories, files written byte by byte, and the
// position keys of FEN texts.
#pragma once
#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "board/board.h"

namespace book_test {

struct TempDirectory {
  std::string path;  // ends with '/'
  TempDirectory() {
    char pattern[] = "/tmp/tirvex-book-XXXXXX";
    path = std::string(mkdtemp(pattern)) + "/";
  }
  ~TempDirectory() { std::filesystem::remove_all(path); }
};

inline void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(name).parent_path());
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline std::vector<uint8_t> ReadBytes(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// Appends value as size little-endian bytes.
inline void Put(std::vector<uint8_t>& bytes, uint64_t value, int size) {
  for (int i = 0; i < size; i++) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline uint64_t Get(const std::vector<uint8_t>& bytes, size_t at, int size) {
  uint64_t value = 0;
  for (int i = 0; i < size; i++) value |= uint64_t(bytes.at(at + i)) << (8 * i);
  return value;
}

// The index of a book holding keys (sorted ascending): entry b counts the keys whose top 17
// bits are at most b.
inline std::vector<uint32_t> IndexOf(const std::vector<uint64_t>& keys) {
  std::vector<uint32_t> index(131072, 0);
  for (uint64_t key : keys)
    for (size_t b = key >> 47; b < index.size(); b++) index[b]++;
  return index;
}

// Writes base.mbx and base.mbk holding the sorted keys; the index may be given instead.
inline void WriteBook(const std::string& base, const std::vector<uint64_t>& keys, std::vector<uint32_t> index = {}) {
  if (index.empty()) index = IndexOf(keys);
  std::vector<uint8_t> data, indexBytes;
  for (uint64_t key : keys) {
    Put(data, key & 0xFFFFFFFF, 4);
    Put(data, (key >> 32) & 0x7FFF, 2);
  }
  for (uint32_t entry : index) Put(indexBytes, entry, 4);
  WriteBytes(base + ".mbx", indexBytes);
  WriteBytes(base + ".mbk", data);
}

// The key of the position that a FEN describes, computed from scratch by the setup.
inline uint64_t KeyOf(const char* fen) {
  if (!SetupPosition(fen)) return 0;
  return Position.PositionKey;
}

}  // namespace book_test
