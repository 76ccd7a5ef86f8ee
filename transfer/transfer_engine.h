// Save a controller memory area to a file and update it from a file, with progress, verify and
// a dump of the first mismatch; the file checks and checksums the data types share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace drux {

inline constexpr uint32_t kTransferChunkSize = 10240;

// xmlHeader: text written with its NUL in front of the data, or nullptr.
int SaveAreaToFile(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                   const char* fileName, uint32_t size, uint8_t verify, const char* xmlHeader);
// xml: the file may begin with an XML firmware header, which is skipped. sizeLimit 0 = whole
// file, else at most that many data bytes are written and verified.
int UpdateAreaFromFile(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                       const char* fileName, uint8_t verify, uint8_t xml, uint32_t sizeLimit);
// The number of data bytes UpdateAreaFromFile with the XML flag would write from the file
// (before padding), found without printing. 0, 2, 3 or 5.
int TakeUpdateDataSize(const char* fileName, uint32_t* size);

// While non-zero, an update stores it at offset 0x18 of the image header and renews the
// header's CRC. Firmware updates set it and reset it to 0 afterwards.
void SetHeaderPatchValue(uint32_t value);
uint32_t HeaderPatchValue();
// The counter an update writes: one more than the image's, held at the top, since a wrap to 0
// would switch the patch off.
uint32_t NextUpdateCounter(uint32_t counter);

void ShowProgress(int32_t done, int32_t total);
void CompareDump(const uint8_t* deviceData, const uint8_t* fileData, size_t index, size_t length);

// Length of an open file, positioned back at its start: 0, or 5 after "ERROR: Can't seek file"
// with the system's error text.
int TakeFileLength(platform::File* file, long* length);

int CheckFileChecksum(platform::File* file, long size);
int CheckFileCrc(platform::File* file, long size);

uint16_t Crc16(uint16_t start, const uint8_t* data, size_t length);
uint8_t Checksum8(const uint8_t* data, size_t length);
inline constexpr uint16_t Swap16(uint16_t value) {
  return uint16_t((value >> 8) | (value << 8));
}
inline constexpr uint32_t Swap32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

}  // namespace drux
