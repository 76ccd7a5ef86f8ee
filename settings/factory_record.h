// The factory-settings record that the factory writes into a module's EEPROM area: a HEAD
// header (big-endian fields) with the static checksum, and a FACT header (little-endian fields)
// with the module's identity at some 16-byte step from offset 32.
//
// Lengths and offsets come from the data itself (up to 65535) while the record lives in a
// buffer of a few KiB: every operation takes the number of bytes that are really there
// (`available`) and never looks beyond it. The HEAD header's own 32 bytes must be readable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drux {

// HEAD header, offsets from the record start.
inline constexpr size_t kHeadHeaderSize = 32;
inline constexpr size_t kHeadVersionOffset = 5;        // high nibble major, low nibble minor
inline constexpr size_t kHeadChecksumOffsetField = 6;  // u16 big-endian
inline constexpr size_t kHeadStaticLengthField = 8;    // u16 big-endian
inline constexpr size_t kFactSearchStep = 16;          // FACT headers sit at 32 + 16 k

// FACT header, offsets from its tag.
inline constexpr size_t kFactHeaderSize = 87;
inline constexpr size_t kFactDeviceIdOffset = 10;               // u32 little-endian
inline constexpr size_t kFactCompatibilityIdOffset = 14;        // u16 little-endian
inline constexpr size_t kFactHardwareRevisionOffset = 20;       // 4 characters + NUL
inline constexpr size_t kFactSerialNumberOffset = 25;           // 11 characters + NUL
inline constexpr size_t kFactModelNumberOffset = 37;            // 40 characters + NUL
inline constexpr size_t kFactParentDeviceIdOffset = 81;         // u32 little-endian
inline constexpr size_t kFactParentCompatibilityIdOffset = 85;  // u16 little-endian
inline constexpr size_t kFactHardwareRevisionCapacity = 5;
inline constexpr size_t kFactSerialNumberCapacity = 12;

struct HeadHeader {
  uint8_t versionByte;
  uint16_t checksumOffset;  // offset of the checksum byte
  uint16_t staticLength;    // bytes from offset 0 that the checksum covers
};

HeadHeader ReadHeadHeader(const uint8_t* record);
// What a delete leaves behind: tag bytes all 0xFF and a static length of 0xFFFF.
bool IsErasedRecord(const uint8_t* record);
bool HasHeadTag(const uint8_t* record);
bool HasFactTag(const uint8_t* fact);
// major * 100 + minor (0x15 -> 105).
uint32_t RecordVersionNumber(uint8_t versionByte);

// True when the first staticLength bytes add up to 0 (modulo 256); false as well when the
// static data reaches beyond the available bytes.
bool StaticChecksumValid(const uint8_t* record, size_t available);

// Just before a record is changed: the static data must lie within the available bytes and the
// checksum byte within the static data, off the HEAD fields that are read (offsets 0-3 and 5-9;
// offset 4 is free). Prints the error and returns exit code 9, else 0.
int CheckRecordLimits(const uint8_t* record, size_t available);

// Renews the checksum byte after a field changed. Does nothing and returns false when the
// record fails CheckRecordLimits.
bool FixRecordChecksum(uint8_t* record, size_t available);

// The first FACT header at 32 + 16 k whose 87 bytes end before the static length (strictly)
// and within the available bytes; prints "ERROR: FACT header not found.\n" when there is none.
uint8_t* FindFactHeader(uint8_t* record, size_t available);

// Check and show (Info, Save, file check of Update): erased area, tag, static checksum (skipped
// with a note when fewer bytes are available than the static length), version, the identity of
// the first FACT header. Exit code 0, 9 or 12. deviceId and version may be null.
int CheckFactoryRecord(const uint8_t* record, size_t available, uint32_t* deviceId,
                       uint32_t* version);

}  // namespace drux
