// Factory-settings contents as the factory writes them into the module EEPROMs of the
// simulated PC (commands 0x63/0x73): a HEAD/FACT record and the display block that some areas
// carry in front of it. The druxsim tool and the tests build their records here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

struct FactoryRecordFields {
  uint32_t deviceId = 0;
  uint16_t compatibilityId = 0;
  uint32_t parentDeviceId = 0;
  uint16_t parentCompatibilityId = 0;
  char hardwareRevision[5] = {};  // up to 4 characters
  char serialNumber[12] = {};     // up to 11 characters
  char modelNumber[41] = {};      // up to 40 characters
  uint8_t version = 0x10;         // high nibble major, low nibble minor (0x15 = 1.05)
  // Layout. Defaults: FACT header at 32, static data of 128 bytes closed by the checksum byte.
  uint16_t staticLength = 128;
  uint16_t checksumOffset = 127;
  uint16_t factOffset = 32;
  bool badChecksum = false;  // the static data do not add up to 0
};

inline constexpr size_t kFactHeaderBytes = 87;
inline constexpr size_t kDisplayBlockBytes = 256;

// Writes the record into `record`: max(static length, end of the FACT header, checksum byte + 1)
// bytes, cut to the capacity (a static length beyond the capacity is only declared). Bytes
// that no field uses are 0. Returns the bytes written, 0 when the FACT header or the HEAD
// header does not fit.
size_t BuildFactoryRecord(const FactoryRecordFields& fields, uint8_t* record, size_t capacity);

// A display block with the same identity: EDID header and checksum, internal-data marker,
// big-endian device and compatibility IDs, the texts, version byte and internal checksum.
void BuildDisplayBlock(const FactoryRecordFields& fields, uint8_t* block);

// Copies text into a fixed field, cut to its capacity - 1 characters.
void SetRecordText(char* field, size_t capacity, const char* text);

}  // namespace sim
