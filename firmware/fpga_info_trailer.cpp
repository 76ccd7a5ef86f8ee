#include "firmware/fpga_info_trailer.h"

#include <cstring>

#include "controller/byte_fields.h"

namespace drux {
namespace {

constexpr uint16_t kTrailerMark = 0xFFFF;
constexpr size_t kTypeAt = 2;
constexpr size_t kTypeLength = 4;
constexpr size_t kVersionAt = 6;
constexpr size_t kVersionLength = 6;
constexpr size_t kTagAt = 12;

}  // namespace

bool IsFpgaInfoTrailer(const uint8_t* bytes) {
  return LoadLittleEndian16(bytes) == kTrailerMark && std::memcmp(bytes + kTagAt, "FPGA", 4) == 0;
}

void FpgaInfoTrailerType(const uint8_t* bytes, char* type) {
  std::memcpy(type, bytes + kTypeAt, kTypeLength);
  type[kTypeLength] = '\0';
}

// The digits as written from byte 6: unlike the image header's version text, no blanks are
// skipped, so " 105" has no version (0). Six digits at most: no overflow.
uint32_t FpgaInfoTrailerVersion(const uint8_t* bytes) {
  uint32_t version = 0;
  for (size_t at = kVersionAt; at < kVersionAt + kVersionLength; ++at) {
    if (bytes[at] < '0' || bytes[at] > '9') {
      break;
    }
    version = version * 10 + uint32_t(bytes[at] - '0');
  }
  return version;
}

}  // namespace drux
