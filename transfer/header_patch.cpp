// The header patch of a firmware update: the image header carries a value (the update counter)
// at 0x18 and a CRC over its bytes 0x10-0x1D at 0x1E, high byte first.
#include "controller/byte_fields.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"

namespace drux {

namespace {

constexpr uint32_t kPatchValueOffset = 0x18;
constexpr uint32_t kHeaderCrcStart = 0x10;
constexpr uint32_t kHeaderCrcOffset = 0x1E;
constexpr uint32_t kHeaderEnd = 0x20;
constexpr uint16_t kHeaderCrcStartValue = 0xFFFF;

uint32_t headerPatchValue = 0;

}  // namespace

void SetHeaderPatchValue(uint32_t value) {
  headerPatchValue = value;
}
uint32_t HeaderPatchValue() {
  return headerPatchValue;
}

uint32_t NextUpdateCounter(uint32_t counter) {
  return counter == UINT32_MAX ? counter : counter + 1;
}

namespace transfer {

void ApplyHeaderPatch(uint8_t* buffer, uint32_t length) {
  if (headerPatchValue == 0 || length < kHeaderEnd) {
    return;
  }
  StoreLittleEndian32(buffer + kPatchValueOffset, headerPatchValue);
  const uint16_t crc =
      Crc16(kHeaderCrcStartValue, buffer + kHeaderCrcStart, kHeaderCrcOffset - kHeaderCrcStart);
  buffer[kHeaderCrcOffset] = uint8_t(crc >> 8);
  buffer[kHeaderCrcOffset + 1] = uint8_t(crc);
}

}  // namespace transfer
}  // namespace drux
