// The system data in its own store (command 0x67): the PCs that have it and their limits, the
// information block, save, update with its "no data" marking while the data is written,
// deletion, and the PCs without it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/status_text.h"
#include "tests/unit/memory_area_test_support.h"

namespace drux::testing {
namespace {

struct StoreCase {
  const char* pcType;
  uint32_t maximum;
};
const StoreCase kStores[] = {{"VP41", 48}, {"EX41", 496}, {"EX52", 496}, {"VP52", 496}};

class SystemData : public MemoryAreaTest {
 protected:
  void SetUp() override {
    MemoryAreaTest::SetUp();
    StartPc("EX52");
  }
};

const std::string kCheckData = "Check system data ...\n";
const std::string kHeading = "\n-- System data --\n\n" + kCheckData;

TEST_F(SystemData, InfoJudgesTheStoredLengthAgainstThePcsMaximum) {
  for (const StoreCase& store : kStores) {
    struct Case {
      uint32_t length;
      int result;
    };
    const Case cases[] = {
        {0xFFFFFFFF, 12}, {0, 9}, {1, 0}, {store.maximum, 0}, {store.maximum + 1, 9}};
    for (const Case& c : cases) {
      std::string label = std::string(store.pcType) + " " + Decimal(c.length);
      StartPc(store.pcType);
      SetStore(0, StoreInfo(c.length));
      CapturedOutput output = CaptureOutput([&] { return ShowSystemData(1); });
      EXPECT_EQ(output.result, c.result) << label;
      if (c.result == 12) {
        EXPECT_EQ(output.out, kHeading + "No data available.\n") << label;
      } else {
        EXPECT_EQ(output.out, kHeading + "Data has " + Decimal(c.length) + " bytes\n") << label;
      }
      EXPECT_EQ(output.err, c.result == 9 ? "ERROR: Invalid data size (0 or greater " +
                                                Decimal(store.maximum) + " bytes).\n"
                                          : "")
          << label;
      // One 16-byte read of block 0.
      std::vector<sim::LogEntry> log = Log();
      ASSERT_EQ(log.size(), 1u) << label;
      EXPECT_EQ(log[0].code, 0x67) << label;
      EXPECT_EQ(log[0].address, 0) << label;
      EXPECT_EQ(log[0].size, 16) << label;
      EXPECT_TRUE(log[0].read) << label;
    }
  }
}

TEST_F(SystemData, ErasedStoreHasNoData) {
  CapturedOutput output = CaptureOutput([&] { return ShowSystemData(1); });
  EXPECT_EQ(output.result, 12);
  EXPECT_EQ(output.out, kHeading + "No data available.\n");
}

TEST_F(SystemData, SaveReadsFromByte16) {
  const Bytes data = Pattern(100, 0x31, 5);
  SetStore(0, StoreInfo(100));
  SetStore(16, data);
  const std::string file = Path("sys.bin");
  CapturedOutput output =
      CaptureOutput([&] { return SaveSystemData(kFullFeatureSet, 1, file.c_str(), 1, 0); });
  EXPECT_EQ(output.result, 0) << output.err;
  EXPECT_EQ(output.out, "Save system data ...\nWrite data file: " + file + "\n" + kCheckData +
                            "Data has 100 bytes\nRead 100 bytes from device: " + kDone +
                            "Verify 100 bytes with device: " + kDone);
  EXPECT_EQ(ReadBytes(file), data);
  // Block 1 onwards, 112 bytes each way (rounded up to whole blocks).
  std::vector<sim::LogEntry> log = LogOf(0x67, 0x67);
  ASSERT_EQ(log.size(), 1u + 7u + 7u);
  EXPECT_EQ(log[1].address, 1);
  EXPECT_EQ(log[7].address, 7);
}

TEST_F(SystemData, UpdateMarksTheStoreEmptyWhileItWrites) {
  const Bytes data = Pattern(40, 0x80, 3);
  const std::string file = Path("sys.bin");
  WriteBytes(file, data);
  StartPc("VP41");
  CapturedOutput output =
      CaptureOutput([&] { return UpdateSystemData(kFullFeatureSet, 1, file.c_str(), 1); });
  EXPECT_EQ(output.result, 0) << output.err;
  EXPECT_EQ(output.out, "Update system data ...\nRead data file: " + file +
                            "\nCheck system data file ...\nFile has 40 bytes\n"
                            "Write 40 bytes to device: " +
                            kDone + "Verify 40 bytes with device: " + kDone);
  EXPECT_EQ(Store(0, 16), StoreInfo(40));
  EXPECT_EQ(Store(16, 40), data);
  // The update pads to whole 16-byte blocks of the store; the 0xFF behind the data end there.
  EXPECT_EQ(Store(56, 8), Bytes(8, 0xFF));
  std::vector<sim::LogEntry> writes;
  for (const sim::LogEntry& entry : LogOf(0x67, 0x67)) {
    if (!entry.read) {
      writes.push_back(entry);
    }
  }
  ASSERT_EQ(writes.size(), 1u + 3u + 1u);
  EXPECT_EQ(writes.front().address, 0);
  EXPECT_EQ(writes[1].address, 1);
  EXPECT_EQ(writes.back().address, 0);
}

TEST_F(SystemData, UpdateFileLimitsFollowThePc) {
  struct Case {
    const char* pcType;
    uint32_t size;
    uint32_t maximum;
    int result;
  };
  const Case cases[] = {{"VP41", 49, 48, 5},   {"VP41", 48, 48, 0},   {"VP41", 0, 48, 5},
                        {"EX41", 497, 496, 5}, {"VP52", 496, 496, 0}, {"EX52", 49, 496, 0}};
  for (const Case& c : cases) {
    std::string label = std::string(c.pcType) + " " + Decimal(c.size);
    StartPc(c.pcType);
    const std::string file = Path("sys.bin");
    WriteBytes(file, Pattern(c.size, 2));
    CapturedOutput output =
        CaptureOutput([&] { return UpdateSystemData(kFullFeatureSet, 1, file.c_str(), 0); });
    EXPECT_EQ(output.result, c.result) << label;
    EXPECT_EQ(output.out.rfind("Update system data ...\nRead data file: " + file +
                                   "\nCheck system data file ...\nFile has " + Decimal(c.size) +
                                   " bytes\n",
                               0),
              0u)
        << label;
    if (c.result == 0) {
      EXPECT_EQ(Store(0, 16), StoreInfo(c.size)) << label;
      continue;
    }
    EXPECT_EQ(output.err,
              "ERROR: Invalid file size (0 or greater " + Decimal(c.maximum) + " bytes).\n")
        << label;
    EXPECT_TRUE(Log().empty()) << label;
  }
}

TEST_F(SystemData, FailedTransferLeavesNoData) {
  SetStore(0, StoreInfo(8));
  const std::string file = Path("sys.bin");
  WriteBytes(file, Pattern(32, 9));
  AddFault("error 0x67 0x85 read");  // the verify fails
  CapturedOutput output =
      CaptureOutput([&] { return UpdateSystemData(kFullFeatureSet, 1, file.c_str(), 1); });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.err,
            "ERROR: Can't read data: " + std::string(StatusText(kStatusFailed, 0x85)) + "\n");
  EXPECT_EQ(Store(0, 16), Bytes(16, 0xFF));
  EXPECT_EQ(Store(16, 32), Pattern(32, 9));
}

TEST_F(SystemData, UpdateStopsWhenTheStoreRefusesTheMarking) {
  SetStore(0, StoreInfo(8));
  const std::string file = Path("sys.bin");
  WriteBytes(file, Pattern(32, 9));
  AddFault("error 0x67 0x83 write");
  CapturedOutput output =
      CaptureOutput([&] { return UpdateSystemData(kFullFeatureSet, 1, file.c_str(), 1); });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.err,
            "ERROR: Can't write data: " + std::string(StatusText(kStatusFailed, 0x83)) + "\n");
  EXPECT_EQ(Log().size(), 1u);
  EXPECT_EQ(Store(0, 16), StoreInfo(8));
}

TEST_F(SystemData, DeleteErasesTheInformationBlock) {
  SetStore(0, StoreInfo(20));
  SetStore(16, Pattern(20, 4));
  Feed("N\n");
  CapturedOutput refused = CaptureOutput([&] { return DeleteSystemData(1, 0); });
  EXPECT_EQ(refused.result, 7);
  EXPECT_EQ(refused.out, "Delete system data ...\nDo you really want to delete (y/n): ");
  EXPECT_TRUE(Log().empty());

  CapturedOutput deleted = CaptureOutput([&] { return DeleteSystemData(1, 1); });
  EXPECT_EQ(deleted.result, 0);
  EXPECT_EQ(deleted.out, "Delete system data ...\n");
  EXPECT_EQ(Store(0, 16), Bytes(16, 0xFF));
  EXPECT_EQ(Store(16, 20), Pattern(20, 4));
  EXPECT_EQ(CaptureOutput([&] { return ShowSystemData(1); }).result, 12);

  AddFault("error 0x67 0x85 write");
  CapturedOutput failed = CaptureOutput([&] { return DeleteSystemData(1, 1); });
  EXPECT_EQ(failed.result, 6);
  EXPECT_EQ(failed.err,
            "ERROR: Can't write data: " + std::string(StatusText(kStatusFailed, 0x85)) + "\n");
}

// The simulated store answers only its own target and device and ends after 1 KiB.
TEST_F(SystemData, SimulatedStoreRefusesOtherAddresses) {
  struct Case {
    uint32_t block;
    uint32_t device;
    uint32_t target;
    int status;
  };
  const Case cases[] = {{0, 0, 0, kStatusOk},
                        {63, 0, 0, kStatusOk},
                        {64, 0, 0, kStatusFailed},
                        {0, 1, 0, kStatusFailed},
                        {0, 0, 1, kStatusFailed}};
  for (const Case& c : cases) {
    uint8_t block[16] = {};
    uint8_t errorByte = 0;
    const int status = ReadCommand(0x67, c.block, c.device, c.target, block, 16, &errorByte);
    EXPECT_EQ(status, c.status) << c.block << " " << c.device << " " << c.target;
    EXPECT_EQ(errorByte, c.status == kStatusOk ? 0 : 0x83) << c.block;
  }
}

// Every other PC type (an EX64 among them) has no system data: every action says so and the
// store is never addressed.
TEST_F(SystemData, PcWithoutSystemData) {
  const std::string notSupported = "ERROR: The data type is not supported on this PC.\n";
  for (const char* pcType : {"EX64", "VP64", "EX53", "VP53", "EM64", "VP47", "VP20", "13"}) {
    StartPc(pcType);
    const std::string file = Path("sys.bin");
    WriteBytes(file, Pattern(10, 1));
    CapturedOutput info = CaptureOutput([&] { return ShowSystemData(1); });
    EXPECT_EQ(info.out, kHeading) << pcType;
    CapturedOutput save = CaptureOutput(
        [&] { return SaveSystemData(kFullFeatureSet, 1, Path("out.bin").c_str(), 1, 0); });
    CapturedOutput update =
        CaptureOutput([&] { return UpdateSystemData(kFullFeatureSet, 1, file.c_str(), 1); });
    EXPECT_EQ(update.out,
              "Update system data ...\nRead data file: " + file + "\nCheck system data file ...\n")
        << pcType;
    CapturedOutput remove = CaptureOutput([&] { return DeleteSystemData(1, 1); });
    EXPECT_EQ(remove.out, "Delete system data ...\n") << pcType;
    for (const CapturedOutput* output : {&info, &save, &update, &remove}) {
      EXPECT_EQ(output->result, 15) << pcType;
      EXPECT_EQ(output->err, notSupported) << pcType;
    }
    EXPECT_TRUE(LogOf(0x67, 0x67).empty()) << pcType;
    EXPECT_FALSE(Exists(Path("out.bin"))) << pcType;
  }
}

}  // namespace
}  // namespace drux::testing
