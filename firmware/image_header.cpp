#include "firmware/image_header.h"

#include <cstring>

#include "controller/byte_fields.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

constexpr uint16_t kCrcStart = 0xFFFF;
constexpr size_t kVersionTextLength = 4;

// The white space a "%d" conversion skips.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

ImageHeader DecodeImageHeader(const uint8_t* bytes) {
  ImageHeader header{};
  std::memcpy(header.id, bytes, sizeof header.id);
  std::memcpy(header.versionText, bytes + 4, sizeof header.versionText);
  header.updateCounter = LoadLittleEndian32(bytes + 8);
  header.stateWord = LoadLittleEndian16(bytes + 12);
  header.headerCrc = LoadBigEndian16(bytes + 14);
  return header;
}

bool IsImageHeaderValid(const uint8_t* bytes) {
  return Crc16(kCrcStart, bytes, kImageHeaderSize) == 0;
}

bool ReadVersionText(const char* text, size_t length, uint32_t* version) {
  size_t at = 0;
  while (at < length && IsBlank(text[at])) {
    ++at;
  }
  if (at == length || !IsDigit(text[at])) {
    return false;
  }
  // At most a few digits fit in the texts that carry versions: no overflow.
  uint32_t value = 0;
  for (; at < length && IsDigit(text[at]); ++at) {
    value = value * 10 + uint32_t(text[at] - '0');
  }
  *version = value;
  return true;
}

bool ReadImageVersion(const ImageHeader& header, uint32_t* version) {
  return ReadVersionText(header.versionText, kVersionTextLength, version);
}

bool ImageHeaderHasId(const ImageHeader& header, const char* id) {
  const size_t length = std::strlen(id);
  return length <= sizeof header.id && std::memcmp(header.id, id, length) == 0;
}

}  // namespace drux
