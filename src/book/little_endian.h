// Little-endian integers in the book and database files, byte by byte on every host.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The unsigned integer of size bytes stored at bytes, least significant byte first.
inline uint64_t LoadLittleEndian(const uint8_t* bytes, int size) {
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; i--) value = value << 8 | bytes[i];
  return value;
}

// Stores the low size bytes of value at bytes, least significant byte first.
inline void StoreLittleEndian(uint8_t* bytes, uint64_t value, int size) {
  for (int i = 0; i < size; i++, value >>= 8) bytes[i] = static_cast<uint8_t>(value);
}

// count 32-bit words stored at bytes, least significant byte first: a copy on a little-endian
// host (the book index is read and written whole).
inline void LoadLittleEndianWords(uint32_t* words, const uint8_t* bytes, size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(words, bytes, 4 * count);
  } else {
    for (size_t i = 0; i < count; i++) words[i] = static_cast<uint32_t>(LoadLittleEndian(bytes + 4 * i, 4));
  }
}

inline void StoreLittleEndianWords(uint8_t* bytes, const uint32_t* words, size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(bytes, words, 4 * count);
  } else {
    for (size_t i = 0; i < count; i++) StoreLittleEndian(bytes + 4 * i, words[i], 4);
  }
}
