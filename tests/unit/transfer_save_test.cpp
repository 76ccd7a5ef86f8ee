// Saving a controller memory area into a file: whole blocks from the device, exact sizes in the
// file, the XML header in front, the verify, and that a failed save never costs the user an
// existing file or leaves a partial one.
#include <gtest/gtest.h>

#include <string>

#include "controller/status_text.h"
#include "tests/unit/transfer_test_support.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;
using testing::CaptureOutput;
using testing::kDone;
using testing::kLargeBlockFlash;
using testing::kSmallBlockFlash;

class SaveArea : public testing::TransferTest {
 protected:
  void SetUp() override {
    TransferTest::SetUp();
    target_ = Path("saved.bin");
  }

  CapturedOutput Save(uint32_t command, uint32_t start, uint32_t size, uint8_t verify,
                      const char* header = nullptr) {
    return CaptureOutput([&] {
      return SaveAreaToFile(command, 0, 0, start, target_.c_str(), size, verify, header);
    });
  }

  std::string target_;
};

TEST_F(SaveArea, PartialBlockIsReadWholeAndWrittenExactly) {
  const Bytes flash = testing::Pattern(112, 0x40);
  SetFlash(0x1000, flash);
  const CapturedOutput saved = Save(kSmallBlockFlash, 0x1000, 100, 0);
  EXPECT_EQ(saved.result, 0);
  EXPECT_EQ(saved.err, "");
  EXPECT_EQ(saved.out, "Read 100 bytes from device: " + kDone);
  EXPECT_EQ(testing::ReadBytes(target_), Bytes(flash.begin(), flash.begin() + 100));
  EXPECT_EQ(Files(), std::vector<std::string>{"saved.bin"});

  const auto log = Log();
  ASSERT_EQ(log.size(), 7u);
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_TRUE(log[i].read);
    EXPECT_EQ(log[i].code, kSmallBlockFlash);
    EXPECT_EQ(log[i].address, 0x100 + i);
    EXPECT_EQ(log[i].size, 16);
  }
  EXPECT_EQ(LoggedBytes(true), 112u);
}

TEST_F(SaveArea, HeaderInFrontAndVerifiedData) {
  const Bytes flash = testing::Pattern(3 * kTransferChunkSize + 300, 3, 7);
  SetFlash(0x20000, flash);
  const char* header = "<Firmware Len=\"30980\"/>";
  const CapturedOutput saved = Save(kLargeBlockFlash, 0x20000, uint32_t(flash.size()), 1, header);
  EXPECT_EQ(saved.result, 0);
  EXPECT_EQ(saved.err, "");
  const std::string progress = "  0%\b\b\b\b 33%\b\b\b\b 66%\b\b\b\b 99%\b\b\b\bDone\n";
  EXPECT_EQ(saved.out, "Read 31020 bytes from device: " + progress +
                           "Verify 31020 bytes with device: " + progress);
  EXPECT_EQ(testing::ReadBytes(target_), testing::XmlFile(header, flash));
  // Both passes read the partial last page whole.
  EXPECT_EQ(LoggedBytes(true), 2u * 31232u);
  EXPECT_EQ(Files(), std::vector<std::string>{"saved.bin"});
}

TEST_F(SaveArea, SuccessReplacesAnExistingFile) {
  testing::WriteText(target_, "an older and longer file than the new one");
  SetFlash(0, testing::Pattern(32, 9));
  EXPECT_EQ(Save(kSmallBlockFlash, 0, 32, 1).result, 0);
  EXPECT_EQ(testing::ReadBytes(target_), testing::Pattern(32, 9));
  EXPECT_EQ(Files(), std::vector<std::string>{"saved.bin"});
}

// The second chunk crosses into block index 0x4000, which the command code carries as 0xA1:
// a fault on 0xA1 fails the save after the first chunk has been written to disk.
TEST_F(SaveArea, FailureHalfWayKeepsWhatItWouldReplace) {
  struct Case {
    const char* name;
    sim::Fault fault;
    uint8_t errorByte;
    bool existing;
  };
  const Case cases[] = {
      {"device failure", {sim::FaultKind::ErrorByte, 0xA1, 0x85, 0}, 0x85, false},
      {"device failure, existing file", {sim::FaultKind::ErrorByte, 0xA1, 0x85, 0}, 0x85, true},
      {"busy three times", {sim::FaultKind::Busy, 0xA1, 0, 3}, 0x84, false},
      {"busy three times, existing file", {sim::FaultKind::Busy, 0xA1, 0, 3}, 0x84, true},
  };
  const uint32_t start = 0x40000 - kTransferChunkSize;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(target_);
    const Bytes existing = testing::Pattern(5000, 0x11, 3);
    if (c.existing) {
      testing::WriteBytes(target_, existing);
    }
    sim::ClearFaults();
    sim::ClearLog();
    ASSERT_TRUE(sim::AddFault(c.fault));
    const CapturedOutput saved = Save(kSmallBlockFlash, start, 2 * kTransferChunkSize, 1);
    EXPECT_EQ(saved.result, 6);
    EXPECT_EQ(saved.err,
              std::string("ERROR: Can't read data: ") + StatusText(-3, c.errorByte) + "\n");
    EXPECT_EQ(saved.out, "Read 20480 bytes from device:   0%\b\b\b\b 50%");
    // The first chunk did arrive: 640 blocks through 0xA0 before the failing one.
    ASSERT_GT(sim::LogSize(), 640u);
    EXPECT_EQ(sim::LogAt(639).code, 0xA0);
    EXPECT_EQ(sim::LogAt(640).code, 0xA1);
    if (c.existing) {
      EXPECT_EQ(Files(), std::vector<std::string>{"saved.bin"});
      EXPECT_EQ(testing::ReadBytes(target_), existing);
    } else {
      EXPECT_TRUE(Files().empty());
    }
  }
}

TEST_F(SaveArea, FailureInTheHeaderedFileLeavesNothing) {
  // The header is on disk when the first read fails.
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, int(kSmallBlockFlash), 0x85, 0}));
  const CapturedOutput saved = Save(kSmallBlockFlash, 0, 64, 0, "<Firmware/>");
  EXPECT_EQ(saved.result, 6);
  EXPECT_EQ(saved.err, std::string("ERROR: Can't read data: ") + StatusText(-3, 0x85) + "\n");
  EXPECT_TRUE(Files().empty());
}

TEST_F(SaveArea, MisalignedStartIsRefusedByTheBlockLayer) {
  testing::WriteText(target_, "keep me");
  const CapturedOutput saved = Save(kSmallBlockFlash, 0x18, 16, 0);
  EXPECT_EQ(saved.result, 6);
  EXPECT_EQ(saved.err,
            "ERROR: Invalid address 0x18 (must be multiple of 16).\n"
            "ERROR: Can't read data: invalid parameter\n");
  EXPECT_EQ(sim::LogSize(), 0u);
  EXPECT_EQ(testing::ReadBytes(target_), Bytes({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  EXPECT_EQ(Files(), std::vector<std::string>{"saved.bin"});
}

TEST_F(SaveArea, DirectoryThatDoesNotExist) {
  target_ = Path("no-such-directory/saved.bin");
  const CapturedOutput saved = Save(kSmallBlockFlash, 0, 16, 0);
  EXPECT_EQ(saved.result, 2);
  EXPECT_EQ(saved.err, "ERROR: Can't open file: No such file or directory\n");
  EXPECT_EQ(saved.out, "");
  EXPECT_EQ(sim::LogSize(), 0u);
}

TEST_F(SaveArea, EmptyArea) {
  const CapturedOutput saved = Save(kSmallBlockFlash, 0, 0, 1);
  EXPECT_EQ(saved.result, 0);
  EXPECT_EQ(saved.out, "Read 0 bytes from device:   0%Verify 0 bytes with device:   0%");
  EXPECT_TRUE(testing::ReadBytes(target_).empty());
  EXPECT_EQ(sim::LogSize(), 0u);
}

}  // namespace
}  // namespace drux
