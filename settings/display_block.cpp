// Checks of the display block's two parts: the EDID base block and the internal data.
#include "settings/display_block.h"

#include <cstring>

#include "transfer/transfer_engine.h"

namespace drux {

bool HasEdidHeader(const uint8_t* block) {
  return std::memcmp(block, kEdidHeader, sizeof kEdidHeader) == 0;
}

bool EdidChecksumValid(const uint8_t* block) {
  return Checksum8(block, kEdidSize) == 0;
}

bool HasInternalDataMarker(const uint8_t* block) {
  return std::memcmp(block + kInternalDataOffset, kInternalDataMarker,
                     sizeof kInternalDataMarker) == 0;
}

bool InternalDataChecksumValid(const uint8_t* block) {
  return Checksum8(block + kInternalDataOffset, kInternalDataSize) == kInternalDataSum;
}

uint8_t InternalDataChecksumByte(const uint8_t* block) {
  return uint8_t(kInternalDataSum - Checksum8(block + kInternalDataOffset, kInternalDataSize - 1));
}

}  // namespace drux
