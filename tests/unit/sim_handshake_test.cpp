// The simulated controller at register level: identification, registers, the command
// handshake and the host's protocol violations.
#include <gtest/gtest.h>

#include "sim_test_host.h"

namespace {

using simtest::ReadReg;
using simtest::WriteReg;

sim::MachineConfig TestMachine() {
  return sim::DefaultMachineConfig();
}

TEST(SimIdentification, EncodesLettersInTheIdentificationRegister) {
  struct Case {
    const char* id;
    uint32_t expected;
  };
  const Case cases[] = {
      {"DRUX", drux::EncodeIdLetters('D', 'R', 'U', 'X')},
      {"DRUU", drux::EncodeIdLetters('D', 'R', 'U', 'U')},
      {"AAAA", 0},
      {"ZZZZ", 0xCE739000u},
      {"DRUX", 0x1C697000u},
  };
  for (const Case& c : cases) {
    sim::MachineConfig config = TestMachine();
    std::memcpy(config.id, c.id, 5);
    sim::StartInMemory(config);
    EXPECT_EQ(ReadReg(drux::kPortIdentification), c.expected) << c.id;
  }
}

TEST(SimIdentification, AbsentControllerReadsAllOnesAndIgnoresWrites) {
  sim::MachineConfig config = TestMachine();
  config.present = false;
  sim::StartInMemory(config);
  EXPECT_EQ(ReadReg(drux::kPortIdentification), 0xFFFFFFFFu);
  EXPECT_EQ(ReadReg(drux::kPortSystemStatus), 0xFFFFFFFFu);
  WriteReg(drux::kPortCommandStatus, drux::kStatusLockBit);
  WriteReg(drux::kPortCommand, simtest::Word(0x10, 0, 1, 1, true));
  EXPECT_EQ(sim::LogSize(), 0u);
  EXPECT_EQ(sim::PortRead(0x4118), 0xFF);
}

TEST(SimRegisters, PortsOutsideTheBlockReadAllOnesAndUnlistedPortsZero) {
  sim::StartInMemory(TestMachine());
  EXPECT_EQ(sim::PortRead(0x3FFF), 0xFF);
  EXPECT_EQ(sim::PortRead(0x4194), 0xFF);
  EXPECT_EQ(ReadReg(0x4104), 0u);
  EXPECT_EQ(ReadReg(0x4180), 0u);
}

TEST(SimRegisters, SystemRegistersCarryTheConfiguration) {
  sim::MachineConfig config = TestMachine();
  config.pcType = 15;
  config.systemFlags = drux::kSystemDruxHighArea | drux::kSystemLinkCrcError;
  config.updateCounter = 0x01020304;
  config.featureRegister = drux::kFeatureKeyConfiguration;
  config.biosRegister = 0xA5A5000F;
  config.panelChannels = 1;
  sim::StartInMemory(config);
  EXPECT_EQ(ReadReg(drux::kPortSystemStatus), 15u | (1u << 8) | (1u << 12));
  EXPECT_EQ(ReadReg(drux::kPortUpdateCounter), 0x01020304u);
  EXPECT_EQ(ReadReg(drux::kPortFeature), drux::kFeatureKeyConfiguration);
  EXPECT_EQ(ReadReg(drux::kPortBiosSettings), 0xA5A5000Fu);
  EXPECT_EQ(ReadReg(drux::kPortCapability), drux::kCapabilityOnePanelChannel);
  config.panelChannels = 16;
  sim::StartInMemory(config);
  EXPECT_EQ(ReadReg(drux::kPortCapability), 0u);
}

TEST(SimRegisters, PanelRegistersFollowThePanelSelectByte) {
  sim::MachineConfig config = TestMachine();
  config.panels[0] = sim::PanelConfig{true, 0x5886, 3, 0x21, true};
  config.panels[5] = sim::PanelConfig{false, 0x1234, 0xF, 0xFF, true};
  sim::StartInMemory(config);
  struct Case {
    uint8_t panel;
    uint32_t info;
    uint32_t link;
  };
  const Case cases[] = {
      {0, 0x58860321u, drux::kPanelLinkConnected},
      {5, 0x12340FFFu, 0},  // configured but not connected: info as configured, link bit clear
      {7, 0, 0},
      {16, 0, 0},  // no such channel
  };
  for (const Case& c : cases) {
    sim::PortWrite(drux::kPortPanelSelect, c.panel);
    EXPECT_EQ(sim::PortRead(drux::kPortPanelSelect), c.panel);
    EXPECT_EQ(ReadReg(drux::kPortPanelInfo), c.info) << int(c.panel);
    EXPECT_EQ(ReadReg(drux::kPortPanelLink), c.link) << int(c.panel);
  }
}

TEST(SimRegisters, OneChannelMachineHidesPanelsBeyondChannelZero) {
  sim::MachineConfig config = TestMachine();
  config.panelChannels = 1;
  sim::StartInMemory(config);
  sim::PortWrite(drux::kPortPanelSelect, 1);
  EXPECT_EQ(ReadReg(drux::kPortPanelLink), 0u);
  EXPECT_EQ(ReadReg(drux::kPortPanelInfo), 0u);
}

TEST(SimHandshake, StatusRegisterKeepsControllerBitsAndTracksLockAndState) {
  sim::StartInMemory(TestMachine());
  uint32_t idle = ReadReg(drux::kPortCommandStatus);
  EXPECT_EQ(idle & drux::kStatusHostBits, 0u);
  EXPECT_NE(idle & 0xFFFFF000u, 0u);
  EXPECT_NE(idle & 0x0000F000u, 0u);  // every byte above bit 11 is occupied
  EXPECT_NE(idle & 0x00FF0000u, 0u);
  EXPECT_NE(idle & 0xFF000000u, 0u);

  WriteReg(drux::kPortCommandStatus, idle | drux::kStatusLockBit);
  EXPECT_EQ(ReadReg(drux::kPortCommandStatus), idle | drux::kStatusLockBit);
  WriteReg(drux::kPortCommand, simtest::Word(0x10, 0, 1, 1, true));
  uint32_t finished = ReadReg(drux::kPortCommandStatus);
  EXPECT_EQ((finished >> 8) & 7, 1u);
  EXPECT_EQ(finished & 0xFF, 0u);
  EXPECT_NE(finished & drux::kStatusLockBit, 0u);
  WriteReg(drux::kPortCommandStatus, finished & ~drux::kStatusHostBits);
  EXPECT_EQ(ReadReg(drux::kPortCommandStatus), idle);
  EXPECT_EQ(sim::ProtocolViolationCount(), 0u);
}

TEST(SimHandshake, ReadOfOneLargeBlockCostsExactly278Accesses) {
  sim::StartInMemory(TestMachine());
  sim::ClearPortAccessCount();
  uint8_t block[256];
  simtest::Outcome outcome = simtest::Read(0xE0, 0, 0, 0, block, sizeof block);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.polls, 1);
  EXPECT_EQ(sim::PortAccessCount(), 278u);
}

TEST(SimHandshake, ControllerIdentityReplyCarriesLettersAndFirmwareVersion) {
  struct Case {
    const char* id;
    uint16_t firmware;
    uint32_t expected;
  };
  const Case cases[] = {
      {"DRUX", 0x0105, drux::EncodeIdLetters('D', 'R', 'U', 'X') | 0x105},
      {"DRUU", 0x0F2A, drux::EncodeIdLetters('D', 'R', 'U', 'U') | 0xF2A},
      {"QWER", 0x0000, drux::EncodeIdLetters('Q', 'W', 'E', 'R')},
  };
  for (const Case& c : cases) {
    sim::MachineConfig config = TestMachine();
    std::memcpy(config.id, c.id, 5);
    config.firmwareVersion = c.firmware;
    sim::StartInMemory(config);
    uint8_t reply[4] = {};
    ASSERT_EQ(simtest::Read(0x10, 0, 1, 1, reply, 4).status, 0);
    uint32_t word = uint32_t(reply[0]) | uint32_t(reply[1]) << 8 | uint32_t(reply[2]) << 16 |
                    uint32_t(reply[3]) << 24;
    EXPECT_EQ(word, c.expected) << c.id;
  }
}

TEST(SimHandshake, RejectedCommandsReportTheirErrorByte) {
  sim::StartInMemory(TestMachine());
  struct Case {
    uint8_t code;
    uint16_t address;
    uint8_t device;
    uint8_t target;
    bool read;
    uint8_t error;
  };
  const Case cases[] = {
      {0x11, 0, 1, 1, true, 0x81},   // unknown command
      {0xFF, 0, 0, 0, false, 0x81},  // unknown command
      {0x10, 0, 1, 2, true, 0x83},   // wrong target
      {0x10, 0, 0, 1, true, 0x83},   // wrong device
      {0x10, 0, 1, 1, false, 0x83},  // identity cannot be written
      {0xA0, 0, 1, 0, true, 0x83},   // no flash behind device 1
      {0xA0, 0, 0, 1, true, 0x83},   // flash is target 0
  };
  for (const Case& c : cases) {
    uint8_t data[16] = {};
    simtest::Outcome outcome = simtest::Run(c.code, c.address, c.device, c.target, c.read, data, 4);
    EXPECT_EQ(outcome.status, -3) << std::hex << int(c.code);
    EXPECT_EQ(outcome.errorByte, c.error) << std::hex << int(c.code);
  }
  EXPECT_EQ(sim::ProtocolViolationCount(), 0u);
}

TEST(SimViolations, DetectsHostsThatBreakTheProtocol) {
  struct Case {
    const char* name;
    void (*host)();
    const char* expectedText;
  };
  const Case cases[] = {
      {"command without the lock",
       [] { WriteReg(drux::kPortCommand, simtest::Word(0x10, 0, 1, 1, true)); },
       "does not hold the lock"},
      {"host clears controller bits",
       [] { WriteReg(drux::kPortCommandStatus, drux::kStatusLockBit); }, "bits 12-31"},
      {"second command before the release",
       [] {
         uint32_t status = ReadReg(drux::kPortCommandStatus);
         WriteReg(drux::kPortCommandStatus, status | drux::kStatusLockBit);
         WriteReg(drux::kPortCommand, simtest::Word(0x10, 0, 1, 1, true));
         WriteReg(drux::kPortCommand, simtest::Word(0x10, 0, 1, 1, true));
       },
       "before the previous command was released"},
      {"window read while the command runs",
       [] {
         sim::AddFault(sim::Fault{sim::FaultKind::NeverFinishes, 0x10, 0, 0});
         uint32_t status = ReadReg(drux::kPortCommandStatus);
         WriteReg(drux::kPortCommandStatus, status | drux::kStatusLockBit);
         WriteReg(drux::kPortCommand, simtest::Word(0x10, 0, 1, 1, true));
         sim::PortRead(drux::kPortSmallWindow);
         sim::PortRead(drux::kPortSmallWindow + 1);
       },
       "still running"},
      {"status written while another party holds the lock",
       [] {
         sim::AddFault(sim::Fault{sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0});
         WriteReg(drux::kPortCommandStatus, ReadReg(drux::kPortCommandStatus));
       },
       "another party holds the lock"},
  };
  for (const Case& c : cases) {
    sim::StartInMemory(TestMachine());
    c.host();
    EXPECT_EQ(sim::ProtocolViolationCount(), 1u) << c.name;
    EXPECT_NE(std::strstr(sim::LastProtocolViolation(), c.expectedText), nullptr)
        << c.name << ": " << sim::LastProtocolViolation();
  }
  sim::ClearProtocolViolations();
  EXPECT_EQ(sim::ProtocolViolationCount(), 0u);
  EXPECT_STREQ(sim::LastProtocolViolation(), "");
}

TEST(SimViolations, ReleaseOfAHungCommandIsAllowedAndResetsTheState) {
  sim::StartInMemory(TestMachine());
  sim::AddFault(sim::Fault{sim::FaultKind::NeverFinishes, 0x10, 0, 0});
  uint8_t reply[4];
  simtest::Outcome outcome = simtest::Read(0x10, 0, 1, 1, reply, 4);
  EXPECT_EQ(outcome.status, 1);  // the host's poll bound ended it
  EXPECT_EQ(outcome.polls, 4);
  EXPECT_EQ(ReadReg(drux::kPortCommandStatus) & drux::kStatusHostBits, 0u);
  sim::ClearFaults();
  EXPECT_EQ(simtest::Read(0x10, 0, 1, 1, reply, 4).status, 0);
  EXPECT_EQ(sim::ProtocolViolationCount(), 0u);
}

}  // namespace
