// Showing and changing the user serial ID against the simulated controller, with the setting
// on the command line and typed at the console.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "diagnostics/user_serial_id.h"
#include "platform/platform.h"
#include "sim/sim.h"
#include "tests/support/console_feed.h"
#include "tests/unit/diagnostics_test_support.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

using testing::CapturedOutput;
using testing::CaptureOutput;
using testing::ConfigWith;
using testing::StartMachine;

constexpr uint32_t kHead = 0x5AA5C33C;  // bytes 0-3 of the record, the controller's own

class UserSerialId : public ::testing::Test {
 protected:
  void SetUp() override { StartMachine(ConfigWith({"uid=0x00ABCDEF", "uid-head=0x5AA5C33C"})); }
  void TearDown() override {
    EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
    sim::ClearFaults();
  }
  static CapturedOutput Show() {
    return CaptureOutput([] { return ShowUserSerialId(); });
  }
  static CapturedOutput Change(const char* setting) {
    return CaptureOutput([&] { return ChangeUserSerialId(setting); });
  }
};

TEST_F(UserSerialId, ShowPrintsEightDigits) {
  CapturedOutput output = Show();
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out, "\n-- User Serial ID --\n\nValue: 0x00abcdef\n");
  EXPECT_EQ(output.err, "");
  ASSERT_EQ(sim::LogSize(), 1u);
  sim::LogEntry entry = sim::LogAt(0);
  EXPECT_EQ(entry.code, 0x12);
  EXPECT_EQ(entry.address, 0);
  EXPECT_EQ(entry.device, 0);
  EXPECT_EQ(entry.target, 1);
  EXPECT_EQ(entry.size, 8);
  EXPECT_TRUE(entry.read);
}

TEST_F(UserSerialId, ChangeStoresTheConvertedValue) {
  struct Case {
    const char* setting;
    uint32_t stored;
  };
  const Case cases[] = {
      {"08154711", 0x08154711},
      {"0", 0},
      {"12zz", 0x12},  // the conversion stops at the first other character
      {"0x08154711", 0x08154711},
      {"0X1f", 0x1F},
      {"FFFFFFFF", 0xFFFFFFFF},
      {"ffffffff", 0xFFFFFFFF},
      {"000000000000abcdef01", 0xABCDEF01},  // leading zeros are not significant
      {" 42", 0x42},
      {"0x", 0},  // the zero before the x counts as a digit
  };
  for (const Case& c : cases) {
    StartMachine(ConfigWith({"uid=0x11111111", "uid-head=0x5AA5C33C"}));
    CapturedOutput output = Change(c.setting);
    EXPECT_EQ(output.result, 0) << c.setting;
    char expected[64];
    std::snprintf(expected, sizeof expected, "User Serial ID changed to 0x%08x.\n",
                  unsigned(c.stored));
    EXPECT_EQ(output.out, expected) << c.setting;
    EXPECT_EQ(output.err, "") << c.setting;
    EXPECT_EQ(sim::Config().userSerialId, c.stored) << c.setting;
    EXPECT_EQ(sim::Config().userSerialIdHead, kHead) << c.setting;
  }
}

TEST_F(UserSerialId, ShowAfterChange) {
  ASSERT_EQ(Change("08154711").result, 0);
  EXPECT_EQ(Show().out, "\n-- User Serial ID --\n\nValue: 0x08154711\n");
}

// Nothing is read or written for a setting that is no 32-bit hexadecimal number.
TEST_F(UserSerialId, SettingsThatDoNotConvert) {
  const char* const settings[] = {
      "xyz", "", "  ", "-1", "+1", "-0", "100000000", "0x100000000", "123456789abcdef0123", "g1",
  };
  for (const char* setting : settings) {
    sim::ClearLog();
    CapturedOutput output = Change(setting);
    EXPECT_EQ(output.result, 1) << setting;
    EXPECT_EQ(output.out, "") << setting;
    EXPECT_EQ(output.err, "ERROR: Can't convert uid\n") << setting;
    EXPECT_EQ(sim::LogSize(), 0u) << setting;
    EXPECT_EQ(sim::Config().userSerialId, 0x00ABCDEFu) << setting;
  }
}

TEST_F(UserSerialId, ChangeWritesTheWholeRecordBack) {
  ASSERT_EQ(Change("1").result, 0);
  ASSERT_EQ(sim::LogSize(), 2u);
  sim::LogEntry read = sim::LogAt(0);
  sim::LogEntry write = sim::LogAt(1);
  EXPECT_TRUE(read.read);
  EXPECT_FALSE(write.read);
  for (const sim::LogEntry& entry : {read, write}) {
    EXPECT_EQ(entry.code, 0x12);
    EXPECT_EQ(entry.address, 0);
    EXPECT_EQ(entry.device, 0);
    EXPECT_EQ(entry.target, 1);
    EXPECT_EQ(entry.size, 8);
  }
  EXPECT_EQ(sim::Config().userSerialIdHead, kHead);
}

TEST_F(UserSerialId, ReadFailure) {
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x12, 0x85, 0}));
  CapturedOutput show = Show();
  EXPECT_EQ(show.result, 6);
  EXPECT_EQ(show.out, "\n-- User Serial ID --\n\n");
  EXPECT_EQ(show.err, "ERROR: Can't read User Serial ID: device failure (does not exist)\n");

  sim::ClearLog();
  CapturedOutput change = Change("08154711");
  EXPECT_EQ(change.result, 6);
  EXPECT_EQ(change.out, "");
  EXPECT_EQ(change.err, "ERROR: Can't read User Serial ID: device failure (does not exist)\n");
  EXPECT_EQ(sim::LogSize(), 1u);  // nothing written
  EXPECT_EQ(sim::Config().userSerialId, 0x00ABCDEFu);
}

TEST_F(UserSerialId, LockedInterface) {
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0}));
  CapturedOutput change = Change("5");
  EXPECT_EQ(change.result, 6);
  EXPECT_EQ(change.err, "ERROR: Can't read User Serial ID: DRUX command interface is locked\n");
}

TEST_F(UserSerialId, WriteFailure) {
  // The read before the write succeeds; only the write fails.
  ASSERT_TRUE(sim::AddFault(
      sim::Fault{sim::FaultKind::ErrorByte, 0x12, 0x83, 0, sim::FaultDirection::Write}));
  CapturedOutput change = Change("08154711");
  EXPECT_EQ(change.result, 6);
  EXPECT_EQ(change.out, "");
  EXPECT_EQ(change.err, "ERROR: Can't write User Serial ID: invalid DRUX command parameter\n");
  EXPECT_EQ(sim::Config().userSerialId, 0x00ABCDEFu);
  EXPECT_EQ(sim::Config().userSerialIdHead, kHead);
}

// The setting typed at the console: the input comes from a file for the duration of a test.
class UserSerialIdPrompt : public UserSerialId {
 protected:
  void Feed(const std::string& text) { console_.Feed(text); }
  void TearDown() override {
    test::ConsoleFeed::Close();
    UserSerialId::TearDown();
  }

 private:
  test::ConsoleFeed console_;
};

constexpr const char* kPrompt = "Enter user serial ID (0 to FFFFFFFF) or nothing to exit: ";

TEST_F(UserSerialIdPrompt, TypedValues) {
  struct Case {
    const char* input;
    uint32_t stored;
  };
  const Case cases[] = {
      {"08154711\n", 0x08154711},
      {"0x08154711\r\n", 0x08154711},
      {"0x000000000008154711\n", 0x08154711},   // 20 characters: all of them count
      {"0x0000000000081547119\n", 0x08154711},  // the 21st character is dropped
      {"12zz", 0x12},                           // end of input ends the line
  };
  for (const Case& c : cases) {
    StartMachine(ConfigWith({"uid=0x11111111", "uid-head=0x5AA5C33C"}));
    Feed(c.input);
    CapturedOutput output = CaptureOutput([] { return ChangeUserSerialId(nullptr); });
    EXPECT_EQ(output.result, 0) << c.input;
    char expected[128];
    std::snprintf(expected, sizeof expected, "%sUser Serial ID changed to 0x%08x.\n", kPrompt,
                  unsigned(c.stored));
    EXPECT_EQ(output.out, expected) << c.input;
    EXPECT_EQ(sim::Config().userSerialId, c.stored) << c.input;
    EXPECT_EQ(sim::Config().userSerialIdHead, kHead) << c.input;
  }
}

TEST_F(UserSerialIdPrompt, EmptyLineOrEndOfInputExits) {
  for (const char* input : {"\n", "", "\r\n5\n"}) {
    Feed(input);
    sim::ClearLog();
    CapturedOutput output = CaptureOutput([] { return ChangeUserSerialId(nullptr); });
    EXPECT_EQ(output.result, 0);
    EXPECT_EQ(output.out, kPrompt);
    EXPECT_EQ(output.err, "");
    EXPECT_EQ(sim::LogSize(), 0u);
    EXPECT_EQ(sim::Config().userSerialId, 0x00ABCDEFu);
  }
}

TEST_F(UserSerialIdPrompt, TypedTextThatDoesNotConvert) {
  for (const char* input : {"xyz\n", "-1\n", "123456789\n"}) {
    Feed(input);
    sim::ClearLog();
    CapturedOutput output = CaptureOutput([] { return ChangeUserSerialId(nullptr); });
    EXPECT_EQ(output.result, 1) << input;
    EXPECT_EQ(output.out, kPrompt) << input;
    EXPECT_EQ(output.err, "ERROR: Can't convert uid\n") << input;
    EXPECT_EQ(sim::LogSize(), 0u) << input;
  }
}

}  // namespace
}  // namespace drux
