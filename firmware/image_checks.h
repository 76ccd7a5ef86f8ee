// Checks of image files and of the images in a device's flash, run before anything is saved
// or updated. Every firmware handler uses these; none keeps its own copy.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drux {

// The kinds of image files, each with its own wording of the failures.
enum class ImageKind : uint8_t { DruxFirmware, FpgaFirmware, HdbtFirmware };

// Size, header (ID, CRC, version) and whole-file CRC of an image file. id may be nullptr.
// 0, 2 (open), 3 (read), 5 (size) or 9 (header or CRC); *version gets the header's version.
int CheckImageFile(ImageKind kind, const char* fileName, long size, const char* id,
                   uint32_t* version);

inline constexpr size_t kFpgaTypeLength = 4;

// Old-format FPGA image file: size limit, multiple of 256, info trailer with 8-bit checksum,
// or type and version from a name like ABCD0105.bin. 0, 2, 3, 5, 9, or 13 (type mismatch).
int CheckFpgaInfoFile(const char* fileName, long maxSize, const char* expectedType,
                      uint32_t* version);

// Finds the info trailer of an old-format image in a device area (command 0x20, 16-byte steps)
// and checks the 8-bit sum of everything up to it. type gets kFpgaTypeLength + 1 bytes;
// checksum (may be nullptr) the XML Chk of the data. 0, 6 (read) or 9.
int ScanFpgaInfo(uint32_t target, uint32_t device, uint32_t start, uint32_t size,
                 uint32_t* dataSize, char* type, uint32_t* version, uint16_t* checksum);

// Wording of an area check: the FPGA form, the converter's (its read failure ends in '.'), and
// the DRUX firmware's (its caller prints its own check line).
enum class AreaCheckKind : uint8_t { Fpga, Converter, DruxFirmware };

// Reads size bytes from start in 256-byte steps with progress; with checkCrc the whole-image
// CRC must come out 0. *checksum gets the XML Chk of the bytes. 0, 6 (read) or 9 (CRC).
int CheckAreaImage(AreaCheckKind kind, uint32_t command, uint32_t target, uint32_t device,
                   uint32_t start, uint32_t size, bool checkCrc, uint16_t* checksum);

}  // namespace drux
