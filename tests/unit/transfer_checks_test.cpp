// The checksums and file checks that image updates rely on, the progress display and the
// mismatch dump.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/unit/transfer_test_support.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;
using testing::CaptureOutput;

TEST(Crc16, KnownValues) {
  const char* text = "123456789";
  const auto* digits = reinterpret_cast<const uint8_t*>(text);
  EXPECT_EQ(Crc16(0xFFFF, digits, 9), 0xAEE7);
  EXPECT_EQ(Crc16(0x1234, digits, 0), 0x1234);
  // In pieces as in one go: the file check walks a file chunk by chunk.
  EXPECT_EQ(Crc16(Crc16(0xFFFF, digits, 4), digits + 4, 5), 0xAEE7);
  // The CRC stored high byte first behind the data gives 0.
  const uint8_t withCrc[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0xAE, 0xE7};
  EXPECT_EQ(Crc16(0xFFFF, withCrc, sizeof withCrc), 0);
}

TEST(Checksum8, SumModulo256) {
  const uint8_t bytes[] = {0x80, 0x80, 0x01, 0xFF};
  EXPECT_EQ(Checksum8(bytes, 0), 0);
  EXPECT_EQ(Checksum8(bytes, 2), 0);
  EXPECT_EQ(Checksum8(bytes, 3), 1);
  EXPECT_EQ(Checksum8(bytes, 4), 0);
}

TEST(ByteSwaps, BigEndianFields) {
  EXPECT_EQ(Swap16(0x1234), 0x3412);
  EXPECT_EQ(Swap32(0x12345678), 0x78563412u);
}

class FileChecks : public testing::TransferTest {
 protected:
  // Runs a check on the file with the given content and claimed size.
  CapturedOutput Run(int (*check)(platform::File*, long), const Bytes& content, long size) {
    const std::string path = Path("check.bin");
    testing::WriteBytes(path, content);
    platform::File* file = platform::OpenFile(path.c_str(), platform::FileMode::ReadBinary);
    EXPECT_NE(file, nullptr);
    // The check starts from the beginning wherever the file stands.
    platform::SeekFile(file, 7, platform::SeekOrigin::Begin);
    const CapturedOutput captured = CaptureOutput([&] { return check(file, size); });
    platform::CloseFile(file);
    return captured;
  }
};

TEST_F(FileChecks, ChecksumAndCrcOverWholeFiles) {
  // Longer than two chunks, so that sums and CRC carry across reads.
  Bytes summed = testing::Pattern(2 * kTransferChunkSize + 100, 3, 7);
  summed.push_back(uint8_t(0x100 - Checksum8(summed.data(), summed.size())));
  Bytes crced = testing::Pattern(2 * kTransferChunkSize + 100, 5, 9);
  const uint16_t crc = Crc16(0xFFFF, crced.data(), crced.size());
  crced.push_back(uint8_t(crc >> 8));
  crced.push_back(uint8_t(crc));
  Bytes summedBad = summed;
  summedBad[kTransferChunkSize + 3] ^= 0x10;
  Bytes crcedBad = crced;
  // A change that keeps the 8-bit sum but not the CRC.
  crcedBad[10] = uint8_t(crcedBad[10] + 1);
  crcedBad[11] = uint8_t(crcedBad[11] - 1);

  struct Case {
    const char* name;
    int (*check)(platform::File*, long);
    const Bytes& content;
    long extra;
    int result;
    const char* error;
  };
  const Case cases[] = {
      {"checksum good", CheckFileChecksum, summed, 0, 0, ""},
      {"checksum bad", CheckFileChecksum, summedBad, 0, 9, "ERROR: Invalid file checksum."},
      {"checksum file short", CheckFileChecksum, summed, 1, 3, "ERROR: Can't read file: "},
      {"CRC good", CheckFileCrc, crced, 0, 0, ""},
      {"CRC bad", CheckFileCrc, crcedBad, 0, 9, "ERROR: Invalid file CRC."},
      {"CRC file short", CheckFileCrc, crced, 1, 3, "ERROR: Can't read file: "},
  };
  ASSERT_EQ(Checksum8(crcedBad.data(), crcedBad.size()), Checksum8(crced.data(), crced.size()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const long size = long(c.content.size()) + c.extra;
    const CapturedOutput checked = Run(c.check, c.content, size);
    EXPECT_EQ(checked.result, c.result);
    if (c.result == 3) {
      EXPECT_EQ(checked.err.rfind(c.error, 0), 0u) << checked.err;
    } else {
      EXPECT_EQ(checked.err, c.error);
      EXPECT_EQ(checked.out, "  0%\b\b\b\b 49%\b\b\b\b 99%\b\b\b\bDone\n");
    }
  }
}

std::string Progress(const std::vector<std::pair<int32_t, int32_t>>& calls) {
  return CaptureOutput([&] {
           for (const auto& [done, total] : calls) {
             ShowProgress(done, total);
           }
           platform::Flush(platform::Stream::Out);
           return 0;
         })
      .out;
}

std::string Step(int percent) {
  char text[16];
  std::snprintf(text, sizeof text, "\b\b\b\b%3d%%", percent);
  return text;
}

TEST(ShowProgress, FivePercentSteps) {
  std::vector<std::pair<int32_t, int32_t>> calls;
  std::string expected = "  0%";
  for (int32_t done = 0; done <= 100; ++done) {
    calls.emplace_back(done, 100);
    if (done > 0 && done < 100 && done % 5 == 0) {
      expected += Step(done);
    }
  }
  expected += "\b\b\b\bDone\n";
  EXPECT_EQ(Progress(calls), expected);
}

TEST(ShowProgress, EdgeCases) {
  struct Case {
    const char* name;
    std::vector<std::pair<int32_t, int32_t>> calls;
    std::string expected;
  };
  const int32_t big = INT32_MAX;
  const Case cases[] = {
      {"total 0", {{0, 0}}, "  0%"},
      {"small steps add up", {{0, 100}, {3, 100}, {4, 100}, {9, 100}, {12, 100}}, "  0%" + Step(9)},
      {"new transfer starts at 0",
       {{0, 100}, {50, 100}, {0, 100}, {4, 100}, {5, 100}},
       "  0%" + Step(50) + "  0%" + Step(5)},
      {"beyond the total", {{0, 300}, {512, 300}}, "  0%\b\b\b\bDone\n"},
      {"totals near 2^31",
       {{0, big}, {big / 4, big}, {big / 2, big}, {big - 1, big}, {big, big}},
       "  0%" + Step(24) + Step(49) + Step(99) + "\b\b\b\bDone\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Progress(c.calls), c.expected);
  }
}

TEST(CompareDump, PartialRowAtTheEndOfAChunk) {
  Bytes device = testing::Pattern(0x40, 0x10);
  const Bytes file = device;
  device[0x32] = 0x0A;
  const CapturedOutput dumped = CaptureOutput([&] {
    CompareDump(device.data(), file.data(), 0x32, 0x35);
    return 0;
  });
  // Five bytes left in the row, the wrong one in column 2.
  EXPECT_EQ(dumped.out,
            "Data on device: 40 41 0a 43 44 = @A.CD\n"
            "1. wrong byte :" +
                std::string(6, ' ') + " | " + std::string(6, ' ') + "   " + std::string(2, ' ') +
                "|\n"
                "Data in file  : 40 41 42 43 44 = @ABCD\n");
}

}  // namespace
}  // namespace drux
