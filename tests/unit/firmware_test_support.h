// Image files and flash images with an image header, built independently of the code under
// test: header at byte 16 (or at the end), header CRC and whole-image CRC big-endian.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "transfer/transfer_engine.h"

namespace drux::testing {

struct ImageRecipe {
  size_t size = 4096;
  std::string id = "EX4F";
  std::string versionText = "0105";
  uint32_t counter = 3;
  bool headerAtEnd = false;  // HDBaseT firmware
};

inline void StoreHeader(std::vector<uint8_t>& image, size_t at, const ImageRecipe& recipe) {
  std::memcpy(&image[at], recipe.id.data(), 4);
  std::memcpy(&image[at + 4], recipe.versionText.data(), 4);
  for (int i = 0; i < 4; ++i) {
    image[at + 8 + i] = uint8_t(recipe.counter >> (8 * i));
  }
  image[at + 12] = 0x01;
  image[at + 13] = 0x00;
  const uint16_t crc = Crc16(0xFFFF, &image[at], 14);
  image[at + 14] = uint8_t(crc >> 8);
  image[at + 15] = uint8_t(crc);
}

inline void StoreImageCrc(std::vector<uint8_t>& image) {
  const uint16_t crc = Crc16(0xFFFF, image.data(), image.size() - 2);
  image[image.size() - 2] = uint8_t(crc >> 8);
  image[image.size() - 1] = uint8_t(crc);
}

inline std::vector<uint8_t> MakeImage(const ImageRecipe& recipe) {
  std::vector<uint8_t> image(recipe.size);
  for (size_t i = 0; i < image.size(); ++i) {
    image[i] = uint8_t(i * 7 + (i >> 8));
  }
  StoreHeader(image, recipe.headerAtEnd ? recipe.size - 16 : 16, recipe);
  if (recipe.headerAtEnd) {
    // Two bytes in front of the header are chosen so that the whole file's CRC comes out 0.
    const uint16_t state = Crc16(0xFFFF, image.data(), recipe.size - 18);
    for (uint32_t x = 0; x <= 0xFFFF; ++x) {
      image[recipe.size - 18] = uint8_t(x >> 8);
      image[recipe.size - 17] = uint8_t(x);
      if (Crc16(state, &image[recipe.size - 18], 18) == 0) {
        break;
      }
    }
  } else {
    StoreImageCrc(image);
  }
  return image;
}

}  // namespace drux::testing
