// The internal data of a panel (second half of its display block) and its model number.
#include <cstring>

#include "controller/block_access.h"
#include "controller/command.h"
#include "controller/controller_info.h"
#include "controller/registers.h"

namespace drux {

namespace {

constexpr uint32_t kCommandPanelData = 0x20;
constexpr uint32_t kTargetPanelDisplay = 4;
constexpr uint32_t kInternalDataFirstBlock = 8;  // byte 128 of the display block
constexpr uint32_t kInternalDataBlockSize = 16;
constexpr uint8_t kInternalDataMarker[8] = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};

constexpr size_t kModelNumberOffset = 37;
constexpr size_t kModelNumberLength = 40;

}  // namespace

int ReadPanelInternalData(int32_t panel, uint8_t* buffer, uint32_t length) {
  if (length != kPanelInternalDataSize || buffer == nullptr) {
    return kStatusInvalidParameter;
  }
  if (SelectPanel(panel) != kStatusOk) {
    return kStatusInvalidParameter;
  }
  // The built-in display of a panel PC has no display block of its own.
  if ((ReadRegister(kPortPanelInfo) >> 16) == kBuiltInDisplayVersionId) {
    return kStatusInvalidParameter;
  }
  const uint32_t blocks = kPanelInternalDataSize / kInternalDataBlockSize;
  for (uint32_t block = 0; block < blocks; ++block) {
    uint8_t errorByte = 0;
    if (ReadCommand(kCommandPanelData, kInternalDataFirstBlock + block, uint32_t(panel),
                    kTargetPanelDisplay, buffer + block * kInternalDataBlockSize,
                    kInternalDataBlockSize, &errorByte) != kStatusOk) {
      return kStatusInvalidParameter;
    }
  }
  if (std::memcmp(buffer, kInternalDataMarker, sizeof kInternalDataMarker) != 0) {
    return kStatusInvalidParameter;
  }
  return kStatusOk;
}

const char* ReadPanelModelNumber(int32_t panel) {
  static char modelNumber[kModelNumberLength + 1];
  uint8_t internalData[kPanelInternalDataSize];
  if (ReadPanelInternalData(panel, internalData, sizeof internalData) != kStatusOk) {
    modelNumber[0] = '\0';
    return modelNumber;
  }
  std::memcpy(modelNumber, internalData + kModelNumberOffset, kModelNumberLength);
  modelNumber[kModelNumberLength] = '\0';
  return modelNumber;
}

}  // namespace drux
