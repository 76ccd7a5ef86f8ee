// Injected faults of the simulated controller and its command log.
#include <gtest/gtest.h>

#include <string>

#include "sim_fault_text_cases.h"
#include "sim_test_host.h"

namespace {

uint8_t block[256];

simtest::Outcome ReadFlashBlock(uint8_t code = 0xE0) {
  return simtest::Read(code, 0, 0, 0, block, 256);
}

class SimFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::StartInMemory(sim::DefaultMachineConfig()); }
};

TEST_F(SimFaultTest, BusyAnswersCountDownThenTheCommandRuns) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::Busy, 0xE0, 0, 2}));
  const int expected[][2] = {{-3, 0x84}, {-3, 0x84}, {0, 0}, {0, 0}};
  for (const auto& e : expected) {
    simtest::Outcome outcome = ReadFlashBlock();
    EXPECT_EQ(outcome.status, e[0]);
    EXPECT_EQ(outcome.errorByte, e[1]);
  }
  EXPECT_EQ(sim::FaultCount(), 0);
}

TEST_F(SimFaultTest, FaultsMatchTheCodeAsWritten) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0xE1, 0x82, 0}));
  EXPECT_EQ(ReadFlashBlock(0xE0).status, 0);
  EXPECT_EQ(ReadFlashBlock(0xE1).errorByte, 0x82);
  EXPECT_EQ(ReadFlashBlock(0xE1).errorByte, 0x82) << "an error fault stays until cleared";
  sim::ClearFaults();
  EXPECT_EQ(ReadFlashBlock(0xE1).status, 0);
}

TEST_F(SimFaultTest, AnyCommandFaultHitsEveryCode) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, sim::kAnyCommand, 0x80, 0}));
  uint8_t reply[4];
  EXPECT_EQ(simtest::Read(0x10, 0, 1, 1, reply, 4).errorByte, 0x80);
  EXPECT_EQ(ReadFlashBlock(0xE3).errorByte, 0x80);
  EXPECT_EQ(simtest::Read(0x99, 0, 1, 1, reply, 4).errorByte, 0x80);
}

TEST_F(SimFaultTest, HangKeepsTheWorkingStateAndHasNoEffect) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::NeverFinishes, 0xA0, 0, 0}));
  uint8_t data[16] = {1, 2, 3};
  simtest::Outcome outcome = simtest::Write(0xA0, 0, 0, 0, data, 16);
  EXPECT_EQ(outcome.status, 1);
  uint8_t stored[16];
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, 0, stored, 16));
  EXPECT_EQ(stored[0], 0xFF) << "the hung write must not reach the flash";
  ASSERT_EQ(sim::LogSize(), 1u);
  EXPECT_EQ(sim::LogAt(0).state, 2);
  EXPECT_EQ(sim::ProtocolViolationCount(), 0u);
}

TEST_F(SimFaultTest, HeldLockBlocksTheHostUntilCleared) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0}));
  EXPECT_NE(sim::CommandStatusValue() & drux::kStatusLockBit, 0u);
  sim::ClearPortAccessCount();
  EXPECT_EQ(ReadFlashBlock().status, -2);
  EXPECT_EQ(sim::PortAccessCount(), 4u) << "a locked host reads the status register only";
  EXPECT_EQ(sim::LogSize(), 0u);
  sim::ResetCommandInterface();
  EXPECT_EQ(ReadFlashBlock().status, -2) << "nobody releases a lock held by another party";
  sim::ClearFaults();
  EXPECT_EQ(ReadFlashBlock().status, 0);
  EXPECT_EQ(sim::ProtocolViolationCount(), 0u);
}

TEST_F(SimFaultTest, InvalidFaultsAreRefused) {
  EXPECT_FALSE(sim::AddFault({sim::FaultKind::Busy, 0xE0, 0, 0}));
  EXPECT_FALSE(sim::AddFault({sim::FaultKind::ErrorByte, 0x100, 0x83, 0}));
  EXPECT_FALSE(sim::AddFault({sim::FaultKind::NeverFinishes, -2, 0, 0}));
  for (int i = 0; i < sim::kMaxFaults; ++i) {
    EXPECT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, i, 0x83, 0}));
  }
  EXPECT_FALSE(sim::AddFault({sim::FaultKind::ErrorByte, 0x40, 0x83, 0}));
  EXPECT_EQ(sim::FaultCount(), sim::kMaxFaults);
  EXPECT_EQ(sim::FaultAt(5).command, 5);
}

using simtest::FaultTextCase;

TEST(SimFaultText, ParsesAndFormatsTheStateFileForm) {
  const FaultTextCase cases[] = {
      {"lock", true, "lock"},
      {"busy 0xe0 3", true, "busy 0xe0 3"},
      {"busy 224 3", true, "busy 0xe0 3"},
      {"  busy   any  1 ", true, "busy any 1"},
      {"error 0xA1 0x82", true, "error 0xa1 0x82"},
      {"hang 0x10", true, "hang 0x10"},
      {"hang any", true, "hang any"},
      {"error 0xb8 0x83 write --after 40", true, "error 0xb8 0x83 write --after 40"},
      {"error 0xb8 0x83 --after 0", true, "error 0xb8 0x83"},
      {"hang any read --after 2", true, "hang any read --after 2"},
      {"busy 0xe0 3 --after 2", false, ""},
      {"lock --after 2", false, ""},
      {"error 0xb8 0x83 --after", false, ""},
      {"error 0xb8 0x83 --after x", false, ""},
      {"busy 0xe0 0", false, ""},
      {"busy 0xe0", false, ""},
      {"error 0x100 0x83", false, ""},
      {"error 0x20 0x183", false, ""},
      {"hang", false, ""},
      {"lock 0x10", false, ""},
      {"stall 0x10", false, ""},
      {"", false, ""},
  };
  simtest::ExpectFaultTexts(cases);
}

TEST(SimLog, RecordsEveryCommandAsExecuted) {
  sim::StartInMemory(sim::DefaultMachineConfig());
  uint8_t data[256] = {};
  simtest::Write(0xA3, 0x0123, 0, 0, data, 16);
  simtest::Read(0xE1, 0x3FFF, 5, 0, data, 256);
  simtest::Read(0x61, 0x500, 9, 0, data, 16);
  simtest::Read(0x42, 0, 1, 1, data, 4);
  ASSERT_EQ(sim::LogSize(), 4u);
  const char* expected[] = {
      "WR cmd=0xa3 addr=0x0123 dev=0 target=0 size=16 state=1 err=0x00",
      "RD cmd=0xe1 addr=0x3fff dev=5 target=0 size=0 state=3 err=0x83",
      "RD cmd=0x61 addr=0x0500 dev=9 target=0 size=0 state=3 err=0x85",
      "RD cmd=0x42 addr=0x0000 dev=1 target=1 size=0 state=3 err=0x81",
  };
  for (size_t i = 0; i < 4; ++i) {
    char line[96];
    sim::FormatLogEntry(sim::LogAt(i), line, sizeof line);
    EXPECT_STREQ(line, expected[i]);
    sim::LogEntry parsed{};
    ASSERT_TRUE(sim::ParseLogEntry(line, &parsed)) << line;
    char again[96];
    sim::FormatLogEntry(parsed, again, sizeof again);
    EXPECT_STREQ(again, line);
  }
  sim::ClearLog();
  EXPECT_EQ(sim::LogSize(), 0u);
}

TEST(SimLog, SizeIsWhatTheHostMovedThroughTheWindow) {
  sim::StartInMemory(sim::DefaultMachineConfig());
  uint8_t data[256] = {};
  simtest::Read(0xE0, 0, 0, 0, data, 17);  // the host fetches only part of the reply
  simtest::Read(0x10, 0, 1, 1, data, 4);
  simtest::Write(0xE0, 1, 0, 0, data, 256);
  ASSERT_EQ(sim::LogSize(), 3u);
  EXPECT_EQ(sim::LogAt(0).size, 17);
  EXPECT_EQ(sim::LogAt(1).size, 4);
  EXPECT_EQ(sim::LogAt(2).size, 256);
}

TEST(SimLog, MalformedLinesAreRejected) {
  const char* lines[] = {
      "",
      "XX cmd=0x10 addr=0x0000 dev=0 target=0 size=0 state=1 err=0x00",
      "RD cmd=0x10 addr=0x0000 dev=0 target=0 size=0 state=1",
      "RD cmd=0x10 addr=0x4000 dev=0 target=0 size=0 state=1 err=0x00",
      "RD cmd=0x10 addr=0x0000 dev=16 target=0 size=0 state=1 err=0x00",
      "RD cmd=0x10 addr=0x0000 dev=0 target=0 size=0 state=1 err=0x00 extra=1",
      "RD addr=0x0000 cmd=0x10 dev=0 target=0 size=0 state=1 err=0x00",
  };
  for (const char* line : lines) {
    sim::LogEntry entry{};
    EXPECT_FALSE(sim::ParseLogEntry(line, &entry)) << line;
  }
}

}  // namespace
