// The book reader on any index and data file: a malformed or corrupt pair is refused or read
// safely; no lookup reads outside the index or the data file, none loops.
//
// Input: byte 0 chooses the index size (bits 0-1: exact, one byte short, one byte long) and
// whether the index is then made non-decreasing (bit 2); bytes 1-2 the length n of the data
// file; then its n bytes; the rest sets index entries, 7 bytes each (17-bit bucket, value).
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>
#include "book/book.h"
#include "fuzz_support.h"

namespace {

void Write(const char* name, const uint8_t* bytes, size_t size) {
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

uint64_t Little(const uint8_t* bytes, int size) {
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; i--) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  // Both file pairs are the same files: bookwtm links to bookbtm.
  static bool first = (SetupGame(InitialFen), std::filesystem::create_directories("fuzzbook"),
                       std::filesystem::create_symlink("bookbtm.mbx", "fuzzbook/bookwtm.mbx"),
                       std::filesystem::create_symlink("bookbtm.mbk", "fuzzbook/bookwtm.mbk"), true);
  (void)first;
  if (size < 3) return 0;
  size_t length = std::min<size_t>(Little(data + 1, 2), size - 3);
  const uint8_t* records = data + 3;
  const uint8_t* edits = records + length;
  size_t editCount = (size - 3 - length) / 7;

  static std::vector<uint8_t> indexBytes(BookIndexBytes + 1);
  std::fill(indexBytes.begin(), indexBytes.end(), 0);
  std::vector<uint64_t> buckets;
  for (size_t i = 0; i < editCount; i++) {
    uint64_t bucket = Little(edits + 7 * i, 3) & (BookBuckets - 1);
    std::memcpy(&indexBytes[4 * bucket], edits + 7 * i + 3, 4);
    buckets.push_back(bucket);
  }
  // Made non-decreasing as bookcreate does, when asked.
  for (int b = 1; (data[0] & 4) && b < BookBuckets; b++)
    if (Little(&indexBytes[4 * b], 4) < Little(&indexBytes[4 * b - 4], 4)) std::memcpy(&indexBytes[4 * b], &indexBytes[4 * b - 4], 4);
  size_t indexSize = BookIndexBytes + ((data[0] & 3) == 1 ? -1 : (data[0] & 3) == 2 ? 1 : 0);
  Write("fuzzbook/bookbtm.mbx", indexBytes.data(), indexSize);
  Write("fuzzbook/bookbtm.mbk", records, length);

  OpenBookSet(PrimaryBook, "fuzzbook/");
  PrimaryBook.RememberedDirectory[0] = 0;
  // Keys made of the stored records' bits in the buckets the input named.
  for (size_t r = 0; r + BookRecordSize <= length && r < 64 * BookRecordSize; r += BookRecordSize)
    for (size_t i = 0; i < buckets.size() && i < 16; i++)
      for (BookFile& file : PrimaryBook.Files)
        BookContains(file, buckets[i] << BookBucketShift | (Little(records + r, 6) & BookStoredKeyMask));
  SetupGame(InitialFen);
  ChooseBookMove(0);
  return 0;
}
