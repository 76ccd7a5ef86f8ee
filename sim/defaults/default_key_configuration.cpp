// The key configuration that the default machine's controller holds: a header, one table of
// scan codes per panel channel and the trailer row whose last byte makes the 8-bit sum 0.
#include <cstring>

#include "sim/core/machine.h"

namespace sim::internal {

namespace {

constexpr uint32_t kHeaderSize = 256;
constexpr uint32_t kChannelBlockSize = 12544;
constexpr uint32_t kTrailerSize = 16;
constexpr uint32_t kPanelCountOffset = 130;

struct HeaderText {
  uint32_t offset;
  const char* text;
};
constexpr HeaderText kHeaderTexts[] = {
    {0, "Version:1.02"},
    {14, "Date:2025-03-14"},
    {30, "UserInfo:Standard operator keyboard"},
};
constexpr char kTrailerText[] = "ScanCodes..:  ";

uint32_t ImageSize(uint32_t channels) {
  return kHeaderSize + channels * kChannelBlockSize + kTrailerSize;
}

uint8_t HeaderByte(uint32_t index, uint32_t channels) {
  if (index == kPanelCountOffset) {
    return uint8_t(channels);
  }
  for (const HeaderText& field : kHeaderTexts) {
    if (index >= field.offset && index < field.offset + std::strlen(field.text)) {
      return uint8_t(field.text[index - field.offset]);
    }
  }
  return 0;
}

// Every byte but the last; the scan codes repeat a set-1 like run of make codes per key row.
uint8_t ImageByte(uint32_t index, uint32_t channels) {
  if (index < kHeaderSize) {
    return HeaderByte(index, channels);
  }
  const uint32_t trailer = kHeaderSize + channels * kChannelBlockSize;
  if (index >= trailer) {
    const uint32_t column = index - trailer;
    return column < sizeof kTrailerText ? uint8_t(kTrailerText[column]) : 0;
  }
  const uint32_t key = (index - kHeaderSize) % kChannelBlockSize;
  return uint8_t(1 + key % 0x58);
}

uint8_t ChecksumByte(uint32_t channels) {
  uint8_t sum = 0;
  const uint32_t last = ImageSize(channels) - 1;
  for (uint32_t index = 0; index < last; ++index) {
    sum = uint8_t(sum + ImageByte(index, channels));
  }
  return uint8_t(0 - sum);
}

}  // namespace

void FillKeyConfiguration(const MachineConfig& config, uint32_t offset, uint8_t* bytes,
                          uint32_t length) {
  const uint32_t channels = config.panelChannels == 1 ? 1 : kPanelChannels;
  const uint32_t size = ImageSize(channels);
  for (uint32_t i = 0; i < length && offset + i < size; ++i) {
    const uint32_t index = offset + i;
    bytes[i] = index == size - 1 ? ChecksumByte(channels) : ImageByte(index, channels);
  }
}

}  // namespace sim::internal
