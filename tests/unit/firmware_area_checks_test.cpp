// Checks of images in a device's flash: the CRC and byte sum of a whole copy, and the search
// for the info trailer of an old-format image.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "firmware/image_checks.h"
#include "sim/sim.h"
#include "tests/unit/firmware_test_support.h"
#include "tests/unit/transfer_test_support.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;

class AreaChecks : public testing::TransferTest {};

TEST_F(AreaChecks, WholeImageCrcAndChecksumWithEachWording) {
  const Bytes image = testing::MakeImage(testing::ImageRecipe{0x100, "LKVN", "0105", 3});
  SetFlash(0x300000, image);
  Bytes broken = image;
  broken[0x80] ^= 1;
  SetFlash(0x400000, broken);
  const struct {
    AreaCheckKind kind;
    uint32_t start;
    bool checkCrc;
    bool readFault;
    int result;
    std::string out;
    std::string err;
  } cases[] = {
      {AreaCheckKind::Fpga, 0x300000, true, false, 0,
       "Check 256 bytes FPGA data: " + testing::kDone, ""},
      {AreaCheckKind::DruxFirmware, 0x300000, true, false, 0, testing::kDone, ""},
      {AreaCheckKind::Fpga, 0x400000, true, false, 9,
       "Check 256 bytes FPGA data: " + testing::kDone, "ERROR: Invalid CRC.\n"},
      {AreaCheckKind::Fpga, 0x400000, false, false, 0,
       "Check 256 bytes FPGA data: " + testing::kDone, ""},
      {AreaCheckKind::Fpga, 0x300000, true, true, 6, "Check 256 bytes FPGA data:   0%",
       "ERROR: Can't read data: device failure (does not exist)\n"},
      {AreaCheckKind::Converter, 0x300000, true, true, 6, "Check 256 bytes FPGA data:   0%",
       "ERROR: Can't read data: device failure (does not exist).\n"},
  };
  for (const auto& c : cases) {
    sim::ClearFaults();
    if (c.readFault) {
      ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0xE0, 0x85, 0}));
    }
    uint16_t checksum = 0;
    const CapturedOutput output = testing::CaptureOutput(
        [&] { return CheckAreaImage(c.kind, 0xE0, 0, 0, c.start, 0x100, c.checkCrc, &checksum); });
    EXPECT_EQ(output.result, c.result) << c.start << c.err;
    EXPECT_EQ(output.out, c.out) << c.err;
    EXPECT_EQ(output.err, c.err);
    if (c.result == 0) {
      const Bytes& data = c.start == 0x300000 ? image : broken;
      EXPECT_EQ(checksum, testing::XmlChecksum(data));
    }
  }
}

// An old-format image in a panel's FPGA flash: data, trailer, then erased flash.
Bytes OldImageWithTrailer(size_t dataSize, uint8_t sumFix) {
  Bytes image = testing::Pattern(dataSize, 9, 3);
  uint8_t* trailer = &image[dataSize - 16];
  std::memcpy(trailer,
              "\xFF\xFF"
              "ABCD"
              "0217  "
              "FPGA",
              16);
  uint8_t sum = 0;
  image[0] = 0;
  for (uint8_t byte : image) {
    sum = uint8_t(sum + byte);
  }
  image[0] = uint8_t(-sum + sumFix);
  return image;
}

TEST_F(AreaChecks, InfoTrailerStopsTheScan) {
  const Bytes image = OldImageWithTrailer(0x30000, 0);
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::PanelFlash, 0, image.data(), image.size(), 0));
  uint32_t dataSize = 0;
  char type[5] = {};
  uint32_t version = 0;
  uint16_t checksum = 0;
  sim::ClearLog();
  const CapturedOutput found = testing::CaptureOutput(
      [&] { return ScanFpgaInfo(3, 0, 0, 0x40000, &dataSize, type, &version, &checksum); });
  EXPECT_EQ(found.result, 0) << found.err;
  EXPECT_EQ(dataSize, 0x30000u);
  EXPECT_STREQ(type, "ABCD");
  EXPECT_EQ(version, 217u);
  EXPECT_EQ(checksum, testing::XmlChecksum(image));
  EXPECT_EQ(sim::LogSize(), 0x30000u / 16) << "reads stop at the trailer";
  const std::string tail = "\nFile type: ABCD\nFile version: 2.17\nFPGA data size: 196608 bytes\n";
  EXPECT_EQ(found.out.substr(found.out.size() - tail.size()), tail);

  const Bytes badSum = OldImageWithTrailer(0x1000, 1);
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::PanelFlash, 0, badSum.data(), badSum.size(), 0));
  const CapturedOutput refused = testing::CaptureOutput(
      [&] { return ScanFpgaInfo(3, 0, 0, 0x2000, &dataSize, type, &version, nullptr); });
  EXPECT_EQ(refused.result, 9);
  EXPECT_EQ(refused.err, "ERROR: Invalid checksum.\n");

  const Bytes erased(0x100, 0xFF);
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::PanelFlash, 0, erased.data(), erased.size(), 0));
  const CapturedOutput missing = testing::CaptureOutput(
      [&] { return ScanFpgaInfo(3, 0, 0, 0x100, &dataSize, type, &version, nullptr); });
  EXPECT_EQ(missing.result, 9);
  EXPECT_EQ(missing.out.substr(missing.out.size() - 5), "Done\n");
  EXPECT_EQ(missing.err, "ERROR: FPGA info not found (old firmware).\n");
}

}  // namespace
}  // namespace drux
