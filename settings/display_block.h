// The 256-byte display block in front of the record of display-prefixed module areas, and the
// whole basic factory settings of a panel: EDID base block, then the internal data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drux {

inline constexpr size_t kDisplayBlockSize = 256;
inline constexpr size_t kEdidSize = 128;
inline constexpr uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// Internal data: bytes 128-255 of the block. Offsets from the block start.
inline constexpr size_t kInternalDataOffset = 128;
inline constexpr size_t kInternalDataSize = 128;
inline constexpr uint8_t kInternalDataMarker[8] = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
inline constexpr size_t kDisplayDeviceIdOffset = 138;          // u32 big-endian
inline constexpr size_t kDisplayCompatibilityIdOffset = 142;   // u16 big-endian
inline constexpr size_t kDisplayHardwareRevisionOffset = 148;  // 4 characters + NUL
inline constexpr size_t kDisplaySerialNumberOffset = 153;      // 11 characters + NUL
inline constexpr size_t kDisplayModelNumberOffset = 165;       // 40 characters + NUL
inline constexpr size_t kDisplayVersionOffset = 254;
inline constexpr size_t kDisplayChecksumOffset = 255;
// The internal data add up to this value, not to 0.
inline constexpr uint8_t kInternalDataSum = 0xAA;

bool HasEdidHeader(const uint8_t* block);
bool EdidChecksumValid(const uint8_t* block);
bool HasInternalDataMarker(const uint8_t* block);
bool InternalDataChecksumValid(const uint8_t* block);
// The checksum byte (offset 255) that makes the internal data add up to 0xAA.
uint8_t InternalDataChecksumByte(const uint8_t* block);

}  // namespace drux
