// Little-endian integers in the book and database files, byte by byte on every host.
#pragma once
#include <cstdint>

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
