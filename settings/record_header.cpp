// Reading the HEAD header of a factory-settings record and recognising its tags.
#include <cstring>

#include "controller/byte_fields.h"
#include "settings/factory_record.h"

namespace drux {

namespace {

constexpr uint16_t kErasedStaticLength = 0xFFFF;
constexpr uint8_t kErasedByte = 0xFF;

}  // namespace

HeadHeader ReadHeadHeader(const uint8_t* record) {
  return HeadHeader{record[kHeadVersionOffset], LoadBigEndian16(record + kHeadChecksumOffsetField),
                    LoadBigEndian16(record + kHeadStaticLengthField)};
}

bool IsErasedRecord(const uint8_t* record) {
  for (size_t i = 0; i < 4; ++i) {
    if (record[i] != kErasedByte) {
      return false;
    }
  }
  return LoadBigEndian16(record + kHeadStaticLengthField) == kErasedStaticLength;
}

bool HasHeadTag(const uint8_t* record) {
  return std::memcmp(record, "HEAD", 4) == 0;
}

bool HasFactTag(const uint8_t* fact) {
  return std::memcmp(fact, "FACT", 4) == 0;
}

uint32_t RecordVersionNumber(uint8_t versionByte) {
  return uint32_t(versionByte >> 4) * 100 + (versionByte & 0x0F);
}

}  // namespace drux
