// Module names and the identity fields read from the simulated controller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/module_catalogue.h"
#include "sim/sim.h"
#include "tests/support/sim_settings.h"

namespace drux {
namespace {

TEST(ModuleName, PcAndPanelTables) {
  struct Case {
    int32_t panel;
    int32_t module;
    const char* name;
  };
  const Case cases[] = {
      {-1, 0, "system unit"},
      {-1, 1, "panel"},
      {-1, 3, "monitor/panel option"},
      {-1, 5, "IF Option 2"},
      {-1, 8, "fan kit"},
      {-1, 9, "slide-In 1"},
      {-1, 12, "bus fan kit"},
      {-1, 13, "expansion unit"},
      {-1, 14, ""},
      {-1, 15, ""},
      {-1, -1, ""},
      {0, 0, "panel"},
      {0, 1, "link module"},
      {3, 2, "KVN converter"},
      {15, 4, "HDBaseT module(KVN4)"},
      {0, 5, ""},
      {0, -1, ""},
      {7, 13, ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(ModuleName(c.panel, c.module), c.name) << c.panel << "/" << c.module;
  }
}

class ModuleIdentity : public testing::Test {
 protected:
  void Start(sim::MachineConfig config) {
    sim::StartInMemory(config);
    sim::ClearLog();
  }
  void SetUp() override { Start(sim::DefaultMachineConfig()); }
};

TEST_F(ModuleIdentity, FittedAndMissingPcModules) {
  EXPECT_EQ(ReadModuleId(-1, 0), 0x0000A640u);
  EXPECT_STREQ(ReadModuleHardwareRevision(-1, 0), "B0");
  EXPECT_STREQ(ReadModuleSerialNumber(-1, 0), "E64A1234567");
  EXPECT_STREQ(ReadModuleModelNumber(-1, 0), "DX-EX64-SU00");
  EXPECT_EQ(ReadModuleId(-1, 8), 0x0000A6F1u);

  EXPECT_EQ(ReadModuleId(-1, 1), 0u);
  EXPECT_STREQ(ReadModuleHardwareRevision(-1, 1), "");
  EXPECT_STREQ(ReadModuleSerialNumber(-1, 1), "");
  EXPECT_STREQ(ReadModuleModelNumber(-1, 1), "");
}

TEST_F(ModuleIdentity, FieldsOfFullLength) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  const std::string model = "0123456789abcdefghijKLMNOPQRSTUVWXYZ-._+";  // 40 characters
  ASSERT_TRUE(sim::ApplySettingText(config, "module.5.id=0xFEDCBA98"));
  ASSERT_TRUE(sim::ApplySettingText(config, "module.5.hwrev=ABCD"));
  ASSERT_TRUE(sim::ApplySettingText(config, "module.5.serial=12345678901"));
  ASSERT_TRUE(sim::ApplySettingText(config, ("module.5.model=" + model).c_str()));
  Start(config);
  EXPECT_EQ(ReadModuleId(-1, 5), 0xFEDCBA98u);
  EXPECT_STREQ(ReadModuleHardwareRevision(-1, 5), "ABCD");
  EXPECT_STREQ(ReadModuleSerialNumber(-1, 5), "12345678901");
  EXPECT_EQ(std::string(ReadModuleModelNumber(-1, 5)), model);
}

TEST_F(ModuleIdentity, ModelNumberReadInThreePieces) {
  ReadModuleModelNumber(-1, 0);
  ASSERT_EQ(sim::LogSize(), 3u);
  const uint16_t sizes[] = {16, 16, 8};
  for (size_t i = 0; i < 3; ++i) {
    sim::LogEntry entry = sim::LogAt(i);
    EXPECT_EQ(entry.code, 0x61);
    EXPECT_EQ(entry.address, 0x500 + i);
    EXPECT_EQ(entry.device, 0);
    EXPECT_EQ(entry.target, 0);
    EXPECT_EQ(entry.size, sizes[i]);
    EXPECT_TRUE(entry.read);
  }
}

// Present (identification word) and available (model number) are different questions.
TEST_F(ModuleIdentity, PresentButWithoutModelNumber) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  ASSERT_TRUE(sim::ApplySettingText(config, "module.6.id=0x1234"));
  Start(config);
  EXPECT_EQ(ReadModuleId(-1, 6), 0x1234u);
  EXPECT_STREQ(ReadModuleModelNumber(-1, 6), "");
}

// A failed read never leaves the previous module's text behind.
// The parent ID is the first word of a 6-byte read at 0x700; a failed read gives 0.
TEST_F(ModuleIdentity, ParentIdOfPcAndPanelModules) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  ASSERT_TRUE(sim::ApplySettingText(config, "module.3.id=0x3"));
  ASSERT_TRUE(sim::ApplySettingText(config, "module.3.parent=0xF0E1D2C3"));
  ASSERT_TRUE(sim::ApplySettingText(config, "panel.1.module.1.parent=0x00012345"));
  Start(config);
  EXPECT_EQ(ReadModuleParentId(-1, 3), 0xF0E1D2C3u);
  ASSERT_EQ(sim::LogSize(), 1u);
  sim::LogEntry read = sim::LogAt(0);
  EXPECT_EQ(read.code, 0x61);
  EXPECT_EQ(read.address, 0x700);
  EXPECT_EQ(read.device, 3);
  EXPECT_EQ(read.size, 6);
  EXPECT_TRUE(read.read);

  EXPECT_EQ(ReadModuleParentId(1, 1), 0x00012345u);
  EXPECT_EQ(ReadModuleParentId(-1, 1), 0u);  // not fitted
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x61, 0x84, 0}));
  EXPECT_EQ(ReadModuleParentId(-1, 3), 0u);
}

TEST_F(ModuleIdentity, FailedReadsGiveEmptyTexts) {
  EXPECT_STREQ(ReadModuleModelNumber(-1, 0), "DX-EX64-SU00");
  EXPECT_STREQ(ReadModuleHardwareRevision(-1, 0), "B0");
  EXPECT_STREQ(ReadModuleSerialNumber(-1, 0), "E64A1234567");
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x61, 0x84, 0}));
  EXPECT_STREQ(ReadModuleModelNumber(-1, 0), "");
  EXPECT_STREQ(ReadModuleHardwareRevision(-1, 0), "");
  EXPECT_STREQ(ReadModuleSerialNumber(-1, 0), "");
  EXPECT_EQ(ReadModuleId(-1, 0), 0u);
}

// The model number stops at the first failed piece.
TEST_F(ModuleIdentity, ModelNumberStopsAtTheFirstFailure) {
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::Busy, 0x61, 0, 1}));
  EXPECT_STREQ(ReadModuleModelNumber(-1, 0), "");
  EXPECT_EQ(sim::LogSize(), 1u);
}

TEST_F(ModuleIdentity, PanelModulesNeedTheirPanelSelected) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.panels[1].moduleFunctions = false;
  Start(config);
  EXPECT_EQ(ReadModuleId(1, 0), 0u);
  EXPECT_STREQ(ReadModuleModelNumber(1, 0), "");
  EXPECT_STREQ(ReadModuleSerialNumber(5, 2), "");  // panel 5 is not connected
  EXPECT_STREQ(ReadModuleHardwareRevision(5, 2), "");
  // Every read began with the selection of its panel, and none went further.
  ASSERT_EQ(sim::LogSize(), 4u);
  const uint8_t panels[] = {1, 1, 5, 5};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(sim::LogAt(i).code, 0x7F);
    EXPECT_EQ(sim::LogAt(i).device, panels[i]);
    EXPECT_EQ(sim::LogAt(i).target, 0);
    EXPECT_FALSE(sim::LogAt(i).read);
  }
}

// A panel's module is read with the panel module command after its panel was selected, with
// the module (not the panel) as device; the PC module of the same number stays untouched.
TEST_F(ModuleIdentity, PanelModuleFieldsAfterTheirPanelIsSelected) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  ASSERT_TRUE(test::ApplySettings(
      config, {"panel.1.module.3.fitted=1", "panel.1.module.3.id=0x00003303",
               "panel.1.module.3.hwrev=PQ", "panel.1.module.3.serial=PNL00000003",
               "panel.1.module.3.model=TP-EXP-3", "module.3.fitted=1", "module.3.id=0x1111",
               "module.3.hwrev=ZZ", "module.3.serial=PC000000003", "module.3.model=PC-EXP-3"}));
  Start(config);
  EXPECT_EQ(ReadModuleId(1, 3), 0x3303u);
  EXPECT_STREQ(ReadModuleHardwareRevision(1, 3), "PQ");
  EXPECT_STREQ(ReadModuleSerialNumber(1, 3), "PNL00000003");
  EXPECT_STREQ(ReadModuleModelNumber(1, 3), "TP-EXP-3");

  struct Command {
    int code;
    int address;
    int device;
    int size;
    bool read;
  };
  const Command select{0x7F, 0, 1, 0, false};
  const std::vector<Command> expected = {
      select,
      {0x71, 0x100, 3, 4, true},
      select,
      {0x71, 0x300, 3, 5, true},
      select,
      {0x71, 0x400, 3, 12, true},
      select,
      {0x71, 0x500, 3, 16, true},
      {0x71, 0x501, 3, 16, true},
      {0x71, 0x502, 3, 8, true},
  };
  ASSERT_EQ(sim::LogSize(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    sim::LogEntry entry = sim::LogAt(i);
    EXPECT_EQ(entry.code, expected[i].code) << i;
    EXPECT_EQ(entry.address, expected[i].address) << i;
    EXPECT_EQ(entry.device, expected[i].device) << i;
    EXPECT_EQ(entry.target, 0) << i;
    EXPECT_EQ(entry.size, expected[i].size) << i;
    EXPECT_EQ(entry.read, expected[i].read) << i;
  }
}

TEST_F(ModuleIdentity, NumbersOutsideTheCommandFieldsSendNothing) {
  EXPECT_EQ(ReadModuleId(-1, 16), 0u);
  EXPECT_EQ(ReadModuleId(-1, -1), 0u);
  EXPECT_STREQ(ReadModuleModelNumber(16, 0), "");
  EXPECT_STREQ(ReadModuleModelNumber(-2, 0), "");
  EXPECT_EQ(sim::LogSize(), 0u);
}

}  // namespace
}  // namespace drux
