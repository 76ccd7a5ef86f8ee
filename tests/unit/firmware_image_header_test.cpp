// The image header of firmware images, the image file checks of the three kinds of image
// files with every message, and the default file names.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "tests/unit/firmware_test_support.h"
#include "tests/unit/transfer_test_support.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;
using testing::ImageRecipe;
using testing::MakeImage;

ImageHeader HeaderWithVersion(const char* text) {
  ImageHeader header{};
  std::memcpy(header.versionText, text, 4);
  return header;
}

TEST(ImageHeader, VersionTextReadsLikeFourDigitDecimal) {
  const struct {
    const char* text;
    bool readable;
    uint32_t version;
  } cases[] = {
      {"0105", true, 105},
      {"  42", true, 42},
      {"1234", true, 1234},
      {" 7xy", true, 7},
      {"x105", false, 0},
      {"    ", false, 0},
      {"\0\0\0\0", false, 0},
      // A sign is no version: "-105" would read as 4294967191 and pass every comparison.
      {"-105", false, 0},
      {"+106", false, 0},
      {" -10", false, 0},
  };
  for (const auto& c : cases) {
    uint32_t version = 0;
    EXPECT_EQ(ReadImageVersion(HeaderWithVersion(c.text), &version), c.readable) << c.text;
    if (c.readable) {
      EXPECT_EQ(version, c.version) << c.text;
    }
  }
}

TEST(ImageHeader, DecodesFieldsAndChecksItsCrc) {
  const Bytes image = MakeImage(ImageRecipe{64, "VP4F", "0210", 0x01020304});
  const ImageHeader header = DecodeImageHeader(&image[16]);
  EXPECT_EQ(std::string(header.id, 4), "VP4F");
  EXPECT_EQ(header.updateCounter, 0x01020304u);
  EXPECT_EQ(header.stateWord, 0x0001);
  EXPECT_EQ(header.headerCrc, uint16_t(image[30] << 8 | image[31]));
  EXPECT_TRUE(IsImageHeaderValid(&image[16]));
  EXPECT_TRUE(ImageHeaderHasId(header, "VP4F"));
  EXPECT_TRUE(ImageHeaderHasId(header, "VP"));
  EXPECT_FALSE(ImageHeaderHasId(header, "EX4F"));

  // The CRC stored low byte first is refused (its two bytes differ).
  Bytes swapped(image.begin() + 16, image.begin() + 32);
  ASSERT_NE(swapped[14], swapped[15]);
  std::swap(swapped[14], swapped[15]);
  EXPECT_FALSE(IsImageHeaderValid(swapped.data()));
}

// A header whose update counter is rewritten and whose header CRC is renewed leaves the whole
// image's CRC valid: this is what lets an update count itself into the image.
TEST(ImageHeader, PatchedCounterKeepsTheImageCrc) {
  Bytes image = MakeImage(ImageRecipe{1024, "EX4F", "0105", 3});
  ASSERT_EQ(Crc16(0xFFFF, image.data(), image.size()), 0);
  image[24] = 4;
  const uint16_t crc = Crc16(0xFFFF, &image[16], 14);
  image[30] = uint8_t(crc >> 8);
  image[31] = uint8_t(crc);
  EXPECT_TRUE(IsImageHeaderValid(&image[16]));
  EXPECT_EQ(Crc16(0xFFFF, image.data(), image.size()), 0);
}

TEST(ImageFileName, DefaultNames) {
  EXPECT_STREQ(ImageFileName(4711, '_', "fw"), "04711_0.fw");
  EXPECT_STREQ(ImageFileName(4711, 'i', "fp"), "04711i0.fp");
  EXPECT_STREQ(ImageFileName(123456, '_', "fw"), "123456_0.fw");
  EXPECT_STREQ(ImageFileName(0xFFFFFFFF, '_', "fw"), "4294967295_0.fw");
  EXPECT_STREQ(ImageFileName(39, '#', "fp"), "0039#0.fp");
  EXPECT_STREQ(ImageFileName(42, '#', "fw"), "0042#0.fw");
  EXPECT_STREQ(BootloaderFileName(0x1267), "1267bldr.bin");
  EXPECT_STREQ(BootloaderFileName(0xABCD00FE), "00febldr.bin");
}

TEST(ImageFileName, XmlHeaderFilesByTheirLastTwoLetters) {
  const struct {
    const char* name;
    const char* usage;
    bool xml;
  } cases[] = {
      {"04711_0.fw", "fw", true}, {"FIRMWARE.FW", "fw", true}, {"firmwarefw", "fw", true},
      {"fw.bin", "fw", false},    {"w", "fw", false},          {"", "fw", false},
      {"conv.fP", "fp", true},    {"conv.fw", "fp", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsXmlHeaderFileName(c.name, c.usage), c.xml) << c.name;
  }
}

class ImageFileCheck : public testing::TransferTest {
 protected:
  CapturedOutput Check(ImageKind kind, const Bytes& content, long size, const char* id,
                       uint32_t* version) {
    const std::string path = Path("image.bin");
    testing::WriteBytes(path, content);
    return testing::CaptureOutput(
        [&] { return CheckImageFile(kind, path.c_str(), size, id, version); });
  }
};

struct KindTexts {
  ImageKind kind;
  bool headerAtEnd;
  std::string size;
  std::string id;
  std::string crc;
  std::string version;
  std::string checkLine;
};

const KindTexts kKinds[] = {
    {ImageKind::DruxFirmware, false, "ERROR: Invalid file size: not 4096 bytes.\n",
     "ERROR: The file does not contain a DRUX firmware header.\n"
     "       Please specify a valid DRUX firmware file.\n",
     "ERROR: DRUX firmware file has invalid header CRC.\n",
     "ERROR: The DRUX firmware file does not contain a valid version entry.\n",
     "Check DRUX firmware file: "},
    {ImageKind::FpgaFirmware, false, "ERROR: Invalid file size: not 4096 bytes.\n",
     "ERROR: The file does not contain a valid FPGA firmware header.\n"
     "       Please specify a valid FPGA firmware file.\n",
     "ERROR: The FPGA firmware file has an invalid header CRC.\n",
     "ERROR: The FPGA firmware file does not contain a valid version entry.\n",
     "Check FPGA firmware file: "},
    {ImageKind::HdbtFirmware, true, "ERROR: iInvalid file size: not 4096 bytes.\n",
     "ERROR: The file does not contain a valid firmware header.\n"
     "       Please specify a valid firmware file.\n",
     "ERROR: The firmware file has an invalid header CRC.\n",
     "ERROR: The firmware file does not contain a valid version entry.\n",
     "Check HDBT firmware file: "},
};

TEST_F(ImageFileCheck, EveryKindEveryOutcome) {
  for (const KindTexts& k : kKinds) {
    const ImageRecipe good{4096, "LKVN", "0203", 9, k.headerAtEnd};
    const size_t headerAt = k.headerAtEnd ? 4096 - 16 : 16;
    Bytes badCrc = MakeImage(good);
    badCrc[headerAt + 9] ^= 0x40;
    ImageRecipe badVersion = good;
    badVersion.versionText = "x105";
    Bytes shortImage = MakeImage(good);
    shortImage.pop_back();
    Bytes badImageCrc = MakeImage(good);
    badImageCrc[2000] ^= 1;
    const struct {
      std::string label;
      Bytes content;
      const char* id;
      int result;
      std::string out;
      std::string err;
    } cases[] = {
        {"good", MakeImage(good), "LKVN", 0, "File version: 2.03\n" + k.checkLine + testing::kDone,
         ""},
        {"short", shortImage, "LKVN", 5, "", k.size},
        {"other id", MakeImage(good), "KR3B", 9, "", k.id},
        {"header crc", badCrc, "LKVN", 9, "", k.crc},
        {"version", MakeImage(badVersion), "LKVN", 9, "", k.version},
        {"image crc", badImageCrc, "LKVN", 9, "File version: 2.03\n" + k.checkLine + testing::kDone,
         "ERROR: Invalid file CRC."},
    };
    for (const auto& c : cases) {
      uint32_t version = 0;
      const CapturedOutput output = Check(k.kind, c.content, 4096, c.id, &version);
      EXPECT_EQ(output.result, c.result) << k.checkLine << c.label;
      EXPECT_EQ(output.out, c.out) << k.checkLine << c.label;
      EXPECT_EQ(output.err, c.err) << k.checkLine << c.label;
    }
  }
}

TEST_F(ImageFileCheck, DruxFirmwareWithoutIdAndFileFailures) {
  uint32_t version = 0;
  const CapturedOutput any =
      Check(ImageKind::DruxFirmware, MakeImage(ImageRecipe{4096, "ZZZZ", "  42"}), 4096, nullptr,
            &version);
  EXPECT_EQ(any.result, 0) << any.err;
  EXPECT_EQ(version, 42u);
  EXPECT_EQ(any.out.rfind("File version: 0.42\nCheck DRUX firmware file: ", 0), 0u);

  // Too short for a header at byte 16 but of the claimed size.
  const CapturedOutput tiny = Check(ImageKind::DruxFirmware, Bytes(20, 0), 20, nullptr, &version);
  EXPECT_EQ(tiny.result, 3);
  EXPECT_EQ(tiny.err.rfind("ERROR: Can't read file: ", 0), 0u) << tiny.err;

  const std::string missing = Path("missing.bin");
  const CapturedOutput none = testing::CaptureOutput([&] {
    return CheckImageFile(ImageKind::DruxFirmware, missing.c_str(), 4096, nullptr, &version);
  });
  EXPECT_EQ(none.result, 2);
  EXPECT_EQ(none.err, std::string("ERROR: Can't open file: ") + std::strerror(ENOENT) + "\n");
}

}  // namespace
}  // namespace drux
