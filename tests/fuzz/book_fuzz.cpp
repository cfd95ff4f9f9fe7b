// The book reader on any index and data file: a malformed or corrupt pair is refused or read
// safely; no lookup reads outside the index or the data file, none loops. Input: byte 0 picks
// the index size (bits 0-1: exact, a byte short, a byte long) and whether the index is made
// non-decreasing (bit 2); bytes 1-2 the data file's length n; its n bytes; then index entries,
// 7 bytes each (bucket, value).
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>
#include "book/little_endian.h"
#include "fuzz_support.h"

namespace {

// Repeats the 4-byte entry at entries over the first count entries, by copies that double.
void FillWithFirstEntry(uint8_t* entries, size_t count) {
  for (size_t done = 1; done < count; done *= 2) std::memcpy(entries + 4 * done, entries, 4 * std::min(done, count - done));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  // One file pair serves both sides: bookwtm links to bookbtm.
  static bool first = std::filesystem::create_directories("fuzzbook") &&
                      (std::filesystem::create_symlink("bookbtm.mbx", "fuzzbook/bookwtm.mbx"),
                       std::filesystem::create_symlink("bookbtm.mbk", "fuzzbook/bookwtm.mbk"), true);
  if (!first || size < 3) return 0;
  size_t length = std::min<size_t>(LoadLittleEndian(data + 1, 2), size - 3);
  const uint8_t *records = data + 3, *edits = records + length;
  // The index: each edited bucket holds its last edit's value and the others zero; made
  // non-decreasing, every bucket holds the largest value edited at or before it.
  std::map<uint32_t, uint32_t> edited;
  std::vector<uint64_t> buckets;
  for (const uint8_t* e = edits; e + 7 <= data + size; e += 7) {
    buckets.push_back(LoadLittleEndian(e, 3) & (BookBuckets - 1));
    edited[uint32_t(buckets.back())] = uint32_t(LoadLittleEndian(e + 3, 4));
  }
  static std::vector<uint8_t> index(BookIndexBytes + 1);
  std::memset(index.data(), 0, index.size());
  uint32_t largest = 0;
  for (auto at = edited.begin(); at != edited.end(); ++at) {
    const auto next = std::next(at);
    largest = (data[0] & 4) ? std::max(largest, at->second) : at->second;
    StoreLittleEndian(&index[4 * at->first], largest, 4);
    if (data[0] & 4) FillWithFirstEntry(&index[4 * at->first], (next == edited.end() ? BookBuckets : next->first) - at->first);
  }
  int extra = (data[0] & 3) == 1 ? -1 : (data[0] & 3) == 2 ? 1 : 0;
  std::ofstream("fuzzbook/bookbtm.mbx", std::ios::binary).write(reinterpret_cast<const char*>(index.data()), BookIndexBytes + extra);
  std::ofstream("fuzzbook/bookbtm.mbk", std::ios::binary).write(reinterpret_cast<const char*>(records), length);
  LookUpBook("fuzzbook/");
  // Keys made of the records' stored bits in the buckets the input named.
  for (size_t r = 0; r + BookRecordSize <= length && r < 64 * BookRecordSize; r += BookRecordSize)
    for (size_t i = 0; i < buckets.size() && i < 16; i++)
      BookContains(PrimaryBook.Files[r % 2],
                   buckets[i] << BookBucketShift | (LoadLittleEndian(records + r, 6) & BookStoredKeyMask));
  return 0;
}
