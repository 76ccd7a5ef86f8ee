#include "sim/devices/fpga_image.h"

namespace sim {

namespace {

constexpr uint16_t kCrcStart = 0xFFFF;
constexpr uint32_t kPiece = 4096;

uint16_t CrcStep(uint16_t crc, uint8_t byte) {
  crc = uint16_t(crc ^ (byte << 8));
  for (int bit = 0; bit < 8; ++bit) {
    crc = (crc & 0x8000) != 0 ? uint16_t((crc << 1) ^ 0x8005) : uint16_t(crc << 1);
  }
  return crc;
}

const uint16_t* CrcTable() {
  static uint16_t table[256];
  static bool built = false;
  if (!built) {
    for (int i = 0; i < 256; ++i) {
      table[i] = CrcStep(uint16_t(i << 8), 0);
    }
    built = true;
  }
  return table;
}

// Data bytes that look like a bit stream, different for every seed.
uint8_t DataByte(uint32_t seed, uint32_t index) {
  uint32_t x = (index + seed * 0x9E3779B1u) * 2654435761u;
  x ^= x >> 15;
  return uint8_t(x >> 8);
}

void BuildHeader(const ImageRecipe& recipe, uint8_t* header) {
  for (int i = 0; i < 4; ++i) {
    header[i] = uint8_t(recipe.id[i]);
    header[4 + i] = uint8_t(recipe.versionText[i]);
    header[8 + i] = uint8_t(recipe.counter >> (8 * i));
  }
  header[12] = uint8_t(recipe.state);
  header[13] = uint8_t(recipe.state >> 8);
  uint16_t crc = Crc16(kCrcStart, header, 14);
  if (recipe.badHeaderCrc) {
    crc ^= 1;
  }
  header[14] = uint8_t(crc >> 8);
  header[15] = uint8_t(crc);
}

void BuildTrailer(const ImageRecipe& recipe, uint8_t* trailer) {
  trailer[0] = 0xFF;
  trailer[1] = 0xFF;
  for (int i = 0; i < 4; ++i) {
    trailer[2 + i] = uint8_t(recipe.id[i]);
  }
  for (int i = 0; i < 6; ++i) {
    trailer[6 + i] = uint8_t(recipe.versionText[i]);
  }
  const char* mark = recipe.noTrailerMark ? "----" : "FPGA";
  for (int i = 0; i < 4; ++i) {
    trailer[12 + i] = uint8_t(mark[i]);
  }
}

// Where the bytes that the recipe computes last begin: the CRC or balance bytes.
uint32_t FixedPartStart(const ImageRecipe& recipe) {
  switch (recipe.format) {
    case ImageFormat::HeaderAtStart:
      return recipe.size - 2;
    case ImageFormat::HeaderAtEnd:
      return recipe.size - kImageHeaderSize - 2;
    case ImageFormat::InfoTrailer:
      return recipe.size - kInfoTrailerSize - 1;
  }
  return recipe.size;
}

// Bytes before the fixed part: data, and for HeaderAtStart the header.
void FillPlain(const ImageRecipe& recipe, const uint8_t* header, uint32_t from, uint8_t* bytes,
               uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    const uint32_t index = from + i;
    const bool inHeader = recipe.format == ImageFormat::HeaderAtStart &&
                          index >= kImageHeaderOffset &&
                          index < kImageHeaderOffset + kImageHeaderSize;
    bytes[i] = inHeader ? header[index - kImageHeaderOffset] : DataByte(recipe.seed, index);
  }
}

struct PlainDigest {
  uint16_t crc;
  uint8_t sum;
};

PlainDigest DigestPlain(const ImageRecipe& recipe, const uint8_t* header, uint32_t end) {
  uint8_t piece[kPiece];
  PlainDigest digest{kCrcStart, 0};
  for (uint32_t at = 0; at < end; at += kPiece) {
    const uint32_t length = end - at < kPiece ? end - at : kPiece;
    FillPlain(recipe, header, at, piece, length);
    digest.crc = Crc16(digest.crc, piece, length);
    for (uint32_t i = 0; i < length; ++i) {
      digest.sum = uint8_t(digest.sum + piece[i]);
    }
  }
  return digest;
}

// Two bytes that take the running CRC to 0xFFFF, so that a valid header after them closes
// the whole-image CRC at 0 (a valid header maps 0xFFFF to 0).
void BalanceCrc(uint16_t crc, uint8_t* pair) {
  for (uint32_t value = 0; value <= 0xFFFF; ++value) {
    const uint8_t candidate[2] = {uint8_t(value >> 8), uint8_t(value)};
    if (Crc16(crc, candidate, 2) == kCrcStart) {
      pair[0] = candidate[0];
      pair[1] = candidate[1];
      return;
    }
  }
}

// The fixed part and what follows it: at most 2 + 16 bytes.
uint32_t BuildTail(const ImageRecipe& recipe, const uint8_t* header, uint8_t* tail) {
  const uint32_t fixedStart = FixedPartStart(recipe);
  const PlainDigest digest = DigestPlain(recipe, header, fixedStart);
  switch (recipe.format) {
    case ImageFormat::HeaderAtStart:
      tail[0] = uint8_t(digest.crc >> 8);
      tail[1] = uint8_t(digest.crc);
      return 2;
    case ImageFormat::HeaderAtEnd:
      BalanceCrc(digest.crc, tail);
      for (uint32_t i = 0; i < kImageHeaderSize; ++i) {
        tail[2 + i] = header[i];
      }
      return 2 + kImageHeaderSize;
    case ImageFormat::InfoTrailer: {
      BuildTrailer(recipe, tail + 1);
      uint8_t sum = digest.sum;
      for (uint32_t i = 0; i < kInfoTrailerSize; ++i) {
        sum = uint8_t(sum + tail[1 + i]);
      }
      tail[0] = uint8_t(-sum);
      return 1 + kInfoTrailerSize;
    }
  }
  return 0;
}

}  // namespace

uint16_t Crc16(uint16_t crc, const uint8_t* bytes, size_t length) {
  const uint16_t* table = CrcTable();
  for (size_t i = 0; i < length; ++i) {
    crc = uint16_t((crc << 8) ^ table[((crc >> 8) ^ bytes[i]) & 0xFF]);
  }
  return crc;
}

uint32_t MinimumImageSize(ImageFormat format) {
  switch (format) {
    case ImageFormat::HeaderAtStart:
      return kImageHeaderOffset + kImageHeaderSize + 2;
    case ImageFormat::HeaderAtEnd:
      return kImageHeaderSize + 2;
    case ImageFormat::InfoTrailer:
      return kInfoTrailerSize + 1;
  }
  return 0;
}

void SetRecipeVersion(ImageRecipe& recipe, uint32_t version) {
  for (int i = 3; i >= 0; --i) {
    recipe.versionText[i] = char('0' + version % 10);
    version /= 10;
  }
  recipe.versionText[4] = ' ';
  recipe.versionText[5] = ' ';
}

uint32_t DefaultImageSeed(const ImageRecipe& recipe) {
  uint32_t seed = recipe.counter * 31u;
  for (int i = 0; i < 4; ++i) {
    seed = seed * 131u + uint8_t(recipe.id[i]);
    seed = seed * 131u + uint8_t(recipe.versionText[i]);
  }
  return seed;
}

void FillImage(const ImageRecipe& recipe, uint32_t offset, uint8_t* bytes, uint32_t length) {
  if (recipe.size < MinimumImageSize(recipe.format) || offset >= recipe.size) {
    return;
  }
  if (length > recipe.size - offset) {
    length = recipe.size - offset;
  }
  uint8_t header[kImageHeaderSize];
  BuildHeader(recipe, header);
  const uint32_t fixedStart = FixedPartStart(recipe);
  if (offset < fixedStart) {
    const uint32_t plain = fixedStart - offset < length ? fixedStart - offset : length;
    FillPlain(recipe, header, offset, bytes, plain);
  }
  if (offset + length <= fixedStart) {
    return;
  }
  uint8_t tail[2 + kImageHeaderSize];
  BuildTail(recipe, header, tail);
  for (uint32_t index = offset > fixedStart ? offset : fixedStart; index < offset + length;
       ++index) {
    bytes[index - offset] = tail[index - fixedStart];
  }
}

}  // namespace sim
