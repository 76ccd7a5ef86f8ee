// Image files of the FPGA modules and firmware of the display-link hardware, built from a
// small recipe so that an image of any size can be produced in pieces: the simulator fills
// flash pages with it and druxsim writes image files with it. Three layouts:
// - HeaderAtStart: image header at byte 16, the last two bytes the big-endian CRC-16 of all
//   bytes before them (the CRC over the whole image is 0);
// - HeaderAtEnd: image header in the last 16 bytes, two balance bytes before it keep the CRC
//   over the whole image at 0;
// - InfoTrailer: the old FPGA info trailer in the last 16 bytes, one balance byte before it
//   makes the 8-bit sum of the image 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

enum class ImageFormat : uint8_t { HeaderAtStart, HeaderAtEnd, InfoTrailer };

inline constexpr uint32_t kImageHeaderSize = 16;
inline constexpr uint32_t kImageHeaderOffset = 16;  // HeaderAtStart
inline constexpr uint32_t kInfoTrailerSize = 16;

struct ImageRecipe {
  ImageFormat format = ImageFormat::HeaderAtStart;
  char id[4] = {'L', 'K', 'V', 'N'};
  // Header formats: four characters; the trailer takes up to six (the rest blank).
  char versionText[6] = {'0', '1', '0', '0', ' ', ' '};
  uint32_t counter = 0;
  uint16_t state = 0;
  uint32_t size = 0xA0000;
  uint32_t seed = 0;
  bool badHeaderCrc = false;   // header CRC off by one (computed before the image CRC)
  bool noTrailerMark = false;  // the trailer lacks its "FPGA" mark
};

// The smallest image a layout can hold.
uint32_t MinimumImageSize(ImageFormat format);
// "0105" for 105; four digits (versions above 9999 keep their last four).
void SetRecipeVersion(ImageRecipe& recipe, uint32_t version);
// A seed that differs for images of different ID, version or counter.
uint32_t DefaultImageSeed(const ImageRecipe& recipe);
// Writes the image bytes [offset, offset + length) of the recipe's image into `bytes`;
// bytes beyond the image are left alone. Computing a CRC or sum reads the image from its
// start, so fill in large pieces.
void FillImage(const ImageRecipe& recipe, uint32_t offset, uint8_t* bytes, uint32_t length);

// CRC-16 with polynomial 0x8005, not reflected, no final XOR (start with 0xFFFF).
uint16_t Crc16(uint16_t crc, const uint8_t* bytes, size_t length);

}  // namespace sim
