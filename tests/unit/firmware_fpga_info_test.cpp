// The file check of old-format FPGA images: size limits, the info trailer and its checksum,
// the type and version taken from the file name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "firmware/image_checks.h"
#include "tests/unit/transfer_test_support.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;

// An old-format image: data, then the trailer, with one byte chosen so that the sum is 0.
Bytes OldImage(size_t size, const char* type, const char* version, bool goodSum = true) {
  Bytes image = testing::Pattern(size, 3, 5);
  uint8_t* trailer = &image[size - 16];
  trailer[0] = trailer[1] = 0xFF;
  std::memcpy(trailer + 2, type, 4);
  std::memset(trailer + 6, ' ', 6);
  std::memcpy(trailer + 6, version, std::strlen(version));
  std::memcpy(trailer + 12, "FPGA", 4);
  uint8_t sum = 0;
  image[0] = 0;
  for (uint8_t byte : image) {
    sum = uint8_t(sum + byte);
  }
  image[0] = uint8_t(-sum + (goodSum ? 0 : 1));
  return image;
}

class FpgaInfoFileCheck : public testing::TransferTest {};

TEST_F(FpgaInfoFileCheck, SizesTrailerAndFileNameFallback) {
  const std::string check = "Check FPGA firmware file: ";
  Bytes noTrailer = testing::Pattern(0x1000, 1);
  const struct {
    std::string label;
    std::string name;
    Bytes content;
    int result;
    uint32_t version;
    std::string out;
    std::string err;
  } cases[] = {
      {"trailer", "a.bin", OldImage(0x1000, "ABCD", "105"), 0, 105,
       check + testing::kDone + "File type: ABCD\nFile version: 1.05\n", ""},
      // The digits as written: a blank in front is no digit, unlike in an image header.
      {"blank before the digits", "a.bin", OldImage(0x1000, "ABCD", " 105"), 0, 0,
       check + testing::kDone + "File type: ABCD\nFile version: 0.00\n", ""},
      {"digits up to the first other character", "a.bin", OldImage(0x1000, "ABCD", "10x5"), 0, 10,
       check + testing::kDone + "File type: ABCD\nFile version: 0.10\n", ""},
      {"not 256", "a.bin", Bytes(0x3FF01, 0), 5, 0, check,
       "ERROR: File size is not a multiple of 256 bytes.\n"},
      {"too large", "a.bin", Bytes(0x40100, 0), 5, 0, check,
       "ERROR: Invalid file size: > 262144 bytes.\n"},
      {"bad sum", "a.bin", OldImage(0x1000, "ABCD", "105", false), 9, 0, check + testing::kDone,
       "ERROR: Invalid file checksum."},
      {"other type", "a.bin", OldImage(0x1000, "ABCE", "105"), 13, 0, check + testing::kDone,
       "ERROR: FPGA type mismatch.\n"},
      {"name", "ABCD0107.bin", noTrailer, 0, 107,
       check + "The file does not contain a valid FPGA info!\n"
               "FPGA type and version are taken from the file name.\n"
               "File type: ABCD\nFile version: 1.07\n",
       ""},
      {"name without extension", "ABCD0107", noTrailer, 0, 107,
       check + "The file does not contain a valid FPGA info!\n"
               "FPGA type and version are taken from the file name.\n"
               "File type: ABCD\nFile version: 1.07\n",
       ""},
      {"directory in front", "d/ABCD0107.bin", noTrailer, 13, 0,
       check + "The file does not contain a valid FPGA info!\n", "ERROR: FPGA type mismatch.\n"},
      {"digit in type", "ABC10107.bin", noTrailer, 13, 0,
       check + "The file does not contain a valid FPGA info!\n", "ERROR: FPGA type mismatch.\n"},
  };
  std::filesystem::create_directory(Path("d"));
  for (const auto& c : cases) {
    const std::string path = Path(c.name);
    testing::WriteBytes(path, c.content);
    uint32_t version = 0;
    // The name as given counts; run from the test directory.
    const std::string relative = c.name;
    const CapturedOutput output = testing::CaptureOutput([&] {
      const auto here = std::filesystem::current_path();
      std::filesystem::current_path(Path(""));
      const int result = CheckFpgaInfoFile(relative.c_str(), 0x40000, "ABCD", &version);
      std::filesystem::current_path(here);
      return result;
    });
    EXPECT_EQ(output.result, c.result) << c.label;
    EXPECT_EQ(output.out, c.out) << c.label;
    EXPECT_EQ(output.err, c.err) << c.label;
    if (c.result == 0) {
      EXPECT_EQ(version, c.version) << c.label;
    }
  }
  // Just below the limit, and the limit itself.
  for (const size_t size : {size_t(0x3FF00), size_t(0x40000)}) {
    testing::WriteBytes(Path("big.bin"), OldImage(size, "ABCD", "2"));
    uint32_t version = 0;
    const CapturedOutput big = testing::CaptureOutput(
        [&] { return CheckFpgaInfoFile(Path("big.bin").c_str(), 0x40000, "ABCD", &version); });
    EXPECT_EQ(big.result, 0) << size << big.err;
    EXPECT_EQ(version, 2u) << size;
  }
}

}  // namespace
}  // namespace drux
