// Commands of the simulated controller: flash with its address extension and sizes per PC
// type, module identity fields, panel data with indirect addressing.
#include <gtest/gtest.h>

#include <vector>

#include "sim_test_host.h"

namespace {

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) {
    bytes[i] = uint8_t(seed + i * 7);
  }
  return bytes;
}

sim::MachineConfig WithPcType(uint8_t pcType) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.pcType = pcType;
  return config;
}

struct FlashSizeCase {
  uint8_t pcType;
  size_t size;
};

TEST(SimFlash, SizeFollowsThePcType) {
  const FlashSizeCase cases[] = {{14, 0x400000},  {15, 0x400000},  {16, 0x400000},
                                 {17, 0x400000},  {18, 0x1000000}, {22, 0x1000000},
                                 {24, 0x1000000}, {0, 0x1000000},  {13, 0x1000000}};
  for (const FlashSizeCase& c : cases) {
    sim::StartInMemory(WithPcType(c.pcType));
    EXPECT_EQ(sim::AreaSize(sim::Area::Flash), c.size) << int(c.pcType);
    EXPECT_EQ(sim::AreaSize(sim::Area::LinkFlash), 0x1000000u);
  }
}

struct FlashBlockCase {
  uint8_t pcType;
  uint8_t code;  // as written, including the extension
  uint16_t address;
  uint8_t device;
  uint32_t blockSize;
  uint32_t offset;  // expected byte offset in the area; 0xFFFFFFFF = refused (0x83)
};

TEST(SimFlash, BlockIndexExtendsIntoTheCommandCode) {
  const FlashBlockCase cases[] = {
      {18, 0xE0, 0x0000, 0, 256, 0x0},
      {18, 0xE0, 0x3FFF, 0, 256, 0x3FFF00},
      {18, 0xE1, 0x0000, 0, 256, 0x400000},
      {18, 0xE3, 0x3FFF, 0, 256, 0xFFFF00},    // last block of 16 MiB
      {14, 0xE0, 0x3FFF, 0, 256, 0x3FFF00},    // last block of 4 MiB
      {14, 0xE1, 0x0000, 0, 256, 0xFFFFFFFF},  // beyond 4 MiB
      {14, 0xA0, 0x3FFF, 0, 16, 0x3FFF0},
      {14, 0xA1, 0x0000, 0, 16, 0x40000},
      {14, 0xAF, 0x3FFF, 0, 16, 0x3FFFF0},   // last block of 4 MiB
      {18, 0xAF, 0x3FFF, 0, 16, 0x3FFFF0},   // 0xA0 reaches the first 4 MiB only
      {18, 0xE0, 0x3FFF, 3, 256, 0x3FFF00},  // link transmitter flash, 16 MiB
      {18, 0xE1, 0x0000, 3, 256, 0x400000},
      {18, 0xE3, 0x3FFF, 3, 256, 0xFFFF00},
      {18, 0xE0, 0x0000, 5, 256, 0xFFFFFFFF},  // no flash behind device 5
      {18, 0xA5, 0x0010, 3, 16, 0x140100},
  };
  for (const FlashBlockCase& c : cases) {
    sim::StartInMemory(WithPcType(c.pcType));
    sim::Area area = c.device == 3 ? sim::Area::LinkFlash : sim::Area::Flash;
    std::vector<uint8_t> data = Pattern(c.blockSize, c.code);
    simtest::Outcome written =
        simtest::Write(c.code, c.address, c.device, 0, data.data(), c.blockSize);
    std::vector<uint8_t> back(c.blockSize, 0);
    simtest::Outcome read = simtest::Read(c.code, c.address, c.device, 0, back.data(), c.blockSize);
    if (c.offset == 0xFFFFFFFF) {
      EXPECT_EQ(written.status, -3);
      EXPECT_EQ(written.errorByte, 0x83);
      EXPECT_EQ(read.errorByte, 0x83);
      continue;
    }
    ASSERT_EQ(written.status, 0) << std::hex << int(c.code) << " " << c.address;
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(back, data);
    std::vector<uint8_t> stored(c.blockSize);
    ASSERT_TRUE(sim::ReadAreaBytes(area, c.offset, stored.data(), stored.size()));
    EXPECT_EQ(stored, data) << std::hex << int(c.code) << " " << c.address;
  }
}

TEST(SimFlash, ErasedFlashReadsAllOnesAndWritesLeaveNeighboursAlone) {
  sim::StartInMemory(sim::DefaultMachineConfig());
  std::vector<uint8_t> block(256, 0);
  ASSERT_EQ(simtest::Read(0xE2, 0x1234, 0, 0, block.data(), 256).status, 0);
  EXPECT_EQ(block, std::vector<uint8_t>(256, 0xFF));
  std::vector<uint8_t> data = Pattern(16, 1);
  ASSERT_EQ(simtest::Write(0xA0, 1, 0, 0, data.data(), 16).status, 0);
  std::vector<uint8_t> around(48);
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, 0, around.data(), around.size()));
  EXPECT_EQ(std::vector<uint8_t>(around.begin(), around.begin() + 16),
            std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(std::vector<uint8_t>(around.begin() + 16, around.begin() + 32), data);
  EXPECT_EQ(std::vector<uint8_t>(around.begin() + 32, around.end()),
            std::vector<uint8_t>(16, 0xFF));
}

TEST(SimFlash, AreaAccessOutsideTheAreaIsRefused) {
  sim::StartInMemory(WithPcType(14));
  uint8_t byte = 0;
  EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, 0x3FFFFF, &byte, 1));
  EXPECT_FALSE(sim::ReadAreaBytes(sim::Area::Flash, 0x400000, &byte, 1));
  EXPECT_FALSE(sim::WriteAreaBytes(sim::Area::Flash, 0x3FFFFF, &byte, 2));
  EXPECT_FALSE(sim::ReadAreaBytes(sim::Area::PanelDisplay, 0, &byte, 1, 16));
  EXPECT_FALSE(sim::ReadAreaBytes(sim::Area::PanelDisplay, 4096, &byte, 1, 0));
}

sim::MachineConfig WithModule3() {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  sim::ModuleConfig& module = config.modules[3];
  module.fitted = true;
  module.id = 0x11223344;
  std::memcpy(module.hardwareRevision, "C7X", 4);
  std::memcpy(module.serialNumber, "SN123456789", 12);
  std::memcpy(module.modelNumber, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-40!", 41);
  module.parentId = 0xCAFEBABE;
  return config;
}

struct ModuleFieldCase {
  uint16_t address;
  std::vector<uint8_t> expected;
};

TEST(SimModuleIdentity, FieldsOfAFittedModule) {
  sim::StartInMemory(WithModule3());
  const ModuleFieldCase cases[] = {
      {0x100, {0x44, 0x33, 0x22, 0x11}},
      {0x300, {'C', '7', 'X', 0, 0}},
      {0x400, {'S', 'N', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0}},
      {0x500, {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'}},
      {0x501, {'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V'}},
      {0x502, {'W', 'X', 'Y', 'Z', '-', '4', '0', '!'}},
      {0x700, {0xBE, 0xBA, 0xFE, 0xCA, 0, 0}},
  };
  for (const ModuleFieldCase& c : cases) {
    std::vector<uint8_t> reply(c.expected.size(), 0xEE);
    simtest::Outcome outcome =
        simtest::Read(0x61, c.address, 3, 0, reply.data(), uint32_t(reply.size()));
    ASSERT_EQ(outcome.status, 0) << std::hex << c.address;
    EXPECT_EQ(reply, c.expected) << std::hex << c.address;
    EXPECT_EQ(sim::LogAt(sim::LogSize() - 1).size, c.expected.size());
  }
}

TEST(SimModuleIdentity, MissingModulesAndBadRequestsFail) {
  sim::StartInMemory(WithModule3());
  struct Case {
    uint16_t address;
    uint8_t device;
    uint8_t target;
    bool read;
    uint8_t error;
  };
  const Case cases[] = {
      {0x100, 4, 0, true, 0x85},   // not fitted
      {0x500, 15, 0, true, 0x85},  // not fitted
      {0x100, 0, 0, true, 0x00},   // the default machine's system unit
      {0x100, 8, 0, true, 0x00},   // and its fan kit
      {0x200, 3, 0, true, 0x83},   // no such field
      {0x100, 3, 1, true, 0x83},   // wrong target
      {0x100, 3, 0, false, 0x83},  // identity is read-only
  };
  for (const Case& c : cases) {
    uint8_t reply[16] = {};
    simtest::Outcome outcome = simtest::Run(0x61, c.address, c.device, c.target, c.read, reply, 4);
    EXPECT_EQ(outcome.errorByte, c.error) << std::hex << c.address << " dev " << int(c.device);
    EXPECT_EQ(outcome.status, c.error == 0 ? 0 : -3);
  }
}

TEST(SimPanelData, DisplayBlockOfEachPanelIsSeparate) {
  sim::StartInMemory(sim::DefaultMachineConfig());
  std::vector<uint8_t> first = Pattern(16, 0x10);
  std::vector<uint8_t> second = Pattern(16, 0x80);
  ASSERT_EQ(simtest::Write(0x20, 8, 0, 4, first.data(), 16).status, 0);
  ASSERT_EQ(simtest::Write(0x20, 8, 1, 4, second.data(), 16).status, 0);
  std::vector<uint8_t> back(16);
  ASSERT_EQ(simtest::Read(0x20, 8, 0, 4, back.data(), 16).status, 0);
  EXPECT_EQ(back, first);
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::PanelDisplay, 128, back.data(), 16, 1));
  EXPECT_EQ(back, second);
}

// Target 4 reaches a panel's own factory settings: 2 KiB on a panel with modules, the display
// block alone on any other.
TEST(SimPanelData, FactorySettingsReachDependsOnThePanelType) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  ASSERT_TRUE(sim::ApplySettingText(config, "panel.0.version=0x1E23"));
  ASSERT_TRUE(sim::ApplySettingText(config, "panel.1.version=0x0DE0"));
  sim::StartInMemory(config);
  std::vector<uint8_t> back(16);
  ASSERT_EQ(simtest::Read(0x20, 15, 0, 4, back.data(), 16).status, 0);
  EXPECT_EQ(simtest::Read(0x20, 16, 0, 4, back.data(), 16).errorByte, 0x83);
  ASSERT_EQ(simtest::Write(0x20, 127, 1, 4, back.data(), 16).status, 0);
  EXPECT_EQ(simtest::Write(0x20, 128, 1, 4, back.data(), 16).errorByte, 0x83);
}

TEST(SimPanelData, FpgaFlashBeyondTheAddressFieldThroughTheIndexRegister) {
  sim::StartInMemory(sim::DefaultMachineConfig());
  const uint32_t index = 0x3FFFF;  // last block of 4 MiB
  const uint8_t indexBytes[4] = {0xFF, 0xFF, 0x03, 0x00};
  std::vector<uint8_t> data = Pattern(16, 0x42);
  ASSERT_EQ(simtest::Write(0x20, 0x3FF1, 1, 3, indexBytes, 4).status, 0);
  ASSERT_EQ(simtest::Write(0x20, 0x3FF2, 1, 3, data.data(), 16).status, 0);
  std::vector<uint8_t> stored(16);
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::PanelFlash, index * 16, stored.data(), 16, 1));
  EXPECT_EQ(stored, data);

  // A direct block and an indirect block with the same index are the same bytes.
  const uint8_t lowIndex[4] = {0x05, 0x00, 0x00, 0x00};
  ASSERT_EQ(simtest::Write(0x20, 5, 1, 3, data.data(), 16).status, 0);
  ASSERT_EQ(simtest::Write(0x20, 0x3FF1, 1, 3, lowIndex, 4).status, 0);
  std::vector<uint8_t> back(16);
  ASSERT_EQ(simtest::Read(0x20, 0x3FF2, 1, 3, back.data(), 16).status, 0);
  EXPECT_EQ(back, data);

  const uint8_t beyond[4] = {0x00, 0x00, 0x04, 0x00};
  ASSERT_EQ(simtest::Write(0x20, 0x3FF1, 1, 3, beyond, 4).status, 0);
  EXPECT_EQ(simtest::Read(0x20, 0x3FF2, 1, 3, back.data(), 16).errorByte, 0x83);

  // Only the two registers are not blocks: the addresses behind them are.
  for (const uint16_t address : {uint16_t(0x3FF3), uint16_t(0x3FFF)}) {
    const uint8_t sameIndex[4] = {uint8_t(address), uint8_t(address >> 8), 0, 0};
    const std::vector<uint8_t> block = Pattern(16, uint8_t(address));
    ASSERT_EQ(simtest::Write(0x20, address, 1, 3, block.data(), 16).status, 0) << address;
    ASSERT_EQ(simtest::Write(0x20, 0x3FF1, 1, 3, sameIndex, 4).status, 0);
    ASSERT_EQ(simtest::Read(0x20, 0x3FF2, 1, 3, back.data(), 16).status, 0);
    EXPECT_EQ(back, block) << address;
  }
}

TEST(SimPanelData, UnreachablePanelsAndTargetsFail) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.panels[1].connected = false;
  sim::StartInMemory(config);
  uint8_t block[16] = {};
  struct Case {
    uint8_t device;
    uint8_t target;
    uint8_t error;
  };
  const Case cases[] = {
      {1, 4, 0x85}, {1, 3, 0x85}, {2, 4, 0x85}, {0, 5, 0x83}, {0, 0, 0x83}, {0, 4, 0x00},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(simtest::Read(0x20, 0, c.device, c.target, block, 16).errorByte, c.error)
        << int(c.device) << "/" << int(c.target);
  }
  config.panelChannels = 1;
  config.panels[1].connected = true;
  sim::StartInMemory(config);
  EXPECT_EQ(simtest::Read(0x20, 0, 1, 4, block, 16).errorByte, 0x85);
}

TEST(SimPanelSelect, OnlyConnectedPanelsWithModuleFunctionsCanBeSelected) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.panels[1].moduleFunctions = false;
  config.panels[4] = sim::PanelConfig{false, 0x1000, 1, 1, true};
  sim::StartInMemory(config);
  struct Case {
    uint8_t panel;
    uint8_t target;
    uint8_t error;
  };
  const Case cases[] = {
      {0, 0, 0x00}, {1, 0, 0x85}, {4, 0, 0x85}, {2, 0, 0x85}, {0, 1, 0x83},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(simtest::Write(0x7F, 0, c.panel, c.target, nullptr, 0).errorByte, c.error)
        << int(c.panel);
  }
  EXPECT_EQ(sim::LogAt(0).size, 0) << "no payload";
}

}  // namespace
