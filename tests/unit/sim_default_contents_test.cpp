// The factory contents of the default machine that a fresh state directory simulates: valid
// records and display blocks with the modules' identity, generated on first touch and written
// out with the machine; created and in-memory machines stay erased.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sim_state_directory_fixture.h"

namespace {

namespace fs = std::filesystem;

using SimDefaultContentsTest = simtest::StateDirectoryTest;

constexpr uint32_t kSystemUnitStart = 0;
constexpr uint32_t kFanKitStart = 1280;
constexpr size_t kFact = 32;

std::vector<uint8_t> AreaBytes(sim::Area area, uint32_t offset, size_t length, int panel = 0) {
  std::vector<uint8_t> bytes(length);
  EXPECT_TRUE(sim::ReadAreaBytes(area, offset, bytes.data(), length, panel));
  return bytes;
}

uint8_t Sum(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  uint8_t sum = 0;
  for (size_t i = from; i < to; ++i) {
    sum = uint8_t(sum + bytes[i]);
  }
  return sum;
}

uint32_t Little32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

uint32_t Big32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 |
         uint32_t(bytes[at + 3]);
}

std::string Text(const std::vector<uint8_t>& bytes, size_t at) {
  return std::string(reinterpret_cast<const char*>(bytes.data() + at));
}

bool Erased(const std::vector<uint8_t>& bytes) {
  return bytes == std::vector<uint8_t>(bytes.size(), 0xFF);
}

struct RecordCase {
  const char* name;
  uint32_t start;
  int module;
  uint32_t deviceId;
  uint32_t parentDeviceId;
};

TEST_F(SimDefaultContentsTest, ModuleRecordsAreValidAndCarryTheModulesIdentity) {
  NewRun();
  // The system unit is a device whose parent ID druxsvcadmin corrects (0xF0BE needs 0xEF98).
  const RecordCase cases[] = {{"system unit", kSystemUnitStart, 0, 0xF0BE, 0xEF97},
                              {"fan kit", kFanKitStart, 8, 0xE2A1, 0},
                              {"link transmitter", 3 * sim::kSettingsDeviceSize, 3, 0xF1C3, 0}};
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> record = AreaBytes(sim::Area::ModuleSettings, c.start, 128);
    const sim::ModuleConfig& module = sim::Config().modules[c.module];
    EXPECT_EQ(std::memcmp(record.data(), "HEAD", 4), 0);
    EXPECT_EQ(record[8] << 8 | record[9], 128) << "static length";
    EXPECT_EQ(Sum(record, 0, 128), 0) << "static checksum";
    EXPECT_EQ(std::memcmp(record.data() + kFact, "FACT", 4), 0);
    EXPECT_EQ(Little32(record, kFact + 10), c.deviceId);
    EXPECT_EQ(Little32(record, kFact + 81), c.parentDeviceId);
    EXPECT_EQ(Text(record, kFact + 20), module.hardwareRevision);
    EXPECT_EQ(Text(record, kFact + 25), module.serialNumber);
    EXPECT_EQ(Text(record, kFact + 37), module.modelNumber);
    EXPECT_TRUE(Erased(AreaBytes(sim::Area::ModuleSettings, c.start + 128, 16)))
        << "the EEPROM is erased behind the record";
  }
  EXPECT_TRUE(Erased(
      AreaBytes(sim::Area::ModuleSettings, sim::kSettingsDeviceSize, 2 * sim::kSettingsDeviceSize)))
      << "only devices 0 and 3 hold records";
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::ModuleSettings, 4 * sim::kSettingsDeviceSize,
                               (sim::kSettingsDevices - 4) * sim::kSettingsDeviceSize)));
}

TEST_F(SimDefaultContentsTest, ConnectedPanelsHaveDisplayBlocksWithTheirModelNumber) {
  NewRun();
  for (int panel = 0; panel < 2; ++panel) {
    SCOPED_TRACE(panel);
    std::vector<uint8_t> block = AreaBytes(sim::Area::PanelDisplay, 0, 256, panel);
    const sim::ModuleConfig& module = sim::Config().panels[panel].modules[0];
    const std::vector<uint8_t> edidHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    const std::vector<uint8_t> marker = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 8), edidHeader);
    EXPECT_EQ(Sum(block, 0, 128), 0) << "EDID checksum";
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 128, block.begin() + 136), marker);
    EXPECT_EQ(Sum(block, 128, 256), 0xAA) << "internal data checksum";
    EXPECT_EQ(Text(block, 165), "DX-PANEL-15");
    EXPECT_EQ(Text(block, 153), module.serialNumber);
    EXPECT_EQ(Big32(block, 138), 0xD315u);
    // Both default panels have modules: their extended record follows the block, within 2 KiB.
    EXPECT_TRUE(Erased(AreaBytes(sim::Area::PanelDisplay, 2048, 4096 - 2048, panel)));
    // Panels with modules: module 0's EEPROM begins with the same display block.
    const std::vector<uint8_t> module0 = AreaBytes(sim::Area::PanelModuleSettings, 0, 256, panel);
    EXPECT_EQ(Text(module0, 165), "DX-PANEL-15");
    EXPECT_EQ(Big32(module0, 138), 0xD315u);
  }
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::PanelDisplay, 0, 256, 2))) << "not connected";
}

TEST_F(SimDefaultContentsTest, FirstSaveWritesTheContentsAndKeepsWhatARunChanged) {
  NewRun();
  const uint8_t changed[4] = {0x12, 0x34, 0x56, 0x78};
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::ModuleSettings, kFact + 81, changed, 4));
  std::vector<uint8_t> settings = AreaBytes(sim::Area::ModuleSettings, 0, 2048);
  std::vector<uint8_t> panel1 = AreaBytes(sim::Area::PanelDisplay, 0, 256, 1);
  ASSERT_TRUE(sim::Persist());
  ASSERT_EQ(FileBytes("panel0-display.bin").size(), 4096u);
  std::vector<uint8_t> panel0 = FileBytes("panel0-display.bin");
  panel0.resize(256);
  EXPECT_EQ(Text(panel0, 165), "DX-PANEL-15");
  EXPECT_TRUE(fs::exists(File("fset.bin")));
  EXPECT_TRUE(fs::exists(File("panel0-display.bin"))) << "written although no one read it";
  EXPECT_FALSE(fs::exists(File("panel2-display.bin")));
  EXPECT_TRUE(fs::exists(File("panel0-fset.bin"))) << "panel modules hold factory records";
  EXPECT_FALSE(fs::exists(File("panel2-fset.bin")));

  NewRun();
  EXPECT_TRUE(sim::MachineSaved());
  EXPECT_EQ(AreaBytes(sim::Area::ModuleSettings, 0, 2048), settings);
  EXPECT_EQ(Little32(settings, kFact + 81), 0x78563412u);
  EXPECT_EQ(AreaBytes(sim::Area::PanelDisplay, 0, 256, 1), panel1);
  EXPECT_EQ(AreaBytes(sim::Area::PanelDisplay, 0, 256, 0), panel0);
}

TEST_F(SimDefaultContentsTest, IdentityChangedBeforeTheFirstTouchReachesTheRecords) {
  NewRun();
  sim::MachineConfig config = sim::Config();
  ASSERT_TRUE(sim::ApplySettingText(config, "module.8.serial=F99X0000001"));
  ASSERT_TRUE(sim::ApplySettingText(config, "panel.1.module.0.model=DX-PANEL-21"));
  sim::UpdateConfig(config);
  EXPECT_EQ(Text(AreaBytes(sim::Area::ModuleSettings, kFanKitStart, 128), kFact + 25),
            "F99X0000001");
  EXPECT_EQ(Text(AreaBytes(sim::Area::PanelDisplay, 0, 256, 1), 165), "DX-PANEL-21");
}

TEST_F(SimDefaultContentsTest, PanelWithModulesHasAnExtendedRecordOfItsIdentity) {
  NewRun();
  sim::MachineConfig config = sim::Config();
  ASSERT_TRUE(sim::ApplySettingText(config, "panel.0.version=0x1E23"));
  ASSERT_TRUE(sim::ApplySettingText(config, "panel.1.version=0x0DE0"));
  sim::UpdateConfig(config);
  const std::vector<uint8_t> block = AreaBytes(sim::Area::PanelDisplay, 0, 256, 1);
  const std::vector<uint8_t> record = AreaBytes(sim::Area::PanelDisplay, 256, 128, 1);
  EXPECT_EQ(std::memcmp(record.data(), "HEAD", 4), 0);
  EXPECT_EQ(Sum(record, 0, 128), 0) << "static checksum";
  EXPECT_EQ(std::memcmp(record.data() + kFact, "FACT", 4), 0);
  EXPECT_EQ(Little32(record, kFact + 10), Big32(block, 138));
  EXPECT_EQ(Text(record, kFact + 25), Text(block, 153));
  EXPECT_EQ(Text(record, kFact + 37), Text(block, 165));
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::PanelDisplay, 256, 128, 0))) << "panel without modules";
}

TEST_F(SimDefaultContentsTest, CreatedAndInMemoryMachinesStayErased) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::ModuleSettings, 0, 2048)));
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::PanelDisplay, 0, 256, 0)));

  sim::StartInMemory(sim::DefaultMachineConfig());
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::ModuleSettings, 0, 2048)));
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::PanelDisplay, 0, 256, 1)));
}

TEST_F(SimDefaultContentsTest, NoRecordForAModuleThatIsNotFitted) {
  NewRun();
  sim::MachineConfig config = sim::Config();
  ASSERT_TRUE(sim::ApplySettingText(config, "module.0.fitted=0"));
  ASSERT_TRUE(sim::ApplySettingText(config, "panel.0.connected=0"));
  sim::UpdateConfig(config);
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::ModuleSettings, kSystemUnitStart, 1280)));
  EXPECT_EQ(std::memcmp(AreaBytes(sim::Area::ModuleSettings, kFanKitStart, 4).data(), "HEAD", 4),
            0);
  EXPECT_TRUE(Erased(AreaBytes(sim::Area::PanelDisplay, 0, 256, 0)));
}

}  // namespace
