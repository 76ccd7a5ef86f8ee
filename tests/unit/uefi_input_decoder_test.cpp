// Keys from redirected input files: ASCII bytes or UCS-2 with byte order mark, in any pieces.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uefi/input_decoder.h"

namespace platform::uefi {
namespace {

// Decodes the bytes as the console does, refilling with at most `piece` bytes at a time.
std::u16string Decode(const std::string& bytes, size_t piece) {
  InputDecoder decoder;
  std::u16string keys;
  size_t offered = 0;
  for (;;) {
    int key = DecodeKey(&decoder);
    if (key != kNeedBytes) {
      keys += static_cast<char16_t>(key);
      continue;
    }
    size_t room = 0;
    uint8_t* space = RefillSpace(&decoder, &room);
    size_t count = std::min({room, piece, bytes.size() - offered});
    if (count == 0) {
      if (NoMoreBytes(&decoder)) {
        continue;
      }
      return keys;
    }
    for (size_t i = 0; i < count; ++i) {
      space[i] = static_cast<uint8_t>(bytes[offered + i]);
    }
    offered += count;
    Filled(&decoder, count);
  }
}

std::string Ucs2WithMark(const std::u16string& text) {
  std::string bytes = "\xff\xfe";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST(UefiInputDecoderTest, AsciiAndUcs2GiveTheSameKeysInAnyPieces) {
  const std::u16string text = u"first\r\nsecond\n\u00e9 last";
  std::string ascii = "first\r\nsecond\n\xe9 last";
  for (size_t piece : {1u, 2u, 3u, 7u, 512u, 4096u}) {
    EXPECT_EQ(Decode(ascii, piece), text) << "ASCII in pieces of " << piece;
    EXPECT_EQ(Decode(Ucs2WithMark(text), piece), text) << "UCS-2 in pieces of " << piece;
  }
}

TEST(UefiInputDecoderTest, ShortInputs) {
  EXPECT_EQ(Decode("", 512), u"");
  EXPECT_EQ(Decode("y", 512), u"y");  // one byte cannot be a byte order mark
  EXPECT_EQ(Decode("\xff\xfe", 512), u"");
  EXPECT_EQ(Decode("\xff", 512), u"\u00ff");
  EXPECT_EQ(Decode("\xfe\xff"
                   "ab",
                   512),
            u"\u00fe\u00ff"
            u"ab");  // big-endian mark: bytes
}

TEST(UefiInputDecoderTest, InputLongerThanTheBufferArrivesWhole) {
  std::string ascii(3000, 'k');
  EXPECT_EQ(Decode(ascii, 4096), std::u16string(3000, u'k'));
  EXPECT_EQ(Decode(Ucs2WithMark(std::u16string(1500, u'w')), 333), std::u16string(1500, u'w'));
}

}  // namespace
}  // namespace platform::uefi
