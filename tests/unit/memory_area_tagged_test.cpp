// The tagged flash areas (2nd and 3rd system data, user data) on both flash sizes: found and
// not found, stored sizes, save and update with their blocks and limits, the marking after a
// failed update, deletion, and PCs without them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/status_text.h"
#include "tests/unit/memory_area_test_support.h"

namespace drux::testing {
namespace {

struct FlashCase {
  const char* pcType;
  bool large;
};
const FlashCase kFlashes[] = {{"EX41", false}, {"VP41", false}, {"EX52", false}, {"VP52", false},
                              {"EX64", true},  {"VP64", true},  {"EX53", true},  {"VP53", true},
                              {"EM64", true},  {"VP47", true},  {"VP20", true}};

uint32_t Base(const TaggedAreaCase& area, bool large) {
  return large ? area.largeBase : area.smallBase;
}

// The command and address field that carry a flash address.
struct BlockAddress {
  uint8_t code;
  uint16_t address;
};
BlockAddress FlashBlock(uint32_t offset, bool large) {
  const uint32_t index = offset / (large ? 256 : 16);
  return {uint8_t((large ? 0xE0 : 0xA0) + (index >> 14)), uint16_t(index & 0x3FFF)};
}

class TaggedAreas : public MemoryAreaTest {};

TEST_F(TaggedAreas, InfoReadsTheInformationBlockAtTheBaseOfEachFlash) {
  for (const FlashCase& flash : kFlashes) {
    for (const TaggedAreaCase& area : kTaggedAreas) {
      std::string label = std::string(flash.pcType) + " " + area.keyword;
      StartPc(flash.pcType);
      SetFlash(Base(area, flash.large), InfoBlock(area.tag, 1234));
      CapturedOutput output = CaptureOutput([&] { return ShowArea(area); });
      EXPECT_EQ(output.result, 0) << label;
      EXPECT_EQ(output.out,
                "\n-- " + area.title + " --\n\nCheck " + area.name + " ...\nData has 1234 bytes\n")
          << label;
      EXPECT_EQ(output.err, "") << label;
      // One 256-byte block, or sixteen 16-byte blocks from the base on.
      std::vector<sim::LogEntry> log = Log();
      ASSERT_EQ(log.size(), flash.large ? 1u : 16u) << label;
      BlockAddress first = FlashBlock(Base(area, flash.large), flash.large);
      EXPECT_EQ(log[0].code, first.code) << label;
      EXPECT_EQ(log[0].address, first.address) << label;
      EXPECT_TRUE(log[0].read) << label;
    }
  }
}

TEST_F(TaggedAreas, InfoJudgesTagAndStoredLength) {
  struct Case {
    std::string label;
    bool tagged;
    bool lowerCaseTag;
    uint32_t length;  // relative to the maximum below when `relative`
    int relative;     // 0: absolute length; else maximum + relative - 1
    int result;
  };
  const Case cases[] = {
      {"erased", false, false, 0, 0, 12},          {"other case", true, true, 100, 0, 12},
      {"length 0", true, false, 0, 0, 9},          {"one byte", true, false, 1, 0, 0},
      {"maximum", true, false, 0, 1, 0},           {"maximum + 1", true, false, 0, 2, 9},
      {"all ones", true, false, 0xFFFFFFFF, 0, 9},
  };
  for (const TaggedAreaCase& area : kTaggedAreas) {
    for (const Case& c : cases) {
      std::string label = std::string(area.keyword) + " " + c.label;
      StartPc("EX64");
      const uint32_t length = c.relative == 0 ? c.length : area.maxLength + c.relative - 1;
      std::string tag = area.tag;
      if (c.lowerCaseTag) {
        for (char& letter : tag) {
          letter = char(std::tolower(letter));
        }
      }
      if (c.tagged) {
        SetFlash(area.largeBase, InfoBlock(tag, length));
      }
      CapturedOutput output = CaptureOutput([&] { return ShowArea(area); });
      std::string expected = "\n-- " + area.title + " --\n\nCheck " + area.name + " ...\n";
      std::string error;
      if (c.result == 12) {
        expected += "No data available.\n";
      } else {
        expected += "Data has " + Decimal(length) + " bytes\n";
      }
      if (c.result == 9) {
        error = "ERROR: Invalid data size (0 or greater " + Decimal(area.maxLength) + " bytes).\n";
      }
      EXPECT_EQ(output.result, c.result) << label;
      EXPECT_EQ(output.out, expected) << label;
      EXPECT_EQ(output.err, error) << label;
    }
  }
}

TEST_F(TaggedAreas, InfoReportsAControllerFailure) {
  AddFault("error 0xe2 0x85");
  CapturedOutput output = CaptureOutput([&] { return ShowUserData(); });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.out, "\n-- User data --\n\nCheck user data ...\n");
  EXPECT_EQ(output.err,
            "ERROR: Can't read data: " + std::string(StatusText(kStatusFailed, 0x85)) + "\n");
}

// Save reads the stored length from base + 256 in the flash's own blocks; the file gets exactly
// the stored bytes.
TEST_F(TaggedAreas, SaveCopiesTheStoredDataOnBothFlashSizes) {
  for (const FlashCase& flash : {kFlashes[0], kFlashes[4]}) {
    for (const TaggedAreaCase& area : kTaggedAreas) {
      std::string label = std::string(flash.pcType) + " " + area.keyword;
      StartPc(flash.pcType);
      const uint32_t base = Base(area, flash.large);
      const Bytes data = Pattern(1000, uint8_t(area.systemNumber * 40 + 3), 7);
      SetFlash(base, InfoBlock(area.tag, 1000));
      SetFlash(base + 256, data);
      const std::string file = Path(std::string(flash.pcType) + area.keyword + ".bin");
      CapturedOutput output =
          CaptureOutput([&] { return SaveArea(kFullFeatureSet, area, file.c_str(), 0, 0); });
      EXPECT_EQ(output.result, 0) << label << output.err;
      EXPECT_EQ(output.out, "Save " + area.name + " ...\nWrite data file: " + file + "\nCheck " +
                                area.name +
                                " ...\nData has 1000 bytes\nRead 1000 bytes from device: " + kDone)
          << label;
      EXPECT_EQ(ReadBytes(file), data) << label;
      // The information block, then the data rounded up to whole blocks.
      EXPECT_EQ(LoggedBytes(true), 256u + (flash.large ? 1024u : 1008u)) << label;
      std::vector<sim::LogEntry> log = Log();
      BlockAddress first = FlashBlock(base + 256, flash.large);
      const size_t infoCommands = flash.large ? 1 : 16;
      ASSERT_GT(log.size(), infoCommands) << label;
      EXPECT_EQ(log[infoCommands].code, first.code) << label;
      EXPECT_EQ(log[infoCommands].address, first.address) << label;
    }
  }
}

TEST_F(TaggedAreas, SaveWithoutDataWritesNoFile) {
  const std::string file = Path("user.bin");
  CapturedOutput output =
      CaptureOutput([&] { return SaveUserData(kServiceFeatureSet, file.c_str(), 1, 0); });
  EXPECT_EQ(output.result, 12);
  EXPECT_EQ(output.out, "Save user data ...\nWrite data file: " + file +
                            "\nCheck user data ...\nNo data available.\n");
  EXPECT_TRUE(Files().empty());
}

TEST_F(TaggedAreas, SaveWithoutAFileName) {
  SetFlash(kTaggedAreas[2].largeBase, InfoBlock("USER", 10));
  CapturedOutput service =
      CaptureOutput([&] { return SaveUserData(kServiceFeatureSet, nullptr, 1, 0); });
  EXPECT_EQ(service.result, 5);
  EXPECT_EQ(service.out,
            "Save user data ...\nERROR: Can't determine data file name automatically.\n");
  Feed("\n");
  CapturedOutput full = CaptureOutput([&] { return SaveUserData(kFullFeatureSet, nullptr, 1, 0); });
  EXPECT_EQ(full.result, 5);
  EXPECT_EQ(full.out, "Save user data ...\nEnter a data filename or nothing to exit: ");
  EXPECT_TRUE(Log().empty()) << "nothing is read without a file";
}

TEST_F(TaggedAreas, UpdateWritesInformationBlockAndDataOnBothFlashSizes) {
  for (const FlashCase& flash : {kFlashes[3], kFlashes[6]}) {
    for (const TaggedAreaCase& area : kTaggedAreas) {
      std::string label = std::string(flash.pcType) + " " + area.keyword;
      StartPc(flash.pcType);
      const uint32_t base = Base(area, flash.large);
      const Bytes data = Pattern(300, uint8_t(area.systemNumber + 9), 3);
      const std::string file = Path("in.bin");
      WriteBytes(file, data);
      CapturedOutput output =
          CaptureOutput([&] { return UpdateArea(kFullFeatureSet, area, file.c_str(), 1); });
      EXPECT_EQ(output.result, 0) << label << output.err;
      EXPECT_EQ(output.out, "Update " + area.name + " ...\nRead data file: " + file + "\nCheck " +
                                area.name + " file ...\nFile has 300 bytes\n" +
                                "Write 300 bytes to device: " + kDone +
                                "Verify 300 bytes with device: " + kDone)
          << label;
      EXPECT_EQ(output.err, "") << label;
      EXPECT_EQ(Flash(base, 256), InfoBlock(area.tag, 300)) << label;
      EXPECT_EQ(Flash(base + 256, 300), data) << label;
      // The information block is written first (erased) and last (tag and length).
      std::vector<sim::LogEntry> log = Log();
      ASSERT_FALSE(log.empty()) << label;
      BlockAddress info = FlashBlock(base, flash.large);
      EXPECT_FALSE(log[0].read);
      EXPECT_EQ(log[0].code, info.code) << label;
      EXPECT_EQ(log[0].address, info.address) << label;
      EXPECT_FALSE(log.back().read);
      EXPECT_EQ(log.back().address, info.address + (flash.large ? 0 : 15)) << label;

      sim::ClearLog();
      CapturedOutput shown = CaptureOutput([&] { return ShowArea(area); });
      EXPECT_EQ(shown.result, 0) << label;
      EXPECT_NE(shown.out.find("Data has 300 bytes\n"), std::string::npos) << label;
    }
  }
}

TEST_F(TaggedAreas, UpdateRefusesEmptyAndOversizedFiles) {
  for (const TaggedAreaCase& area : kTaggedAreas) {
    for (uint32_t size : {0u, area.maxLength + 1, area.maxLength}) {
      std::string label = std::string(area.keyword) + " " + Decimal(size);
      StartPc("VP41");
      const std::string file = Path("in.bin");
      WriteBytes(file, Bytes(size, 0x5A));
      CapturedOutput output =
          CaptureOutput([&] { return UpdateArea(kFullFeatureSet, area, file.c_str(), 0); });
      std::string checked = "Update " + area.name + " ...\nRead data file: " + file + "\nCheck " +
                            area.name + " file ...\nFile has " + Decimal(size) + " bytes\n";
      if (size == area.maxLength) {
        EXPECT_EQ(output.result, 0) << label << output.err;
        EXPECT_EQ(Flash(area.smallBase, 256), InfoBlock(area.tag, size)) << label;
        EXPECT_EQ(Flash(area.smallBase + 256 + size - 1, 1), Bytes{0x5A}) << label;
        continue;
      }
      EXPECT_EQ(output.result, 5) << label;
      EXPECT_EQ(output.out, checked) << label;
      EXPECT_EQ(output.err,
                "ERROR: Invalid file size (0 or greater " + Decimal(area.maxLength) + " bytes).\n")
          << label;
      EXPECT_TRUE(Log().empty()) << label;
    }
  }
}

TEST_F(TaggedAreas, UpdateOfAMissingFile) {
  const std::string file = Path("missing.bin");
  CapturedOutput output =
      CaptureOutput([&] { return UpdateUserData(kServiceFeatureSet, file.c_str(), 1); });
  EXPECT_EQ(output.result, 5);
  EXPECT_EQ(output.out, "Update user data ...\nRead data file: " + file + "\n");
  EXPECT_EQ(output.err.rfind("ERROR: Can't open file: ", 0), 0u) << output.err;
  EXPECT_TRUE(Log().empty());
}

// A failed transfer leaves the area marked as empty; the data written so far stays.
TEST_F(TaggedAreas, FailedUpdateLeavesTheAreaEmpty) {
  const TaggedAreaCase& user = kTaggedAreas[2];
  SetFlash(user.largeBase, InfoBlock("USER", 20));
  const Bytes data = Pattern(600, 1);
  const std::string file = Path("in.bin");
  WriteBytes(file, data);
  AddFault("error 0xe2 0x85 read");  // the verify fails
  CapturedOutput output =
      CaptureOutput([&] { return UpdateUserData(kServiceFeatureSet, file.c_str(), 1); });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.err,
            "ERROR: Can't read data: " + std::string(StatusText(kStatusFailed, 0x85)) + "\n");
  EXPECT_EQ(Flash(user.largeBase, 256), Bytes(256, 0xFF));
  EXPECT_EQ(Flash(user.largeBase + 256, 600), data);

  sim::ClearFaults();
  CapturedOutput shown = CaptureOutput([&] { return ShowUserData(); });
  EXPECT_EQ(shown.result, 12);
}

TEST_F(TaggedAreas, UpdateStopsWhenTheInformationBlockCannotBeWritten) {
  const std::string file = Path("in.bin");
  WriteBytes(file, Pattern(100, 1));
  AddFault("error 0xe2 0x83 write");
  CapturedOutput output =
      CaptureOutput([&] { return UpdateUserData(kServiceFeatureSet, file.c_str(), 1); });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.err,
            "ERROR: Can't write data: " + std::string(StatusText(kStatusFailed, 0x83)) + "\n");
  EXPECT_EQ(output.out.find("Write 100 bytes"), std::string::npos) << output.out;
  EXPECT_EQ(Log().size(), 1u);
}

// Only the information block is erased; the data stays in place.
TEST_F(TaggedAreas, DeleteErasesTheInformationBlockOnly) {
  for (const TaggedAreaCase& area : kTaggedAreas) {
    for (const FlashCase& flash : {kFlashes[1], kFlashes[9]}) {
      std::string label = std::string(flash.pcType) + " " + area.keyword;
      StartPc(flash.pcType);
      const uint32_t base = Base(area, flash.large);
      const Bytes data = Pattern(64, 7);
      SetFlash(base, InfoBlock(area.tag, 64));
      SetFlash(base + 256, data);
      Feed("n\n");
      CapturedOutput refused = CaptureOutput([&] { return DeleteArea(area, 0); });
      EXPECT_EQ(refused.result, 7) << label;
      EXPECT_EQ(refused.out, "Delete " + area.name + " ...\nDo you really want to delete (y/n): ")
          << label;
      EXPECT_TRUE(Log().empty()) << label;

      Feed(" yes\n");
      CapturedOutput deleted = CaptureOutput([&] { return DeleteArea(area, 0); });
      EXPECT_EQ(deleted.result, 0) << label;
      EXPECT_EQ(deleted.err, "") << label;
      EXPECT_EQ(Flash(base, 256), Bytes(256, 0xFF)) << label;
      EXPECT_EQ(Flash(base + 256, 64), data) << label;
      EXPECT_EQ(LoggedBytes(false), 256u) << label;

      CapturedOutput shown = CaptureOutput([&] { return ShowArea(area); });
      EXPECT_EQ(shown.result, 12) << label;
      EXPECT_EQ(shown.out,
                "\n-- " + area.title + " --\n\nCheck " + area.name + " ...\nNo data available.\n")
          << label;
    }
  }
}

TEST_F(TaggedAreas, DeleteReportsAControllerFailure) {
  AddFault("error 0xe2 0x84 write");
  CapturedOutput output = CaptureOutput([&] { return DeleteUserData(1); });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.out, "Delete user data ...\n");
  EXPECT_EQ(output.err,
            "ERROR: Can't write data: " + std::string(StatusText(kStatusFailed, 0x84)) + "\n");
}

// PC types without these areas, and the VP20 that the service set does not know: every action
// ends with 15 and nothing reaches the flash.
TEST_F(TaggedAreas, PcWithoutTheAreas) {
  struct Case {
    const char* pcType;
    const FeatureSet* features;
  };
  const Case cases[] = {
      {"13", &kFullFeatureSet}, {"25", &kFullFeatureSet}, {"VP20", &kServiceFeatureSet}};
  const std::string notSupported = "ERROR: The data type is not supported on this PC.\n";
  for (const Case& c : cases) {
    for (const TaggedAreaCase& area : kTaggedAreas) {
      std::string label = std::string(c.pcType) + " " + area.keyword;
      StartPc(c.pcType, *c.features);
      const std::string file = Path("in.bin");
      WriteBytes(file, Pattern(10, 1));
      CapturedOutput info = CaptureOutput([&] { return ShowArea(area); });
      EXPECT_EQ(info.out, "\n-- " + area.title + " --\n\nCheck " + area.name + " ...\n") << label;
      CapturedOutput save =
          CaptureOutput([&] { return SaveArea(*c.features, area, Path("out.bin").c_str(), 1, 0); });
      CapturedOutput update =
          CaptureOutput([&] { return UpdateArea(*c.features, area, file.c_str(), 1); });
      EXPECT_EQ(update.out, "Update " + area.name + " ...\nRead data file: " + file + "\nCheck " +
                                area.name + " file ...\n")
          << label;
      CapturedOutput remove = CaptureOutput([&] { return DeleteArea(area, 1); });
      EXPECT_EQ(remove.out, "Delete " + area.name + " ...\n") << label;
      for (const CapturedOutput* output : {&info, &save, &update, &remove}) {
        EXPECT_EQ(output->result, 15) << label;
        EXPECT_EQ(output->err, notSupported) << label;
      }
      EXPECT_TRUE(LogOf(0xA0, 0xE3).empty()) << label;
      EXPECT_FALSE(Exists(Path("out.bin"))) << label;
    }
  }
}

}  // namespace
}  // namespace drux::testing
