// The console dialogues (line ends of every kind, long lines, end of input) and the reboots
// that option -r triggers, against the simulated controller.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "controller/command.h"
#include "controller/module_catalogue.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "sim/sim.h"
#include "tests/support/console_feed.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

// Feeds the console from a file for the duration of one test.
class ConsoleDialogue : public testing::Test {
 protected:
  void Feed(const std::string& text) { console_.Feed(text); }
  void TearDown() override { test::ConsoleFeed::Close(); }

 private:
  test::ConsoleFeed console_;
};

struct LineCase {
  std::string input;
  size_t maxLength;
  std::vector<std::pair<bool, std::string>> lines;  // result and text of each ReadLine
};

TEST_F(ConsoleDialogue, ReadLine) {
  const std::vector<LineCase> cases = {
      {"abc\n", 79, {{true, "abc"}, {false, ""}}},
      {"abc\r\nxyz\r\n", 79, {{true, "abc"}, {true, "xyz"}, {false, ""}}},
      {"abc\rxyz\r", 79, {{true, "abc"}, {true, "xyz"}, {false, ""}}},
      {"abc", 79, {{true, "abc"}, {false, ""}}},
      {"", 79, {{false, ""}}},
      {"\nabc\n", 79, {{false, ""}, {true, "abc"}}},
      {"\r\n\r\nabc", 79, {{false, ""}, {false, ""}, {true, "abc"}}},
      {"\r\r\nabc", 79, {{false, ""}, {false, ""}, {true, "abc"}}},
      {"abcdefgh\nnext\n", 4, {{true, "abcd"}, {true, "next"}, {false, ""}}},
      {"abcd\nnext\n", 4, {{true, "abcd"}, {true, "next"}}},
      {"abcdefgh\r\nnext", 4, {{true, "abcd"}, {true, "next"}}},
      {"abcdefgh", 4, {{true, "abcd"}, {false, ""}}},
      {" name with blanks.bin \n", 79, {{true, " name with blanks.bin "}}},
  };
  for (const LineCase& c : cases) {
    Feed(c.input);
    testing::internal::CaptureStdout();
    std::string prompts;
    for (const auto& [result, text] : c.lines) {
      char buffer[80];
      std::memset(buffer, 'X', sizeof buffer);
      EXPECT_EQ(ReadLine(buffer, c.maxLength), result) << c.input;
      EXPECT_EQ(std::string(buffer), text) << c.input;
      prompts += ": ";
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), prompts) << c.input;
  }
}

TEST_F(ConsoleDialogue, AskYesNoLooksForAYAnywhereInTheLine) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"yes\n", true}, {"Y\n", true},      {"   y\n", true}, {"no way\n", true}, {"xYz", true},
      {"y\r\n", true}, {"n\n", false},     {"\n", false},    {"", false},        {"N\r\n", false},
      {"nope", false}, {"\r\ny\n", false}, {"ja\n", false},
  };
  for (const auto& [input, yes] : cases) {
    Feed(input);
    testing::internal::CaptureStdout();
    EXPECT_EQ(AskYesNo("Continue anyway (y/n): ", 0), yes) << input;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Continue anyway (y/n): ") << input;
  }
}

TEST_F(ConsoleDialogue, EachQuestionReadsOneLine) {
  Feed("n\r\ny\r\n\nYES\n");
  EXPECT_FALSE(AskYesNo("", 0));
  EXPECT_TRUE(AskYesNo("", 0));
  EXPECT_FALSE(AskYesNo("", 0));  // the empty line, not the LF of the CR LF before it
  EXPECT_TRUE(AskYesNo("", 0));
  EXPECT_FALSE(AskYesNo("", 0));  // end of input
}

TEST_F(ConsoleDialogue, AssumedYesAsksNothing) {
  Feed("n\n");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(AskYesNo("Overwrite complete flash (y/n): ", 1));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  // The typed answer is still there for the next question.
  EXPECT_FALSE(AskYesNo("", 0));
}

TEST_F(ConsoleDialogue, PromptIsAFormat) {
  Feed("y\n");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(AskYesNo("100%% sure (y/n): ", 0));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "100% sure (y/n): ");
}

TEST_F(ConsoleDialogue, LineEndsArriveAsOneCharacter) {
  Feed("a\r\nb\rc\nd\r\r\ne");
  std::string seen;
  for (int c = ReadConsoleChar(); c != platform::kEndOfInput; c = ReadConsoleChar()) {
    seen += static_cast<char>(c);
  }
  EXPECT_EQ(seen, "a\nb\nc\nd\n\ne");
}

// ---- Reboots ------------------------------------------------------------------------------

class Reboot : public testing::Test {
 protected:
  void SetUp() override {
    sim::StartInMemory(sim::DefaultMachineConfig());
    sim::ClearLog();
    SetDebugTrace(false);
  }
  void TearDown() override {
    SetDebugTrace(false);
    RememberRebootTarget(kRebootTargetPc, kRebootTargetPc);
  }
  // The PC reboot command fails in a defined way, whatever else the simulator supports.
  static void RefusePcReboot() {
    ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x50, 0x85, 0}));
  }
  static sim::LogEntry LastCommand() {
    EXPECT_GT(sim::LogSize(), 0u);
    return sim::LogAt(sim::LogSize() - 1);
  }
};

TEST_F(Reboot, PanelModuleRequest) {
  struct Case {
    int32_t panel;
    int32_t module;
    int32_t shownModule;
    const char* firstByte;
  };
  const Case cases[] = {
      {1, 5, 0, "02"},
      {3, 2, 2, "08"},
      {0, 0, 0, "02"},
      {15, 1, 0, "02"},
  };
  for (const Case& c : cases) {
    SetDebugTrace(true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(RebootPanelModule(c.panel, c.module), 0);
    std::string out = testing::internal::GetCapturedStdout();
    SetDebugTrace(false);
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "Trying to reboot panel %d module %d ...\n"
                  "WARNING: Panel connection (incl. USB) will be lost during reboot time!\n"
                  "WR Cmd:0x22 Addr:0x0000 DevNum:0x%x Target:0x3 Size:0x10\n"
                  "00: %s 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 = ................\n",
                  c.panel, c.shownModule, unsigned(c.panel), c.firstByte);
    EXPECT_EQ(out.substr(0, std::strlen(expected)), expected) << c.panel;
    sim::LogEntry entry = LastCommand();
    EXPECT_EQ(entry.code, 0x22);
    EXPECT_EQ(entry.device, c.panel);
    EXPECT_EQ(entry.target, 3);
    EXPECT_FALSE(entry.read);
  }
}

TEST_F(Reboot, FailedPcRebootGivesFourteen) {
  RefusePcReboot();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(RebootPc(), 14);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Reboot PC ...\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("ERROR: Can't reboot DRUX: ") + StatusText(kStatusFailed, 0x85) + "\n");
  sim::LogEntry entry = LastCommand();
  EXPECT_EQ(entry.code, 0x50);
  EXPECT_EQ(entry.address, 0);
  EXPECT_EQ(entry.device, 3);
  EXPECT_EQ(entry.target, 1);
  EXPECT_FALSE(entry.read);
}

TEST_F(Reboot, AfterUpdateRebootsTheRememberedDevice) {
  RefusePcReboot();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(RebootAfterUpdate(), 14);  // nothing remembered: the PC
  EXPECT_EQ(LastCommand().code, 0x50);

  RememberRebootTarget(4, 2);
  EXPECT_EQ(RebootAfterUpdate(), 0);
  EXPECT_EQ(LastCommand().code, 0x22);
  EXPECT_EQ(LastCommand().device, 4);

  RememberRebootTarget(kRebootTargetPc, 0);
  EXPECT_EQ(RebootAfterUpdate(), 14);
  EXPECT_EQ(LastCommand().code, 0x50);
  std::string out = testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("Trying to reboot panel 4 module 2 ...\n"), std::string::npos) << out;
}

TEST_F(Reboot, SelectPanelForModulesFailsWithoutModuleFunctions) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.panels[1].moduleFunctions = false;
  sim::StartInMemory(config);
  sim::ClearLog();
  EXPECT_FALSE(SelectPanelForModules(1));
  sim::LogEntry entry = LastCommand();
  EXPECT_EQ(entry.code, 0x7F);
  EXPECT_EQ(entry.device, 1);
  EXPECT_EQ(entry.target, 0);
  EXPECT_FALSE(entry.read);
}

}  // namespace
}  // namespace drux
