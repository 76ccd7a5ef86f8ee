// The simulated controller's BIOS settings word (command 0x66): its settings, the command, its
// way through the state file, and its take-over into the effective register at a PC reboot.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "sim_setting_cases.h"
#include "sim_state_directory_fixture.h"
#include "sim_test_host.h"
#include "tests/support/sim_settings.h"

namespace {

using simtest::SettingCase;

TEST(SimBiosSettings, SettingsOfTheWord) {
  const SettingCase cases[] = {
      {"bios-word=0x80001234", true,
       [](const sim::MachineConfig& c) { return c.biosWordStored && c.biosWord == 0x80001234; }},
      {"bios-word=0", true,
       [](const sim::MachineConfig& c) { return c.biosWordStored && c.biosWord == 0; }},
      {"bios-word=none", true,
       [](const sim::MachineConfig& c) { return !c.biosWordStored && c.biosWord == 0; }},
      {"bios-head=4711", true, [](const sim::MachineConfig& c) { return c.biosWordHead == 4711; }},
      {"bios-word=0x100000000", false, nullptr},
      {"bios-word=12x", false, nullptr},
      {"bios-word=", false, nullptr},
      {"bios-head=none", false, nullptr},
  };
  simtest::ExpectSettingCases(cases);
  EXPECT_FALSE(sim::DefaultMachineConfig().biosWordStored) << "a new PC has never stored one";
}

class SimBiosCommand : public ::testing::Test {
 protected:
  static void Start(std::initializer_list<const char*> settings) {
    sim::MachineConfig config;
    ASSERT_TRUE(drux::test::ApplySettings(config, settings));
    sim::StartInMemory(config);
    sim::ClearFaults();
    sim::ClearLog();
    sim::ClearProtocolViolations();
  }
  void TearDown() override {
    EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
  }
};

TEST_F(SimBiosCommand, ReadAndWrite) {
  Start({"bios-word=0x00001234", "bios-head=0xA1B2C3D4"});
  uint8_t answer[8] = {};
  ASSERT_EQ(simtest::Read(0x66, 0x700, 0, 0, answer, 8).status, 0);
  EXPECT_EQ(std::vector<uint8_t>(answer, answer + 8),
            (std::vector<uint8_t>{0xD4, 0xC3, 0xB2, 0xA1, 0x34, 0x12, 0, 0}));

  const uint8_t word[4] = {0x04, 0x30, 0x00, 0x80};
  ASSERT_EQ(simtest::Write(0x66, 0x700, 0, 0, word, 4).status, 0);
  EXPECT_EQ(sim::Config().biosWord, 0x80003004u);
  EXPECT_EQ(sim::Config().biosWordHead, 0xA1B2C3D4u);
  EXPECT_EQ(sim::Config().biosRegister, 0u) << "the register follows at the next PC start";
}

TEST_F(SimBiosCommand, NeverStoredAndWrongAddressing) {
  Start({"bios-word=none"});
  uint8_t answer[8] = {};
  simtest::Outcome never = simtest::Read(0x66, 0x700, 0, 0, answer, 8);
  EXPECT_EQ(never.status, -3);
  EXPECT_EQ(never.errorByte, 0x85);

  const uint8_t word[4] = {1, 0, 0, 0};
  ASSERT_EQ(simtest::Write(0x66, 0x700, 0, 0, word, 4).status, 0);
  EXPECT_TRUE(sim::Config().biosWordStored);
  ASSERT_EQ(simtest::Read(0x66, 0x700, 0, 0, answer, 8).status, 0);
  EXPECT_EQ(answer[4], 1);

  struct Addressing {
    uint16_t address;
    uint8_t device;
    uint8_t target;
  };
  for (const Addressing& a :
       {Addressing{0x600, 0, 0}, Addressing{0x700, 1, 0}, Addressing{0x700, 0, 1}}) {
    simtest::Outcome read = simtest::Read(0x66, a.address, a.device, a.target, answer, 8);
    EXPECT_EQ(read.status, -3);
    EXPECT_EQ(read.errorByte, 0x83);
    simtest::Outcome write = simtest::Write(0x66, a.address, a.device, a.target, word, 4);
    EXPECT_EQ(write.errorByte, 0x83);
  }
  EXPECT_EQ(sim::Config().biosWord, 1u);
}

// A PC reboot through the controller hands the word to the firmware, which reports the PC
// type's options at their register positions; other register bits stay.
TEST_F(SimBiosCommand, RebootTakesTheWordOver) {
  struct Case {
    const char* pc;
    const char* word;
    const char* effective;
    uint32_t after;
  };
  const Case cases[] = {
      // EX41: word 10, 9, 11, 14, 0, 1 -> register 18, 17, 19, 22, 8, 9; 12 -> 20, 8 -> 16.
      {"pc=EX41", "bios-word=0xFFFFFFFF", "bios=0", 0x005F0300},
      {"pc=VP41", "bios-word=0", "bios=0xFFFFFFFF", 0xFFA0FCFF},
      {"pc=VP41", "bios-word=0x00000A02", "bios=0", (1u << 17) | (1u << 19) | (1u << 9)},
      // EX64 family: word 2, 4, 5, 13 -> 12, 10, 11, 21; SATA 0, 1 -> 8, 9.
      {"pc=EX64", "bios-word=0xFFFFFFFF", "bios=0", 0x00311F00},
      {"pc=EM64", "bios-word=0x00002016", "bios=0",
       (1u << 12) | (1u << 10) | (1u << 21) | (1u << 9)},
      // EX53 family: no SATA.
      {"pc=VP47", "bios-word=0xFFFFFFFF", "bios=0", 0x00311C00},
      {"pc=EX53", "bios-word=0x00000003", "bios=0x00000300", 0x00000300},
      // EX52 and unknown PCs: the shared options only.
      {"pc=VP52", "bios-word=0xFFFFFFFF", "bios=0", 0x00110000},
      {"pc=99", "bios-word=0x00001000", "bios=0x00010000", 0x00100000},
      // Nothing stored: nothing to take over.
      {"pc=EX64", "bios-word=none", "bios=0x12345678", 0x12345678},
  };
  for (const Case& c : cases) {
    Start({c.pc, c.word, c.effective});
    ASSERT_EQ(simtest::Write(0x50, 0, 3, 1, nullptr, 0).status, 0) << c.pc;
    EXPECT_EQ(sim::Config().biosRegister, c.after) << c.pc << " " << c.word;
  }
}

using SimBiosPersistence = simtest::StateDirectoryTest;

TEST_F(SimBiosPersistence, WordSurvivesTheStateFile) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), config));
  NewRun();
  EXPECT_NE(FileText("machine.txt").find("\nbios-word=none\nbios-head=0x00000000\n"),
            std::string::npos);
  const uint8_t word[4] = {0x00, 0x10, 0x00, 0x00};
  ASSERT_EQ(simtest::Write(0x66, 0x700, 0, 0, word, 4).status, 0);
  ASSERT_TRUE(sim::Persist());
  EXPECT_NE(FileText("machine.txt").find("\nbios-word=0x00001000\n"), std::string::npos);
  NewRun();
  EXPECT_TRUE(sim::Config().biosWordStored);
  EXPECT_EQ(sim::Config().biosWord, 0x1000u);
}

}  // namespace
