// The complete controller flash: its size and the reads of its first and last block, a save of
// the whole small flash, the update's file check and question, and the PCs without it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/status_text.h"
#include "tests/unit/memory_area_test_support.h"

namespace drux::testing {
namespace {

class FlashData : public MemoryAreaTest {};

TEST_F(FlashData, InfoReadsTheFirstAndTheLastBlock) {
  struct Case {
    const char* pcType;
    uint32_t size;
    uint8_t lastCode;  // block index of the last block above bit 13 raises the code
    uint16_t lastAddress;
    uint16_t blockSize;
  };
  const Case cases[] = {{"EX41", kSmallFlashSize, 0xAF, 0x3FFF, 16},
                        {"VP52", kSmallFlashSize, 0xAF, 0x3FFF, 16},
                        {"EX64", kLargeFlashSize, 0xE3, 0x3FFF, 256},
                        {"VP20", kLargeFlashSize, 0xE3, 0x3FFF, 256}};
  for (const Case& c : cases) {
    StartPc(c.pcType);
    CapturedOutput output = CaptureOutput([&] { return ShowFlashData(); });
    EXPECT_EQ(output.result, 0) << c.pcType;
    EXPECT_EQ(output.out, "\n-- Flash data --\n\nCheck Flash data ...\nData has " +
                              Decimal(c.size) + " bytes\n")
        << c.pcType;
    EXPECT_EQ(output.err, "") << c.pcType;
    std::vector<sim::LogEntry> log = Log();
    ASSERT_EQ(log.size(), 2u) << c.pcType;
    EXPECT_EQ(log[0].code, c.lastCode & 0xF0) << c.pcType;
    EXPECT_EQ(log[0].address, 0) << c.pcType;
    EXPECT_EQ(log[1].code, c.lastCode) << c.pcType;
    EXPECT_EQ(log[1].address, c.lastAddress) << c.pcType;
    for (const sim::LogEntry& entry : log) {
      EXPECT_TRUE(entry.read) << c.pcType;
      EXPECT_EQ(entry.size, c.blockSize) << c.pcType;
    }
  }
}

TEST_F(FlashData, InfoReportsAControllerFailure) {
  AddFault("error 0xe3 0x85");  // the last block only
  CapturedOutput output = CaptureOutput([&] { return ShowFlashData(); });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.out, "\n-- Flash data --\n\nCheck Flash data ...\nData has 16777216 bytes\n");
  EXPECT_EQ(output.err,
            "ERROR: Can't read data: " + std::string(StatusText(kStatusFailed, 0x85)) + "\n");
}

TEST_F(FlashData, SaveCopiesTheWholeSmallFlash) {
  StartPc("VP41");
  SetFlash(0, Pattern(4096, 1, 7));
  SetFlash(kSmallFlashSize - 4096, Pattern(4096, 9, 3));
  const std::string file = Path("flash.bin");
  CapturedOutput output =
      CaptureOutput([&] { return SaveFlashData(kFullFeatureSet, file.c_str(), 1, 0); });
  EXPECT_EQ(output.result, 0) << output.err;
  EXPECT_EQ(output.out.rfind("Save Flash data ...\nWrite data file: " + file +
                                 "\nCheck Flash data ...\nData has 4194304 bytes\n"
                                 "Read 4194304 bytes from device:   0%\b\b\b\b  5%",
                             0),
            0u)
      << output.out.substr(0, 300);
  EXPECT_EQ(ReadBytes(file), Flash(0, kSmallFlashSize));
  // Two checks, then save and verify in 16-byte blocks; the log keeps the newest commands.
  EXPECT_EQ(sim::LogTotal(), 2u + 2u * kSmallFlashSize / 16);
  EXPECT_EQ(LoggedBytes(true), sim::kLogKeptEntries * 16);
}

TEST_F(FlashData, SaveOverAnExistingFileAsks) {
  const std::string file = Path("flash.bin");
  WriteText(file, "keep");
  Feed("n\n");
  CapturedOutput output =
      CaptureOutput([&] { return SaveFlashData(kFullFeatureSet, file.c_str(), 1, 0); });
  EXPECT_EQ(output.result, 5);
  EXPECT_EQ(output.out, "Save Flash data ...\nWrite data file: " + file +
                            "\nFile exists already - overwrite (y/n): ");
  EXPECT_EQ(ReadBytes(file), Bytes({'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(Log().empty());
}

TEST_F(FlashData, UpdateChecksTheFileAndAsks) {
  struct Case {
    const char* pcType;
    uint32_t size;
    std::string answer;
    uint8_t yes;
    int result;
    bool asked;
  };
  const Case cases[] = {
      {"EX41", kSmallFlashSize + 1, "y\n", 0, 5, false},
      {"EX64", kLargeFlashSize + 1, "y\n", 0, 5, false},
      {"EX64", 1000, "n\n", 0, 7, true},
      {"EX64", 1000, "", 1, 0, false},
      {"EX52", 5000, "Y\n", 0, 0, true},
      {"EX64", 0, "y\n", 0, 0, true},
  };
  for (const Case& c : cases) {
    std::string label = std::string(c.pcType) + " " + Decimal(c.size);
    StartPc(c.pcType);
    const uint32_t flashSize = std::string(c.pcType) == "EX64" ? kLargeFlashSize : kSmallFlashSize;
    const std::string file = Path("flash.bin");
    const Bytes data = Pattern(c.size, 0x44, 5);
    WriteBytes(file, data);
    Feed(c.answer);
    CapturedOutput output =
        CaptureOutput([&] { return UpdateFlashData(kFullFeatureSet, file.c_str(), 1, c.yes); });
    EXPECT_EQ(output.result, c.result) << label << output.err;
    std::string checked = "Update Flash data ...\nRead data file: " + file +
                          "\nCheck Flash data file ...\nFile has " + Decimal(c.size) + " bytes\n";
    if (c.asked) {
      checked += "Overwrite complete flash (y/n): ";
    }
    EXPECT_EQ(output.out.rfind(checked, 0), 0u) << label << output.out.substr(0, 300);
    if (c.result == 5) {
      EXPECT_EQ(output.out, checked) << label;
      EXPECT_EQ(output.err, "ERROR: Invalid file size: greater " + Decimal(flashSize) + " bytes\n")
          << label;
    }
    if (c.result != 0) {
      EXPECT_EQ(LoggedBytes(false), 0u) << label;
      continue;
    }
    EXPECT_EQ(output.err, "") << label;
    EXPECT_EQ(Flash(0, c.size), data) << label;
    // An empty file writes nothing; any other is padded to whole 256-byte pages.
    EXPECT_EQ(LoggedBytes(false), (c.size + 255) / 256 * 256) << label;
  }
}

TEST_F(FlashData, PcWithoutTheFlashTypes) {
  const std::string notSupported = "ERROR: The data type is not supported on this PC.\n";
  StartPc("12");
  const std::string file = Path("flash.bin");
  WriteBytes(file, Pattern(10, 1));
  CapturedOutput info = CaptureOutput([&] { return ShowFlashData(); });
  EXPECT_EQ(info.out, "\n-- Flash data --\n\nCheck Flash data ...\n");
  CapturedOutput save =
      CaptureOutput([&] { return SaveFlashData(kFullFeatureSet, Path("out.bin").c_str(), 1, 0); });
  CapturedOutput update =
      CaptureOutput([&] { return UpdateFlashData(kFullFeatureSet, file.c_str(), 1, 1); });
  EXPECT_EQ(update.out,
            "Update Flash data ...\nRead data file: " + file + "\nCheck Flash data file ...\n");
  for (const CapturedOutput* output : {&info, &save, &update}) {
    EXPECT_EQ(output->result, 15);
    EXPECT_EQ(output->err, notSupported);
  }
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(Exists(Path("out.bin")));
}

}  // namespace
}  // namespace drux::testing
