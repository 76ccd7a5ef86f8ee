// Factory-settings records and display blocks for the simulated module EEPROMs.
#include "sim/devices/factory_settings_image.h"

#include <cstring>

namespace sim {

namespace {

constexpr size_t kHeadBytes = 32;
constexpr size_t kEdidBytes = 128;
constexpr uint8_t kInternalSum = 0xAA;

void PutBig16(uint8_t* bytes, uint16_t value) {
  bytes[0] = uint8_t(value >> 8);
  bytes[1] = uint8_t(value);
}

void PutBig32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = uint8_t(value >> (24 - 8 * i));
  }
}

void PutLittle16(uint8_t* bytes, uint16_t value) {
  bytes[0] = uint8_t(value);
  bytes[1] = uint8_t(value >> 8);
}

void PutLittle32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = uint8_t(value >> (8 * i));
  }
}

uint8_t Sum(const uint8_t* bytes, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) {
    sum = uint8_t(sum + bytes[i]);
  }
  return sum;
}

void PutText(uint8_t* field, const char* text, size_t capacity) {
  std::memset(field, 0, capacity);
  std::memcpy(field, text, std::strlen(text));
}

size_t Larger(size_t a, size_t b) {
  return a > b ? a : b;
}

}  // namespace

void SetRecordText(char* field, size_t capacity, const char* text) {
  size_t length = 0;
  while (length + 1 < capacity && text[length] != 0) {
    field[length] = text[length];
    ++length;
  }
  std::memset(field + length, 0, capacity - length);
}

size_t BuildFactoryRecord(const FactoryRecordFields& fields, uint8_t* record, size_t capacity) {
  const size_t factEnd = size_t(fields.factOffset) + kFactHeaderBytes;
  size_t length = Larger(Larger(fields.staticLength, factEnd), size_t(fields.checksumOffset) + 1);
  length = Larger(length, kHeadBytes);
  if (length > capacity) {
    length = capacity;
  }
  if (factEnd > length || fields.factOffset < kHeadBytes) {
    return 0;
  }
  std::memset(record, 0, length);
  std::memcpy(record, "HEAD", 4);
  record[5] = fields.version;
  PutBig16(record + 6, fields.checksumOffset);
  PutBig16(record + 8, fields.staticLength);

  uint8_t* fact = record + fields.factOffset;
  std::memcpy(fact, "FACT", 4);
  PutLittle32(fact + 10, fields.deviceId);
  PutLittle16(fact + 14, fields.compatibilityId);
  PutText(fact + 20, fields.hardwareRevision, sizeof fields.hardwareRevision);
  PutText(fact + 25, fields.serialNumber, sizeof fields.serialNumber);
  PutText(fact + 37, fields.modelNumber, sizeof fields.modelNumber);
  PutLittle32(fact + 81, fields.parentDeviceId);
  PutLittle16(fact + 85, fields.parentCompatibilityId);

  if (fields.checksumOffset < length) {
    const size_t covered = fields.staticLength < length ? fields.staticLength : length;
    record[fields.checksumOffset] = 0;
    uint8_t checksum = uint8_t(0x100 - Sum(record, covered));
    record[fields.checksumOffset] = fields.badChecksum ? uint8_t(checksum + 1) : checksum;
  }
  return length;
}

void BuildDisplayBlock(const FactoryRecordFields& fields, uint8_t* block) {
  static constexpr uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  static constexpr uint8_t kMarker[8] = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
  std::memset(block, 0, kDisplayBlockBytes);
  std::memcpy(block, kEdidHeader, sizeof kEdidHeader);
  block[kEdidBytes - 1] = uint8_t(0x100 - Sum(block, kEdidBytes - 1));

  uint8_t* internal = block + kEdidBytes;
  std::memcpy(internal, kMarker, sizeof kMarker);
  PutBig32(block + 138, fields.deviceId);
  PutBig16(block + 142, fields.compatibilityId);
  PutText(block + 148, fields.hardwareRevision, sizeof fields.hardwareRevision);
  PutText(block + 153, fields.serialNumber, sizeof fields.serialNumber);
  PutText(block + 165, fields.modelNumber, sizeof fields.modelNumber);
  block[254] = fields.version;
  block[255] = uint8_t(kInternalSum - Sum(internal, kEdidBytes - 1));
}

}  // namespace sim
