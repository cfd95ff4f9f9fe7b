// Table files: a table's values written in blocks compressed with zstd, the checks of a file
// against the table it should hold, and the decoding of one block.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "egbb/egbb.h"

namespace {

constexpr uint8_t Magic[8] = {'T', 'V', 'X', 'E', 'G', 'B', 'B', 2};  // the last byte is the version
constexpr size_t FixedHeader = 32;
constexpr int CompressionLevel = 12;
// A compressed block with its frame header and checksum never takes more.
const size_t LargestBlock = ZSTD_compressBound(EgbbBlockEntries) + 4;

uint32_t BlockCount(int table) { return uint32_t((EgbbTables[table].size + EgbbBlockEntries - 1) / EgbbBlockEntries); }
size_t HeaderBytes(int table) { return FixedHeader + 8 * (size_t(BlockCount(table)) + 1); }

void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; i++) out.push_back(uint8_t(value >> (8 * i)));
}

uint64_t Get(const uint8_t* in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; i++) value |= uint64_t(in[i]) << (8 * i);
  return value;
}

// Magic, the table's own name, entry count and block layout, offsets that start at 0, rise
// by no more than a compressed block can take and end where the file ends.
bool ParseHeader(const uint8_t* header, uint64_t fileSize, int table, EgbbFile& file) {
  const EgbbTable& t = EgbbTables[table];
  const uint32_t blocks = BlockCount(table);
  if (std::memcmp(header, Magic, 8) != 0 || std::memcmp(header + 8, t.name, 8) != 0) return false;
  if (Get(header + 16, 8) != t.size || Get(header + 24, 4) != EgbbBlockEntries || Get(header + 28, 4) != blocks)
    return false;
  std::vector<uint64_t> offsets(blocks + 1);
  for (uint32_t b = 0; b <= blocks; b++) {
    offsets[b] = Get(header + FixedHeader + 8 * b, 8);
    uint64_t previous = b ? offsets[b - 1] : 0;
    if (offsets[b] < previous || offsets[b] - previous > LargestBlock) return false;
  }
  if (offsets[0] != 0 || fileSize != HeaderBytes(table) + offsets[blocks]) return false;
  file.table = table;
  file.blocks = blocks;
  file.offsets = std::move(offsets);
  file.dataStart = HeaderBytes(table);
  return true;
}

// Whole reads of n bytes at an offset.
bool ReadAt(int descriptor, uint8_t* out, size_t n, uint64_t offset) {
  while (n > 0) {
    ssize_t got = pread(descriptor, out, n, off_t(offset));
    if (got <= 0) return false;
    out += got, n -= size_t(got), offset += uint64_t(got);
  }
  return true;
}

}  // namespace

std::string EgbbFileName(const std::string& directory, int table) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + EgbbTables[table].name + ".tvb";
}

uint32_t EgbbBlockSize(int table, uint32_t block) {
  uint64_t first = uint64_t(block) * EgbbBlockEntries;
  return uint32_t(std::min<uint64_t>(EgbbBlockEntries, EgbbTables[table].size - first));
}

// Written under a temporary name and renamed, so that an interrupted run leaves no file
// under the table's name.
bool EgbbWriteFile(const std::string& directory, int table, const std::vector<uint8_t>& values) {
  const uint32_t blocks = BlockCount(table);
  std::vector<uint8_t> header(Magic, Magic + 8), data;
  header.insert(header.end(), EgbbTables[table].name, EgbbTables[table].name + 8);
  Put(header, EgbbTables[table].size, 8);
  Put(header, EgbbBlockEntries, 4);
  Put(header, blocks, 4);
  Put(header, 0, 8);
  // Each block carries a checksum, so that a damaged one is refused rather than misread.
  ZSTD_CCtx* context = ZSTD_createCCtx();
  if (!context || ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, CompressionLevel)) ||
      ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1))) {
    ZSTD_freeCCtx(context);
    return false;
  }
  for (uint32_t b = 0; b < blocks; b++) {
    size_t at = data.size();
    data.resize(at + LargestBlock);
    size_t n = ZSTD_compress2(context, data.data() + at, data.size() - at,
                              values.data() + uint64_t(b) * EgbbBlockEntries, EgbbBlockSize(table, b));
    if (ZSTD_isError(n)) {
      ZSTD_freeCCtx(context);
      return false;
    }
    data.resize(at + n);
    Put(header, data.size(), 8);
  }
  ZSTD_freeCCtx(context);
  const std::string name = EgbbFileName(directory, table), temporary = name + ".part";
  FILE* out = std::fopen(temporary.c_str(), "wb");
  if (!out) return false;
  bool written = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
                 std::fwrite(data.data(), 1, data.size(), out) == data.size();
  written = std::fclose(out) == 0 && written;
  return written && std::rename(temporary.c_str(), name.c_str()) == 0;
}

bool EgbbParseFile(std::vector<uint8_t> bytes, int table, EgbbFile& file) {
  if (table < 0 || table >= EgbbTableCount || bytes.size() < HeaderBytes(table)) return false;
  if (!ParseHeader(bytes.data(), bytes.size(), table, file)) return false;
  file.bytes = std::move(bytes);
  return true;
}

bool EgbbOpenFile(const std::string& directory, int table, bool inMemory, EgbbFile& file) {
  EgbbCloseFile(file);
  // Opened without waiting, so that a pipe in the place of a table is refused (it is no regular
  // file) instead of holding the engine up.
  int descriptor = open(EgbbFileName(directory, table).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return false;
  struct stat status;
  const uint64_t largest = HeaderBytes(table) + uint64_t(BlockCount(table)) * LargestBlock;
  bool opened = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
                uint64_t(status.st_size) >= HeaderBytes(table) && uint64_t(status.st_size) <= largest;
  if (opened) {
    std::vector<uint8_t> bytes(inMemory ? size_t(status.st_size) : HeaderBytes(table));
    opened = ReadAt(descriptor, bytes.data(), bytes.size(), 0) &&
             (inMemory ? EgbbParseFile(std::move(bytes), table, file)
                       : ParseHeader(bytes.data(), uint64_t(status.st_size), table, file));
  }
  if (opened && !inMemory) file.descriptor = descriptor;
  else close(descriptor);
  if (!opened) file = EgbbFile();
  return opened;
}

void EgbbCloseFile(EgbbFile& file) {
  if (file.descriptor >= 0) close(file.descriptor);
  file = EgbbFile();
}

bool EgbbReadBlock(const EgbbFile& file, uint32_t block, uint8_t* out) {
  static ZSTD_DCtx* context = ZSTD_createDCtx();
  static std::vector<uint8_t> buffer(LargestBlock);
  if (file.table < 0 || block >= file.blocks || !context) return false;
  const uint64_t start = file.dataStart + file.offsets[block], length = file.offsets[block + 1] - file.offsets[block];
  const uint8_t* source = file.bytes.data() + start;
  if (file.bytes.empty()) {
    if (!ReadAt(file.descriptor, buffer.data(), size_t(length), start)) return false;
    source = buffer.data();
  }
  const uint32_t expected = EgbbBlockSize(file.table, block);
  return ZSTD_decompressDCtx(context, out, expected, source, size_t(length)) == expected;
}
