// The 16-byte image header of firmware and FPGA images, the checks of image files that carry
// one, and the default names of image files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drux {

inline constexpr size_t kImageHeaderSize = 16;
// DRUX firmware and new-format FPGA images: the header follows the image's first 16 bytes.
inline constexpr long kImageHeaderOffset = 16;

struct ImageHeader {
  char id[4];           // not terminated
  char versionText[4];  // decimal digits, "%4d"
  uint32_t updateCounter;
  uint16_t stateWord;
  uint16_t headerCrc;  // stored big-endian
};

ImageHeader DecodeImageHeader(const uint8_t* bytes);
// The header's CRC over all 16 bytes, CRC field included, comes out as 0.
bool IsImageHeaderValid(const uint8_t* bytes);
// The version text read as "%4d": major * 100 + minor. False when it holds no number.
bool ReadImageVersion(const ImageHeader& header, uint32_t* version);
// The header begins with the ID (compared over the ID's length).
bool ImageHeaderHasId(const ImageHeader& header, const char* id);

// The name ends in the image's usage ("fw", "fp"), compared without regard to case.
bool IsXmlHeaderFileName(const char* fileName, const char* usage);

// "%05lu%c%u.%s" into a static buffer, overwritten by each call.
const char* ImageFileName(uint32_t deviceId, char function, const char* extension);

// The kinds of image files, each with its own wording of the failures.
enum class ImageKind : uint8_t { DruxFirmware, FpgaFirmware, HdbtFirmware };

// Size, header (ID, CRC, version) and whole-file CRC of an image file. id may be nullptr.
// 0, 2 (open), 3 (read), 5 (size) or 9 (header or CRC); *version gets the header's version.
int CheckImageFile(ImageKind kind, const char* fileName, long size, const char* id,
                   uint32_t* version);

}  // namespace drux
