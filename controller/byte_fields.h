// Multi-byte fields in byte buffers, possibly unaligned. Controller words and most records are
// little-endian; the factory settings' HEAD header and display block and the CRC fields of
// image headers are big-endian.
#pragma once

#include <cstdint>

namespace drux {

inline uint16_t LoadBigEndian16(const uint8_t* bytes) {
  return uint16_t((uint32_t(bytes[0]) << 8) | bytes[1]);
}

inline uint32_t LoadBigEndian32(const uint8_t* bytes) {
  return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
         bytes[3];
}

inline uint16_t LoadLittleEndian16(const uint8_t* bytes) {
  return uint16_t(bytes[0] | (uint32_t(bytes[1]) << 8));
}

inline uint32_t LoadLittleEndian32(const uint8_t* bytes) {
  return bytes[0] | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) |
         (uint32_t(bytes[3]) << 24);
}

inline void StoreLittleEndian32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = uint8_t(value >> (8 * i));
  }
}

}  // namespace drux
