// Register queries against the simulated controller: detection, status bits, panel channels.
#include <gtest/gtest.h>

#include <cstring>

#include "controller/controller_info.h"
#include "controller/registers.h"
#include "controller_sim_fixture.h"

namespace drux {
namespace {

using testing::ControllerTest;
using testing::StartSimulatedController;

struct DetectCase {
  bool present;
  const char* id;
  int expectedResult;
  int expectedVariant;  // 99: left untouched
};

TEST_F(ControllerTest, DetectControllerByIdentificationLetters) {
  const DetectCase cases[] =
      {
          {true, "DRUX", 1, 0},   {true, "DRUU", 1, 1},  {true, "DRUY", 0, 99},
          {true, "DRUA", 0, 99},  {true, "DRXX", 0, 99}, {true, "ERUX", 0, 99},
          {false, "DRUX", 0, 99},  // no device: all ones on the ports
      };
  for (const DetectCase& c : cases) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    config.present = c.present;
    std::memcpy(config.id, c.id, 5);
    StartSimulatedController(config);
    int variant = 99;
    EXPECT_EQ(DetectController(&variant), c.expectedResult) << c.id << " present " << c.present;
    EXPECT_EQ(variant, c.expectedVariant) << c.id << " present " << c.present;
    EXPECT_EQ(sim::PortAccessCount(), 4u) << "one read of the identification register";
  }
}

TEST_F(ControllerTest, RegisterPrimitivesAreLittleEndianByteAccesses) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.updateCounter = 0x12345678;
  StartSimulatedController(config);
  EXPECT_EQ(ReadRegister(kPortUpdateCounter), 0x12345678u);
  EXPECT_EQ(sim::PortAccessCount(), 4u);
  EXPECT_EQ(ReadRegisterByte(kPortUpdateCounter + 3), 0x12);
}

TEST_F(ControllerTest, SystemStatusAndFeatureQueries) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.pcType = 0x2A;
  config.systemFlags = kSystemDruxHighArea | kSystemDruxCrcError;
  config.updateCounter = 7;
  config.featureRegister = kFeatureKeyConfiguration;
  config.biosRegister = 0xA5A50001;
  StartSimulatedController(config);
  EXPECT_EQ(PcTypeCode(), 0x2A);
  EXPECT_TRUE(DruxStartedFromHighArea());
  EXPECT_FALSE(LinkStartedFromHighArea());
  EXPECT_FALSE(LinkFpgaCrcError());
  EXPECT_TRUE(DruxCrcError());
  EXPECT_EQ(DruxUpdateCounter(), 7u);
  EXPECT_TRUE(KeyConfigurationAvailable());
  EXPECT_EQ(BiosSettingsRegister(), 0xA5A50001u);

  config.systemFlags = kSystemLinkHighArea | kSystemLinkCrcError;
  config.featureRegister = 0;
  StartSimulatedController(config);
  EXPECT_FALSE(DruxStartedFromHighArea());
  EXPECT_TRUE(LinkStartedFromHighArea());
  EXPECT_TRUE(LinkFpgaCrcError());
  EXPECT_FALSE(DruxCrcError());
  EXPECT_FALSE(KeyConfigurationAvailable());
  EXPECT_EQ(PcTypeCode(), 0x2A) << "status bits must not leak into the PC type";
}

struct SelectCase {
  uint32_t channels;
  int32_t panel;
  int expectedStatus;
  uint64_t expectedAccesses;  // 4 reads of the capability register, 1 write of 0x415F
};

TEST_F(ControllerTest, SelectPanelWithinTheChannelCount) {
  const SelectCase cases[] = {
      {16, 0, 0, 5}, {16, 15, 0, 5}, {16, 16, -1, 4}, {16, -1, -1, 0},
      {1, 0, 0, 5},  {1, 1, -1, 4},  {1, -1, -1, 0},  {1, 15, -1, 4},
  };
  for (const SelectCase& c : cases) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    config.panelChannels = c.channels;
    StartSimulatedController(config);
    EXPECT_EQ(PanelChannelCount(), c.channels);
    if (c.channels == 1) {
      EXPECT_EQ(SelectPanel(0), 0);
    } else {
      EXPECT_EQ(SelectPanel(7), 0);
    }
    const uint8_t selectedBefore = sim::PortRead(kPortPanelSelect);
    sim::ClearPortAccessCount();
    EXPECT_EQ(SelectPanel(c.panel), c.expectedStatus)
        << c.channels << " channels, panel " << c.panel;
    // A refused panel writes nothing to 0x415F.
    EXPECT_EQ(sim::PortAccessCount(), c.expectedAccesses)
        << c.channels << " channels, panel " << c.panel;
    EXPECT_EQ(sim::PortRead(kPortPanelSelect),
              c.expectedStatus == 0 ? uint8_t(c.panel) : selectedBefore)
        << c.channels << " channels, panel " << c.panel;
  }
}

TEST_F(ControllerTest, PanelInfoOfTheSelectedPanel) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.panels[3] = sim::PanelConfig{true, 0x1234, 0x3, 0x21, true};
  config.panels[4] = sim::PanelConfig{false, 0xBEEF, 0x1, 0x02, true};
  StartSimulatedController(config);

  PanelInfo info{};
  EXPECT_EQ(ReadPanelInfo(&info, 3), 0);
  EXPECT_EQ(info.linkFpgaMajor, 3u);
  EXPECT_EQ(info.linkFpgaMinor, 0x21u);
  EXPECT_EQ(info.versionId, 0x1234u);
  EXPECT_EQ(PanelVersionId(3), 0x1234u);
  EXPECT_TRUE(IsPanelConnected(3));
  EXPECT_FALSE(IsPanelConnected(4));
  EXPECT_EQ(PanelVersionId(4), 0xBEEFu);

  PanelInfo untouched{11, 22, 33};
  EXPECT_EQ(ReadPanelInfo(&untouched, 16), -1);
  EXPECT_EQ(untouched.linkFpgaMajor, 11u);
  EXPECT_EQ(untouched.versionId, 33u);
  EXPECT_EQ(PanelVersionId(-1), 0u);
  EXPECT_FALSE(IsPanelConnected(-1));
  EXPECT_FALSE(IsPanelConnected(16));
}

TEST_F(ControllerTest, ControllerVersionFromCommand0x10) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.firmwareVersion = 0x0A3C;  // 10.60
  std::memcpy(config.id, "DRUU", 5);
  StartSimulatedController(config);
  ControllerVersion record{};
  uint8_t errorByte = 0xEE;
  ASSERT_EQ(ReadControllerVersion(&record, 1, 1, &errorByte), 0);
  EXPECT_STREQ(record.id, "DRUU");
  EXPECT_EQ(record.version, 0x0A3Cu);
  ASSERT_EQ(sim::LogSize(), 1u);
  const sim::LogEntry entry = sim::LogAt(0);
  EXPECT_EQ(entry.code, 0x10);
  EXPECT_EQ(entry.target, 1);
  EXPECT_EQ(entry.device, 1);
  EXPECT_TRUE(entry.read);
}

TEST_F(ControllerTest, FailedVersionReadLeavesTheRecord) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0x10, 0x85, 0}));
  ControllerVersion record{{'a', 'b', 'c', 'd', 0}, 77};
  uint8_t errorByte = 0;
  EXPECT_EQ(ReadControllerVersion(&record, 1, 1, &errorByte), -3);
  EXPECT_EQ(errorByte, 0x85);
  EXPECT_STREQ(record.id, "abcd");
  EXPECT_EQ(record.version, 77u);
}

}  // namespace
}  // namespace drux
