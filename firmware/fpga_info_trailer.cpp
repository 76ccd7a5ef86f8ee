#include "firmware/fpga_info_trailer.h"

#include <cstring>

#include "controller/byte_fields.h"
#include "firmware/image_header.h"

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

uint32_t FpgaInfoTrailerVersion(const uint8_t* bytes) {
  uint32_t version = 0;
  if (!ReadVersionText(reinterpret_cast<const char*>(bytes + kVersionAt), kVersionLength,
                       &version)) {
    return 0;
  }
  return version;
}

}  // namespace drux
