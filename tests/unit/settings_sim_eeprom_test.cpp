// The factory-settings EEPROMs of the simulated controller (commands 0x63 and 0x73): block
// addressing per device, the panel chosen with 0x7F, refusals, and persistence in the machine
// directory.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/devices/factory_settings_image.h"
#include "sim/sim.h"
#include "tests/support/program_runner.h"
#include "tests/unit/sim_test_host.h"

namespace {

std::vector<uint8_t> Block(uint8_t seed) {
  std::vector<uint8_t> block(16);
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = uint8_t(seed + i);
  }
  return block;
}

std::vector<uint8_t> AreaBytes(sim::Area area, uint32_t offset, size_t length, int panel = 0) {
  std::vector<uint8_t> bytes(length);
  EXPECT_TRUE(sim::ReadAreaBytes(area, offset, bytes.data(), length, panel));
  return bytes;
}

class SettingsEeprom : public testing::Test {
 protected:
  void SetUp() override {
    sim::StartInMemory(sim::DefaultMachineConfig());
    sim::ClearFaults();
  }
  void TearDown() override {
    EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
  }
};

TEST_F(SettingsEeprom, PcModuleBlocksLandInTheirDevice) {
  std::vector<uint8_t> block = Block(0x40);
  // Device 4, block 64: byte 1024 of the fourth EEPROM.
  simtest::Outcome written = simtest::Write(0x63, 64, 4, 0, block.data(), 16);
  ASSERT_EQ(written.status, 0);
  EXPECT_EQ(AreaBytes(sim::Area::ModuleSettings, 4 * 2048 + 1024, 16), block);
  std::vector<uint8_t> read(16);
  ASSERT_EQ(simtest::Read(0x63, 64, 4, 0, read.data(), 16).status, 0);
  EXPECT_EQ(read, block);
  // Untouched EEPROM bytes read as erased.
  ASSERT_EQ(simtest::Read(0x63, 65, 4, 0, read.data(), 16).status, 0);
  EXPECT_EQ(read, std::vector<uint8_t>(16, 0xFF));
}

TEST_F(SettingsEeprom, RefusesWhatNoEepromHas) {
  struct Case {
    const char* name;
    uint8_t code;
    uint16_t address;
    uint8_t device;
    uint8_t target;
    uint8_t errorByte;
  };
  const std::vector<Case> cases = {
      {"block beyond the 2 KiB", 0x63, 128, 0, 0, 0x83},
      {"last block", 0x63, 127, 15, 0, 0x00},
      {"other target", 0x63, 0, 0, 1, 0x83},
      {"panel module without a panel chosen", 0x73, 0, 0, 0, 0x83},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> data(16);
    simtest::Outcome outcome =
        simtest::Read(c.code, c.address, c.device, c.target, data.data(), 16);
    EXPECT_EQ(outcome.status, c.errorByte == 0 ? 0 : -3);
    EXPECT_EQ(outcome.errorByte, c.errorByte);
  }
}

TEST_F(SettingsEeprom, PanelModuleBlocksGoToTheChosenPanel) {
  ASSERT_EQ(simtest::Write(0x7F, 0, 1, 0, nullptr, 0).status, 0);
  std::vector<uint8_t> block = Block(0x90);
  ASSERT_EQ(simtest::Write(0x73, 3, 2, 0, block.data(), 16).status, 0);
  EXPECT_EQ(AreaBytes(sim::Area::PanelModuleSettings, 2 * 2048 + 48, 16, 1), block);
  EXPECT_EQ(AreaBytes(sim::Area::PanelModuleSettings, 2 * 2048 + 48, 16, 0),
            std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(AreaBytes(sim::Area::ModuleSettings, 2 * 2048 + 48, 16),
            std::vector<uint8_t>(16, 0xFF));

  // A panel that went away since it was chosen no longer answers.
  sim::MachineConfig config = sim::Config();
  config.panels[1].connected = false;
  sim::UpdateConfig(config);
  std::vector<uint8_t> read(16);
  simtest::Outcome outcome = simtest::Read(0x73, 3, 2, 0, read.data(), 16);
  EXPECT_EQ(outcome.status, -3);
  EXPECT_EQ(outcome.errorByte, 0x85);
}

TEST(SettingsEepromPersistence, SurvivesTheRunAndIsWrittenOnlyWhenChanged) {
  drux::test::TemporaryDirectory directory;
  ASSERT_TRUE(sim::CreateMachine(directory.path().c_str(), sim::DefaultMachineConfig()));
  const std::string pcFile = directory.path() + "/fset.bin";
  const std::string panelFile = directory.path() + "/panel3-fset.bin";
  EXPECT_FALSE(std::ifstream(pcFile).good()) << "a fresh machine has erased EEPROMs";

  std::vector<uint8_t> block = Block(0x10);
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::ModuleSettings, 2048 + 32, block.data(), 16));
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::PanelModuleSettings, 16, block.data(), 16, 3));
  ASSERT_TRUE(sim::Persist());
  std::ifstream stored(pcFile, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stored)), {});
  EXPECT_EQ(bytes.size(), 16u * 2048u);
  EXPECT_TRUE(std::ifstream(panelFile).good());

  ASSERT_TRUE(sim::AttachDirectory(directory.path().c_str()));
  EXPECT_EQ(AreaBytes(sim::Area::ModuleSettings, 2048 + 32, 16), block);
  EXPECT_EQ(AreaBytes(sim::Area::PanelModuleSettings, 16, 16, 3), block);
  EXPECT_EQ(AreaBytes(sim::Area::PanelModuleSettings, 16, 16, 2), std::vector<uint8_t>(16, 0xFF));

  // A new machine in the directory starts erased again.
  ASSERT_TRUE(sim::CreateMachine(directory.path().c_str(), sim::DefaultMachineConfig()));
  EXPECT_FALSE(std::ifstream(pcFile).good());
  EXPECT_FALSE(std::ifstream(panelFile).good());
}

TEST(FactoryRecordImage, LayoutOfTheBuiltRecord) {
  sim::FactoryRecordFields fields;
  fields.deviceId = 0x0102F0BD;
  fields.parentDeviceId = 0xAABBCCDD;
  fields.compatibilityId = 0x1122;
  fields.version = 0x15;
  sim::SetRecordText(fields.serialNumber, sizeof fields.serialNumber, "TOO-LONG-SERIAL");
  std::vector<uint8_t> record(2048);
  ASSERT_EQ(sim::BuildFactoryRecord(fields, record.data(), record.size()), 128u);
  EXPECT_EQ(std::string(record.begin(), record.begin() + 4), "HEAD");
  EXPECT_EQ(record[5], 0x15);
  EXPECT_EQ(record[6] << 8 | record[7], 127) << "checksum offset, big-endian";
  EXPECT_EQ(record[8] << 8 | record[9], 128) << "static length, big-endian";
  EXPECT_EQ(std::string(record.begin() + 32, record.begin() + 36), "FACT");
  EXPECT_EQ(record[42], 0xBD) << "device ID, little-endian";
  EXPECT_EQ(record[45], 0x01);
  EXPECT_EQ(record[46], 0x22);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + 57)), "TOO-LONG-SE");
  EXPECT_EQ(record[113], 0xDD) << "parent device ID, unaligned little-endian";
  EXPECT_EQ(record[116], 0xAA);
  uint8_t sum = 0;
  for (size_t i = 0; i < 128; ++i) {
    sum = uint8_t(sum + record[i]);
  }
  EXPECT_EQ(sum, 0);

  fields.factOffset = 8;
  EXPECT_EQ(sim::BuildFactoryRecord(fields, record.data(), record.size()), 0u)
      << "a FACT header inside the HEAD header";
  fields.factOffset = 32;
  EXPECT_EQ(sim::BuildFactoryRecord(fields, record.data(), 100), 0u) << "no room for FACT";
}

}  // namespace
