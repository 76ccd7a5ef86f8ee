// The CRC-16 and the 8-bit sum that image files and their headers carry.
#include "transfer/transfer_engine.h"

namespace drux {

namespace {
constexpr uint16_t kCrc16Polynomial = 0x8005;
constexpr uint16_t kCrc16TopBit = 0x8000;
}  // namespace

// MSB first, no reflection and no final XOR: a CRC stored high byte first behind the data makes
// the CRC over data and CRC 0.
uint16_t Crc16(uint16_t start, const uint8_t* data, size_t length) {
  uint16_t crc = start;
  for (size_t i = 0; i < length; ++i) {
    crc = uint16_t(crc ^ (uint16_t(data[i]) << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc =
          (crc & kCrc16TopBit) != 0 ? uint16_t((crc << 1) ^ kCrc16Polynomial) : uint16_t(crc << 1);
    }
  }
  return crc;
}

uint8_t Checksum8(const uint8_t* data, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) {
    sum = uint8_t(sum + data[i]);
  }
  return sum;
}

}  // namespace drux
