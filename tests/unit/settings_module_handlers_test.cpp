// The module factory-settings handlers against the simulated controller: Info, the Change with
// its parent-ID correction, Delete, Update with and without the module's original values, and
// the limits that keep data-given lengths inside the work buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "controller/byte_fields.h"
#include "controller/module_catalogue.h"
#include "platform/platform.h"
#include "settings/factory_record.h"
#include "settings/module_factory_settings.h"
#include "tests/support/console_feed.h"
#include "tests/support/file_contents.h"
#include "tests/unit/settings_test_support.h"
#include "tests/unit/transfer_unseekable_file.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

using testing::CaptureOutput;
using testing::DeviceBytes;
using testing::PutDeviceBytes;
using testing::RecordBytes;
using testing::SampleFields;
using testing::SettingsWrites;
using testing::StartPc;

constexpr int32_t kPc = -1;
constexpr const char* kPowerCycleNotice =
    "*** The PC must be powered off/on to take over the changes!***\n"
    "    (if option -r is specified, the device is rebooted)\n";

uint32_t FactField32(const std::vector<uint8_t>& record, size_t factOffset, size_t field) {
  return LoadLittleEndian32(record.data() + factOffset + field);
}

class ModuleSettingsHandlers : public ::testing::Test {
 protected:
  void TearDown() override {
    sim::ClearFaults();
    Answer("");
  }

  // The console answers of the next questions.
  void Answer(const std::string& text) { console_.Feed(text); }

  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = console_.directory() + "/" + name;
    test::WriteFileBytes(path, bytes);
    return path;
  }

  drux::test::ConsoleFeed console_;
};

TEST_F(ModuleSettingsHandlers, InfoWithoutRecordOrArea) {
  struct Case {
    std::vector<const char*> settings;
    int32_t panel;
    int32_t module;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"pc=VP41"},
       kPc,
       3,
       "\n-- Factory settings of module 3 (monitor/panel option) --\n\nSkipped...\n"},
      {{"pc=EX64"},
       kPc,
       2,
       "\n-- Factory settings of module 2 (bus unit) --\n\n"
       "Factory settings are not supported for this module.\n"},
      {{"panel.0.modules=0"},
       0,
       1,
       "\n-- Factory settings of module 1 (link module) on panel 0 --\n\n"
       "The panel does not support modules.\n"},
      {{"panel.0.version=0x7238"},
       0,
       0,
       "\n-- Factory settings of module 0 (panel) on panel 0 --\n\nCheck factory settings ...\n"
       "INFO: Module-specific factory settings are not supported for this module.\n"},
      {{"panel.0.version=0x1E23"},
       0,
       1,
       "\n-- Factory settings of module 1 (link module) on panel 0 --\n\n"
       "Factory settings are not supported for this module.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    sim::MachineConfig config = sim::DefaultMachineConfig();
    ASSERT_TRUE(test::ApplySettings(config, c.settings));
    StartPc({});
    sim::UpdateConfig(config);
    testing::CapturedOutput printed = CaptureOutput(
        [&] { return ShowModuleFactorySettings(kFullFeatureSet, c.panel, c.module); });
    EXPECT_EQ(printed.result, 0);
    EXPECT_EQ(printed.out, c.out);
    EXPECT_EQ(printed.err, "");
  }
}

TEST_F(ModuleSettingsHandlers, InfoOfAPanelModuleRecordBehindItsDisplayBlock) {
  StartPc({"panel.1.version=0xABCD"});
  sim::FactoryRecordFields fields = SampleFields();
  PutDeviceBytes(2, 0, testing::DisplayBlockBytes(fields), 1);
  PutDeviceBytes(2, 256, RecordBytes(fields), 1);
  testing::CapturedOutput printed =
      CaptureOutput([] { return ShowModuleFactorySettings(kServiceFeatureSet, 1, 2); });
  EXPECT_EQ(printed.result, 0);
  EXPECT_NE(printed.out.find(" Device ID: 0x0000f0bd\n"), std::string::npos) << printed.out;
  EXPECT_EQ(printed.err, "");
}

struct RefusalCase {
  const char* name;
  std::vector<const char*> settings;
  int32_t panel;
  int32_t module;
  std::function<void()> prepare;
  int result;
  std::string err;
};

TEST_F(ModuleSettingsHandlers, ChangeRefusesAndWritesNothing) {
  auto record = [](std::function<void(sim::FactoryRecordFields&)> layout) {
    return [layout] {
      sim::FactoryRecordFields fields = SampleFields();
      layout(fields);
      PutDeviceBytes(0, 0, RecordBytes(fields, 1280));
    };
  };
  const std::vector<RefusalCase> cases = {
      {"erased", {"pc=EX64"}, kPc, 0, [] {}, 12, "ERROR: No factory settings found.\n"},
      {"static length beyond the area",
       {"pc=EX64"},
       kPc,
       0,
       record([](sim::FactoryRecordFields& f) { f.staticLength = 4000; }),
       9,
       "ERROR: Invalid checksum of static data (4000 bytes).\n"},
      {"largest static length",
       {"pc=EX64"},
       kPc,
       0,
       record([](sim::FactoryRecordFields& f) { f.staticLength = 65535; }),
       9,
       "ERROR: Invalid checksum of static data (65535 bytes).\n"},
      // Static data that add up (through a byte of the HEAD header's free space), but a checksum
      // byte that the correction could not renew.
      {"checksum byte beyond the static data",
       {"pc=EX64"},
       kPc,
       0,
       [] {
         sim::FactoryRecordFields fields = SampleFields();
         fields.checksumOffset = 1000;
         std::vector<uint8_t> bytes = RecordBytes(fields, 1280);
         bytes[20] = uint8_t(bytes[20] - testing::ByteSum(bytes, 128));
         PutDeviceBytes(0, 0, bytes);
       },
       9,
       "ERROR: Invalid header.\n"},
      {"bad checksum",
       {"pc=EX64"},
       kPc,
       0,
       record([](sim::FactoryRecordFields& f) { f.badChecksum = true; }),
       9,
       "ERROR: Invalid checksum of static data (128 bytes).\n"},
      {"FACT header not at 32 + 16 k",
       {"pc=EX64"},
       kPc,
       0,
       record([](sim::FactoryRecordFields& f) { f.factOffset = 36; }),
       9,
       "ERROR: FACT header not found.\n"},
      {"display-prefixed module: display block where the record is looked for",
       {"pc=EX64"},
       kPc,
       1,
       [] {
         PutDeviceBytes(1, 0, testing::DisplayBlockBytes(SampleFields()));
         PutDeviceBytes(1, 256, RecordBytes(SampleFields()));
       },
       9,
       "ERROR: Invalid header.\n"},
      {"no area",
       {"pc=EX64"},
       kPc,
       2,
       [] {},
       15,
       "ERROR: Factory settings are not supported for this module.\n"},
      {"display block only",
       {"panel.0.version=0x7238"},
       0,
       0,
       [] {},
       15,
       "ERROR: Change of factory settings is not supported for this module.\n"},
      {"panel without module functions",
       {"panel.0.modules=0"},
       0,
       1,
       [] {},
       15,
       "ERROR: The panel does not support modules.\n"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    StartPc({});
    ASSERT_TRUE(testing::ChangeRunningPc(c.settings));
    c.prepare();
    testing::CapturedOutput printed = CaptureOutput(
        [&] { return ChangeModuleFactorySettings(kFullFeatureSet, c.panel, c.module, nullptr); });
    EXPECT_EQ(printed.result, c.result);
    EXPECT_EQ(printed.err, c.err);
    EXPECT_EQ(SettingsWrites(), 0u);
  }
}

TEST_F(ModuleSettingsHandlers, ChangeFailsOnAControllerError) {
  StartPc({"pc=EX64"});
  PutDeviceBytes(0, 0, RecordBytes(SampleFields()));
  sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x63, 0x85, 0, sim::FaultDirection::Write});
  testing::CapturedOutput printed =
      CaptureOutput([] { return ChangeModuleFactorySettings(kFullFeatureSet, kPc, 0, nullptr); });
  EXPECT_EQ(printed.result, 6);
  EXPECT_EQ(printed.err,
            "ERROR: Can't write data: device failure (does not exist)\n"
            "WARNING: Retry update before the PC is powered off/on!\n");
}

TEST_F(ModuleSettingsHandlers, DeleteErasesTheRecordBehindADisplayBlockToo) {
  StartPc({"pc=EX64"});
  const sim::FactoryRecordFields fields = SampleFields();
  const std::vector<uint8_t> block = testing::DisplayBlockBytes(fields);
  PutDeviceBytes(1, 0, block);
  PutDeviceBytes(1, 256, RecordBytes(fields));
  testing::CapturedOutput deleted =
      CaptureOutput([] { return DeleteModuleFactorySettings(kServiceFeatureSet, kPc, 1, 1); });
  EXPECT_EQ(deleted.result, 16);
  EXPECT_EQ(deleted.out,
            std::string("Delete factory settings of module 1 (panel) ...\n") + kPowerCycleNotice);
  EXPECT_EQ(DeviceBytes(1, 0, 16), std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(DeviceBytes(1, 256, 16), std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(DeviceBytes(1, 16, 240), std::vector<uint8_t>(block.begin() + 16, block.end()));

  testing::CapturedOutput shown =
      CaptureOutput([] { return ShowModuleFactorySettings(kServiceFeatureSet, kPc, 1); });
  EXPECT_EQ(shown.result, 12);
  EXPECT_EQ(shown.err, "ERROR: No factory settings available.\n");
}

TEST_F(ModuleSettingsHandlers, UpdateUsesAtMostTheAreaOfModulesThatAcceptLongerFiles) {
  StartPc({"pc=EX64"});
  // Module 8 (fan kit) lies right behind the system unit in device 0.
  const std::vector<uint8_t> fanKit = RecordBytes(SampleFields());
  PutDeviceBytes(0, 1280, fanKit);
  std::vector<uint8_t> file = RecordBytes(SampleFields());
  file.resize(1500, 0x5A);
  const std::string path = WriteFile("long.bin", file);
  testing::CapturedOutput printed = CaptureOutput(
      [&] { return UpdateModuleFactorySettings(kServiceFeatureSet, path.c_str(), kPc, 0, 1, 0); });
  EXPECT_EQ(printed.result, 16);
  EXPECT_NE(printed.out.find("Only 1280 of 1500 bytes are used (rest is ignored).\n"),
            std::string::npos)
      << printed.out;
  EXPECT_EQ(DeviceBytes(0, 0, 1280), std::vector<uint8_t>(file.begin(), file.begin() + 1280));
  EXPECT_EQ(DeviceBytes(0, 1280, fanKit.size()), fanKit);
}

TEST_F(ModuleSettingsHandlers, UpdateRefusesFilesThatCannotBeUsed) {
  struct Case {
    const char* name;
    const char* pc;
    int32_t module;
    size_t fileSize;
    bool displayBlockFirst;
    int result;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"longer file for module 2", "pc=EX53", 2, 1500, false, 5,
       "ERROR: Invalid file size: greater 1024 bytes.\n"},
      {"display-prefixed file shorter than the display block", "pc=EX64", 1, 200, true, 12,
       "ERROR: No factory settings available.\n"},
      {"empty file", "pc=EX64", 0, 0, false, 12, "ERROR: No factory settings available.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartPc({c.pc});
    std::vector<uint8_t> file;
    if (c.displayBlockFirst) {
      file = testing::DisplayBlockBytes(SampleFields());
    }
    std::vector<uint8_t> record = RecordBytes(SampleFields());
    file.insert(file.end(), record.begin(), record.end());
    file.resize(c.fileSize, 0);
    const std::string path = WriteFile("refused.bin", file);
    testing::CapturedOutput printed = CaptureOutput([&] {
      return UpdateModuleFactorySettings(kServiceFeatureSet, path.c_str(), kPc, c.module, 1, 0);
    });
    EXPECT_EQ(printed.result, c.result);
    EXPECT_EQ(printed.err, c.err);
    EXPECT_EQ(SettingsWrites(), 0u);
  }
}

// The length of a file that cannot be positioned is unknown: a general file error, as wherever
// a file's length is taken.
TEST_F(ModuleSettingsHandlers, UpdateRefusesAFileThatCannotBePositioned) {
  StartPc({"pc=EX64"});
  testing::UnseekableFile pipe;
  testing::CapturedOutput printed = CaptureOutput(
      [&] { return UpdateModuleFactorySettings(kServiceFeatureSet, pipe.path(), kPc, 0, 1, 0); });
  EXPECT_EQ(printed.result, 5);
  EXPECT_EQ(printed.out,
            "Update factory settings of module 0 (system unit) ...\n"
            "Read settings file: " +
                std::string(pipe.path()) + "\nCheck factory settings file for module 0 ...\n");
  EXPECT_EQ(printed.err, "ERROR: Can't seek file: Illegal seek\n");
  EXPECT_EQ(SettingsWrites(), 0u);
}

TEST_F(ModuleSettingsHandlers, UpdateKeepingValuesThatCannotBeReadWritesEmptyFields) {
  StartPc({"pc=EX64", "module.0.fitted=0"});
  const std::string path = WriteFile("module0.bin", RecordBytes(SampleFields()));
  Answer("n\n");
  testing::CapturedOutput printed = CaptureOutput(
      [&] { return UpdateModuleFactorySettings(kFullFeatureSet, path.c_str(), kPc, 0, 0, 0); });
  EXPECT_EQ(printed.result, 16);
  EXPECT_NE(printed.out.find("Use original serial number: \nUse original hardware revision: \n"),
            std::string::npos)
      << printed.out;
  std::vector<uint8_t> written = DeviceBytes(0, 0, 128);
  EXPECT_EQ(written[32 + kFactSerialNumberOffset], 0);
  EXPECT_EQ(written[32 + kFactHardwareRevisionOffset], 0);
  // The rest of the file's serial number stays behind the new terminator.
  EXPECT_EQ(written[32 + kFactSerialNumberOffset + 1], 'N');
  EXPECT_EQ(testing::ByteSum(written, 128), 0);
}

TEST_F(ModuleSettingsHandlers, UpdateKeepingTheOriginalDisplayBlock) {
  StartPc({"pc=EX64"});
  sim::FactoryRecordFields original = SampleFields();
  original.deviceId = 0x1111;
  const std::vector<uint8_t> originalBlock = testing::DisplayBlockBytes(original);
  PutDeviceBytes(1, 0, originalBlock);
  std::vector<uint8_t> file = testing::DisplayBlockBytes(SampleFields());
  const std::vector<uint8_t> record = RecordBytes(SampleFields());
  file.insert(file.end(), record.begin(), record.end());
  const std::string path = WriteFile("panel.bin", file);
  Answer("no\n");
  testing::CapturedOutput printed = CaptureOutput(
      [&] { return UpdateModuleFactorySettings(kFullFeatureSet, path.c_str(), kPc, 1, 1, 0); });
  EXPECT_EQ(printed.result, 16);
  EXPECT_NE(printed.out.find("Use original EDID\n"), std::string::npos) << printed.out;
  EXPECT_EQ(DeviceBytes(1, 0, 256), originalBlock);
  std::vector<uint8_t> written = DeviceBytes(1, 256, 128);
  EXPECT_EQ(FactField32(written, 32, kFactDeviceIdOffset), 0xF0BDu);
  EXPECT_EQ(testing::ByteSum(written, 128), 0);
}

TEST_F(ModuleSettingsHandlers, UpdateKeepingValuesRefusesRecordsItCannotChange) {
  struct Case {
    const char* name;
    std::vector<const char*> settings;
    int32_t panel;
    int32_t module;
    uint16_t staticLength;
    int result;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"static length beyond the area",
       {"pc=EX64"},
       kPc,
       0,
       4000,
       9,
       "ERROR: Invalid checksum of static data (4000 bytes).\n"},
      {"display block only",
       {"panel.0.version=0x7238"},
       0,
       0,
       128,
       15,
       "ERROR: Can't keep original values for this module.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartPc({});
    ASSERT_TRUE(testing::ChangeRunningPc(c.settings));
    sim::FactoryRecordFields fields = SampleFields();
    fields.staticLength = c.staticLength;
    const std::string path = WriteFile("kept.bin", RecordBytes(fields, 256));
    Answer("n\n");
    testing::CapturedOutput printed = CaptureOutput([&] {
      return UpdateModuleFactorySettings(kFullFeatureSet, path.c_str(), c.panel, c.module, 1, 0);
    });
    EXPECT_EQ(printed.result, c.result);
    EXPECT_EQ(printed.err, c.err);
    EXPECT_EQ(SettingsWrites(), 0u);
  }
}

}  // namespace
}  // namespace drux
