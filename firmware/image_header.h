// The 16-byte image header of firmware and FPGA images (also the layout of the controller's FPGA
// header reply), its version text, and the default names of image files.
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
// The one reader of image version texts: leading blanks, then decimal digits up to the first
// other character, within length characters; major * 100 + minor. False without a digit, and
// for a sign: "-105" would turn into a huge unsigned version that passes every comparison.
bool ReadVersionText(const char* text, size_t length, uint32_t* version);
// The header's four-character version text by ReadVersionText.
bool ReadImageVersion(const ImageHeader& header, uint32_t* version);
// The header begins with the ID (compared over the ID's length).
bool ImageHeaderHasId(const ImageHeader& header, const char* id);

// The name ends in the image's usage ("fw", "fp"), compared without regard to case.
bool IsXmlHeaderFileName(const char* fileName, const char* usage);

// Function characters of default names: normal images, the complete link transmitter image,
// and the fixed names of panel-side and converter images.
inline constexpr char kImageFunctionNormal = '_';
inline constexpr char kImageFunctionComplete = 'i';
inline constexpr char kImageFunctionFixed = '#';

// "%05lu%c%u.%s" (with '#': the device ID in four digits, "0039#0.fp") into a static buffer,
// overwritten by each call.
const char* ImageFileName(uint32_t deviceId, char function, const char* extension);
// "%04xbldr.bin": the low 16 bits of the file ID, so the name keeps its eight characters.
// Shares ImageFileName's buffer.
const char* BootloaderFileName(uint32_t fileId);

}  // namespace drux
