// Commands of the simulated controller for diagnostics and panel modules: PC identity data
// (0x12), statistics of PC and panel modules (0x65, 0x75), panel module identity (0x71) after
// the panel selection (0x7F), the panel record (0x30), the PC reboot (0x50) and panel
// requests (0x22); and faults limited to one direction.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim_fault_text_cases.h"
#include "sim_test_host.h"
#include "tests/support/sim_settings.h"

namespace {

using simtest::Read;
using simtest::Write;

std::vector<uint8_t> ReadBytes(uint8_t code, uint16_t address, uint8_t device, uint8_t target,
                               uint32_t size, uint8_t* errorByte = nullptr) {
  std::vector<uint8_t> bytes(size, 0xEE);
  simtest::Outcome outcome = Read(code, address, device, target, bytes.data(), size);
  if (errorByte != nullptr) {
    *errorByte = outcome.errorByte;
  }
  if (outcome.status != 0) {
    bytes.clear();
  }
  return bytes;
}

// The error byte of a command (0 = finished without error).
uint8_t ReadError(uint8_t code, uint16_t address, uint8_t device, uint8_t target,
                  uint32_t size = 16) {
  uint8_t bytes[256];
  return Read(code, address, device, target, bytes, size).errorByte;
}

uint8_t WriteError(uint8_t code, uint16_t address, uint8_t device, uint8_t target,
                   const std::vector<uint8_t>& payload) {
  return Write(code, address, device, target, payload.data(), uint32_t(payload.size())).errorByte;
}

sim::MachineConfig ConfigWith(std::initializer_list<const char*> settings) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  EXPECT_TRUE(drux::test::ApplySettings(config, settings));
  return config;
}

class SimDiagnostics : public ::testing::Test {
 protected:
  void Start(const sim::MachineConfig& config) {
    sim::StartInMemory(config);
    sim::ClearProtocolViolations();
  }
  void TearDown() override {
    EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
  }
};

TEST_F(SimDiagnostics, UserSerialIdRecordKeepsWhatIsWritten) {
  Start(ConfigWith({"uid=0x08154711", "uid-head=0xA1B2C3D4"}));
  EXPECT_EQ(ReadBytes(0x12, 0, 0, 1, 8),
            (std::vector<uint8_t>{0xD4, 0xC3, 0xB2, 0xA1, 0x11, 0x47, 0x15, 0x08}));
  // All eight bytes are stored as written: a host that changes bytes 0-3 is visible.
  ASSERT_EQ(WriteError(0x12, 0, 0, 1, {1, 2, 3, 4, 0xEF, 0xBE, 0xAD, 0xDE}), 0);
  EXPECT_EQ(sim::Config().userSerialId, 0xDEADBEEFu);
  EXPECT_EQ(sim::Config().userSerialIdHead, 0x04030201u);
  EXPECT_EQ(ReadBytes(0x12, 0, 0, 1, 8),
            (std::vector<uint8_t>{1, 2, 3, 4, 0xEF, 0xBE, 0xAD, 0xDE}));
}

TEST_F(SimDiagnostics, PcIdentityRecords) {
  Start(ConfigWith({"pc-device-id=0x1267", "pc-parent-id=0x00ABCDEF",
                    "pc-model=0123456789abcdefFEDCBA9876543210XYZW-._+"}));
  std::vector<uint8_t> device = ReadBytes(0x12, 0, 1, 1, 16);
  EXPECT_EQ(device, (std::vector<uint8_t>{0x67, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  std::vector<uint8_t> parent = ReadBytes(0x12, 0x40, 2, 1, 8);
  EXPECT_EQ(parent, (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0, 0, 0, 0, 0}));
  std::string model;
  for (uint16_t address : {0x10, 0x20}) {
    std::vector<uint8_t> piece = ReadBytes(0x12, address, 2, 1, 16);
    model.append(piece.begin(), piece.end());
  }
  std::vector<uint8_t> last = ReadBytes(0x12, 0x30, 2, 1, 16);
  model.append(last.begin(), last.begin() + 8);
  EXPECT_EQ(model, "0123456789abcdefFEDCBA9876543210XYZW-._+");
  EXPECT_EQ(std::vector<uint8_t>(last.begin() + 8, last.end()), std::vector<uint8_t>(8, 0))
      << "beyond the 40 characters the record reads zero";
}

TEST_F(SimDiagnostics, PcIdentityRefusesOtherRequests) {
  Start(sim::DefaultMachineConfig());
  struct Case {
    bool read;
    uint16_t address;
    uint8_t device;
    uint8_t target;
  };
  const Case cases[] = {
      {true, 0, 0, 0},     // wrong target
      {true, 8, 0, 1},     // no record at device 0 address 8
      {true, 0x10, 1, 1},  // device 1 has its record at address 0 only
      {true, 0, 2, 1},     {true, 0x50, 2, 1},
      {true, 0, 3, 1},     {false, 0, 1, 1},  // the device ID record is read-only
      {false, 0x40, 2, 1},
  };
  for (const Case& c : cases) {
    uint8_t error =
        c.read ? ReadError(0x12, c.address, c.device, c.target)
               : WriteError(0x12, c.address, c.device, c.target, std::vector<uint8_t>(16, 0x55));
    EXPECT_EQ(error, 0x83) << c.read << " " << c.address << " " << int(c.device);
  }
  EXPECT_EQ(sim::Config().pcDeviceId, sim::DefaultMachineConfig().pcDeviceId);
}

TEST_F(SimDiagnostics, ModuleStatisticsRecordsOfAPcModule) {
  Start(ConfigWith({
      "module.3.power-on=0x01020304,0x0A0B0C0D",
      "module.3.backlight-on=5,6",
      "module.3.on-battery=7,8",
      "module.3.temp-max.2=0x11223344,0x55667788,0xFF40",
      "module.3.temp-min.3=1,2,0x1900",
      "module.3.fan.1=0x100,0x200,0x300,0x400",
  }));
  struct Case {
    uint16_t address;
    uint8_t target;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {0x100, 0, {4, 3, 2, 1, 0x0D, 0x0C, 0x0B, 0x0A}},
      {0x100, 1, {5, 0, 0, 0, 6, 0, 0, 0}},
      {0x100, 3, {7, 0, 0, 0, 8, 0, 0, 0}},
      {0x000, 2, {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0x40, 0xFF}},
      {0x001, 3, {1, 0, 0, 0, 2, 0, 0, 0, 0x00, 0x19}},
      {0x200, 1, {0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadBytes(0x65, c.address, 3, c.target, uint32_t(c.bytes.size())), c.bytes)
        << c.address << "/" << int(c.target);
  }
}

TEST_F(SimDiagnostics, MissingRecordsAndBadRequests) {
  Start(ConfigWith({"module.3.power-on=1,1", "module.3.temp-max.0=1,1,1", "module.3.fan.0=1,1,1,1",
                    "module.4.fitted=0"}));
  struct Case {
    uint16_t address;
    uint8_t device;
    uint8_t target;
    uint8_t error;
  };
  const Case cases[] = {
      {0x100, 3, 0, 0x00}, {0x100, 3, 1, 0x85},  // no backlight-on record
      {0x100, 3, 3, 0x85}, {0x000, 3, 0, 0x00}, {0x000, 3, 1, 0x85}, {0x001, 3, 0, 0x85},
      {0x200, 3, 0, 0x00}, {0x200, 3, 3, 0x85}, {0x100, 4, 0, 0x85},  // module not fitted
      {0x100, 3, 2, 0x83},                                            // no record kind 2
      {0x000, 3, 4, 0x83},                                            // sensors 0-3 only
      {0x200, 3, 4, 0x83},                                            // fans 0-3 only
      {0x002, 3, 0, 0x83}, {0x300, 3, 0, 0x83},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadError(0x65, c.address, c.device, c.target), c.error)
        << c.address << "/" << int(c.device) << "/" << int(c.target);
  }
  EXPECT_EQ(WriteError(0x65, 0x100, 3, 0, std::vector<uint8_t>(8, 0)), 0x83)
      << "statistics are read-only";
}

TEST_F(SimDiagnostics, PanelModulesNeedTheirPanelSelected) {
  Start(ConfigWith({
      "panel.2.connected=1",
      "panel.2.module.5.id=0x2525",
      "panel.2.module.5.model=PANEL TWO",
      "panel.2.module.5.power-on=22,2",
      "panel.3.connected=1",
      "panel.3.module.5.id=0x3535",
      "panel.3.module.5.power-on=33,3",
      "panel.4.connected=1",
      "panel.4.modules=0",
      "module.5.id=0x0505",
  }));
  EXPECT_EQ(ReadError(0x71, 0x100, 5, 0, 4), 0x83) << "no panel selected yet";
  EXPECT_EQ(ReadError(0x75, 0x100, 5, 0, 8), 0x83);

  ASSERT_EQ(WriteError(0x7F, 0, 2, 0, {}), 0);
  EXPECT_EQ(ReadBytes(0x71, 0x100, 5, 0, 4), (std::vector<uint8_t>{0x25, 0x25, 0, 0}));
  std::vector<uint8_t> model = ReadBytes(0x71, 0x500, 5, 0, 16);
  EXPECT_EQ(std::string(model.begin(), model.begin() + 9), "PANEL TWO");
  EXPECT_EQ(ReadBytes(0x75, 0x100, 5, 0, 8), (std::vector<uint8_t>{22, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(ReadError(0x71, 0x100, 6, 0, 4), 0x85) << "module 6 of panel 2 is not fitted";

  ASSERT_EQ(WriteError(0x7F, 0, 3, 0, {}), 0);
  EXPECT_EQ(ReadBytes(0x75, 0x100, 5, 0, 8), (std::vector<uint8_t>{33, 0, 0, 0, 3, 0, 0, 0}));

  // A failed selection leaves the previous one.
  EXPECT_EQ(WriteError(0x7F, 0, 4, 0, {}), 0x85);
  EXPECT_EQ(ReadBytes(0x71, 0x100, 5, 0, 4), (std::vector<uint8_t>{0x35, 0x35, 0, 0}));

  // The selected panel disconnected in the meantime.
  sim::MachineConfig config = sim::Config();
  config.panels[3].connected = false;
  sim::UpdateConfig(config);
  EXPECT_EQ(ReadError(0x71, 0x100, 5, 0, 4), 0x85);
  EXPECT_EQ(ReadError(0x75, 0x100, 5, 0, 8), 0x85);
}

TEST_F(SimDiagnostics, PanelStatisticsRecord) {
  Start(ConfigWith({"panel.2.connected=1", "panel.2.backlight-hours=0x1234",
                    "panel.2.backlight-cycles=0xABCD", "channels=16"}));
  EXPECT_EQ(ReadBytes(0x30, 0, 2, 3, 4), (std::vector<uint8_t>{0xCD, 0xAB, 0x34, 0x12}));
  EXPECT_EQ(ReadError(0x30, 0, 5, 3, 4), 0x85) << "panel 5 is not connected";
  EXPECT_EQ(ReadError(0x30, 0, 2, 4, 4), 0x83);
  EXPECT_EQ(ReadError(0x30, 1, 2, 3, 4), 0x83);
  EXPECT_EQ(WriteError(0x30, 0, 2, 3, {0, 0, 0, 0}), 0x83);

  Start(ConfigWith({"panel.2.connected=1", "channels=1"}));
  EXPECT_EQ(ReadError(0x30, 0, 2, 3, 4), 0x85) << "beyond the channel count";
  EXPECT_EQ(ReadBytes(0x30, 0, 0, 3, 4).size(), 4u);
}

TEST_F(SimDiagnostics, PcRebootIsAPowerCycle) {
  Start(sim::DefaultMachineConfig());
  ASSERT_EQ(WriteError(0x7F, 0, 0, 0, {}), 0);
  ASSERT_EQ(ReadError(0x71, 0x100, 0, 0, 4), 0);
  EXPECT_EQ(sim::PcRebootCount(), 0u);
  ASSERT_EQ(WriteError(0x50, 0, 3, 1, {}), 0);
  ASSERT_EQ(WriteError(0x50, 0, 3, 1, {}), 0);
  EXPECT_EQ(sim::PcRebootCount(), 2u);
  ASSERT_GE(sim::LogSize(), 2u);
  EXPECT_EQ(sim::LogAt(sim::LogSize() - 1).code, 0x50);
  EXPECT_EQ(ReadError(0x71, 0x100, 0, 0, 4), 0x83) << "the restart forgot the selected panel";

  EXPECT_EQ(WriteError(0x50, 0, 2, 1, {}), 0x83);
  EXPECT_EQ(WriteError(0x50, 0, 3, 0, {}), 0x83);
  EXPECT_EQ(ReadError(0x50, 0, 3, 1, 4), 0x83);
  EXPECT_EQ(sim::PcRebootCount(), 2u);
}

TEST_F(SimDiagnostics, PanelRequestsAreCountedWithTheirFirstByte) {
  Start(sim::DefaultMachineConfig());
  std::vector<uint8_t> request(16, 0);
  request[0] = 2;
  ASSERT_EQ(WriteError(0x22, 0, 1, 3, request), 0);
  request[0] = 8;
  ASSERT_EQ(WriteError(0x22, 0, 1, 3, request), 0);
  EXPECT_EQ(sim::PanelRequestsOf(1).count, 2u);
  EXPECT_EQ(sim::PanelRequestsOf(1).lastRequest, 8);
  EXPECT_EQ(sim::PanelRequestsOf(0).count, 0u);
  EXPECT_EQ(sim::LogAt(sim::LogSize() - 1).size, 16);

  EXPECT_EQ(WriteError(0x22, 0, 7, 3, request), 0x85) << "panel 7 is not connected";
  EXPECT_EQ(WriteError(0x22, 0, 1, 4, request), 0x83);
  EXPECT_EQ(ReadError(0x22, 0, 1, 3), 0x83);
  EXPECT_EQ(sim::PanelRequestsOf(1).count, 2u);
  EXPECT_EQ(sim::PanelRequestsOf(7).count, 0u);
  EXPECT_EQ(sim::PanelRequestsOf(16).count, 0u);
}

TEST_F(SimDiagnostics, FaultsLimitedToOneDirection) {
  Start(sim::DefaultMachineConfig());
  ASSERT_TRUE(sim::AddFault(
      sim::Fault{sim::FaultKind::ErrorByte, 0x12, 0x83, 0, sim::FaultDirection::Write}));
  EXPECT_EQ(ReadError(0x12, 0, 0, 1, 8), 0);
  EXPECT_EQ(WriteError(0x12, 0, 0, 1, std::vector<uint8_t>(8, 1)), 0x83);
  EXPECT_EQ(sim::Config().userSerialId, 0u);

  sim::ClearFaults();
  ASSERT_TRUE(
      sim::AddFault(sim::Fault{sim::FaultKind::Busy, 0x12, 0, 1, sim::FaultDirection::Read}));
  EXPECT_EQ(WriteError(0x12, 0, 0, 1, std::vector<uint8_t>(8, 1)), 0) << "writes pass";
  EXPECT_EQ(sim::FaultCount(), 1) << "and leave the countdown alone";
  EXPECT_EQ(ReadError(0x12, 0, 0, 1, 8), 0x84);
  EXPECT_EQ(ReadError(0x12, 0, 0, 1, 8), 0);
  EXPECT_EQ(sim::FaultCount(), 0);
}

TEST(SimDiagnosticsFaultText, DirectionWordRoundTrips) {
  const simtest::FaultTextCase cases[] = {
      {"error 0x12 0x83 write", true, "error 0x12 0x83 write"},
      {"busy 0x12 2 read", true, "busy 0x12 2 read"},
      {"hang any write", true, "hang any write"},
      {"error 0x12 0x83", true, "error 0x12 0x83"},
      {"lock write", false, nullptr},
      {"error 0x12 write", false, nullptr},
      {"hang write", false, nullptr},
      {"error 0x12 0x83 sideways", false, nullptr},
      {"error 0x12 0x83 write read", false, nullptr},
  };
  simtest::ExpectFaultTexts(cases);
}

}  // namespace
