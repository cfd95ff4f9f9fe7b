// Helpers of the book tests: temporary directories, files written and read byte by byte, book
// files made by hand, and position keys.
#pragma once
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "board/board.h"

namespace book_test {

using Bytes = std::vector<uint8_t>;

struct TempDirectory {
  std::string path = std::string(mkdtemp(std::string("/tmp/tirvex-book-XXXXXX").data())) + "/";
  ~TempDirectory() { std::filesystem::remove_all(path); }
};

inline void WriteBytes(const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(std::filesystem::path(name).parent_path());
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline Bytes ReadBytes(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

// Little-endian integers of size bytes.
inline void Put(Bytes& bytes, uint64_t value, int size) {
  for (int i = 0; i < size; i++) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
inline uint64_t Get(const Bytes& bytes, size_t at, int size) {
  uint64_t value = 0;
  for (int i = 0; i < size; i++) value |= uint64_t(bytes.at(at + i)) << (8 * i);
  return value;
}

// Entry b of a book's index counts the keys whose top 17 bits are at most b.
inline std::vector<uint32_t> IndexOf(const std::vector<uint64_t>& keys) {
  std::vector<uint32_t> index(131072, 0);
  for (uint64_t key : keys)
    for (size_t b = key >> 47; b < index.size(); b++) index[b]++;
  return index;
}

// base.mbx and base.mbk holding the keys (sorted here), with their index unless one is given.
inline void WriteBook(const std::string& base, std::vector<uint64_t> keys, std::vector<uint32_t> index = {}) {
  std::sort(keys.begin(), keys.end());
  if (index.empty()) index = IndexOf(keys);
  Bytes data, indexBytes;
  for (uint64_t key : keys) Put(data, key & 0x7FFFFFFFFFFF, 6);
  for (uint32_t entry : index) Put(indexBytes, entry, 4);
  WriteBytes(base + ".mbx", indexBytes);
  WriteBytes(base + ".mbk", data);
}

// The key after the moves (coordinate texts) from fen, the moves made as the engine makes them:
// keys depend on the path, since the en-passant and castling keys enter with the moves.
inline uint64_t KeyAfter(const char* fen, const std::string& moves) {
  static PlyRecord records[16];
  SetupPosition(fen);
  std::istringstream in(moves);
  PlyRecord* record = records;
  for (std::string move; in >> move; record++) {
    SaveBoardState(record);
    MakeMove(ReadCoordinateMove(move.c_str()), record);
    std::memcpy(RootBoard, Position.Board, 64);
    RootEpSquare = Position.EpSquare;
    RootCastleRights = Position.CastleRights;
  }
  return Position.PositionKey;
}

}  // namespace book_test
