// The file-name prompt of both feature sets, the version confirmation, the restart notices and
// what option -r does after them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/feature_set.h"
#include "controller/status_text.h"
#include "frontend/help.h"
#include "platform/platform.h"
#include "sim/sim.h"
#include "tests/support/console_feed.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

struct Captured {
  std::string out;
  std::string err;
};

// Console input from a file, output captured, reboot target back to the PC afterwards.
class Dialogue : public testing::Test {
 protected:
  void SetUp() override {
    sim::StartInMemory(sim::DefaultMachineConfig());
    sim::ClearFaults();
    sim::ClearLog();
    Feed("");
  }
  void TearDown() override {
    test::ConsoleFeed::Close();
    RememberRebootTarget(kRebootTargetPc, kRebootTargetPc);
    sim::ClearFaults();
  }

  void Feed(const std::string& text) { console_.Feed(text); }

  // Everything the program left unread of the input.
  static std::string RestOfInput() { return test::ConsoleFeed::RestOfInput(); }

  std::string PathOf(const std::string& name) const { return console_.directory() + "/" + name; }
  std::string CreateFile(const std::string& name) const {
    std::string path = PathOf(name);
    std::ofstream(path) << "old";
    return path;
  }

  static void StartCapture() {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
  }
  static Captured EndCapture() {
    Captured captured;
    captured.out = testing::internal::GetCapturedStdout();
    captured.err = testing::internal::GetCapturedStderr();
    return captured;
  }

 private:
  test::ConsoleFeed console_;
};

std::string NoSuchFile(const std::string& /*path*/) {
  return std::string("ERROR: Can't open file: ") + std::strerror(ENOENT) + "\n";
}

// ---- PromptFileName with a given name (both feature sets) ------------------------------------

TEST_F(Dialogue, ReadingAMissingFileGivesNoneWithTheOpenError) {
  for (const FeatureSet* features : {&kServiceFeatureSet, &kFullFeatureSet}) {
    std::string path = PathOf("missing.bin");
    StartCapture();
    const char* name = PromptFileName(*features, "firmware", path.c_str(), false, 1);
    Captured captured = EndCapture();
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(captured.out, "Read firmware file: " + path + "\n");
    EXPECT_EQ(captured.err, NoSuchFile(path));
  }
}

TEST_F(Dialogue, ReadingAnExistingFileAsksNothing) {
  std::string path = CreateFile("present.bin");
  Feed("n\n");
  StartCapture();
  const char* name = PromptFileName(kServiceFeatureSet, "data", path.c_str(), false, 0);
  Captured captured = EndCapture();
  EXPECT_EQ(name, path.c_str());
  EXPECT_EQ(captured.out, "Read data file: " + path + "\n");
  EXPECT_EQ(captured.err, "");
  EXPECT_EQ(RestOfInput(), "n\n");
}

TEST_F(Dialogue, WritingANewFileAsksNothing) {
  std::string path = PathOf("new.bin");
  Feed("n\n");
  StartCapture();
  const char* name = PromptFileName(kFullFeatureSet, "settings", path.c_str(), true, 0);
  Captured captured = EndCapture();
  EXPECT_EQ(name, path.c_str());
  EXPECT_EQ(captured.out, "Write settings file: " + path + "\n");
  EXPECT_EQ(captured.err, "");
  EXPECT_EQ(RestOfInput(), "n\n");
}

TEST_F(Dialogue, WritingAnExistingFileAsksUnlessAssumedYes) {
  struct Case {
    std::string input;
    uint8_t assumeYes;
    bool kept;  // the name comes back
    std::string question;
  };
  const std::string question = "File exists already - overwrite (y/n): ";
  const std::vector<Case> cases = {
      {"y\n", 0, true, question}, {"yes\r\n", 0, true, question}, {"n\n", 0, false, question},
      {"", 0, false, question},   {"\n", 0, false, question},     {"n\n", 1, true, ""},
  };
  std::string path = CreateFile("old.bin");
  for (const Case& c : cases) {
    Feed(c.input);
    StartCapture();
    const char* name = PromptFileName(kServiceFeatureSet, "data", path.c_str(), true, c.assumeYes);
    Captured captured = EndCapture();
    EXPECT_EQ(name != nullptr, c.kept) << c.input;
    EXPECT_EQ(captured.out, "Write data file: " + path + "\n" + c.question) << c.input;
    EXPECT_EQ(captured.err, "");
  }
  std::ifstream file(path);
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "old");  // only asked, never touched
}

// ---- PromptFileName without a name ----------------------------------------------------------

TEST_F(Dialogue, ServiceSetNeverAsks) {
  Feed("typed.bin\n");
  for (const char* kind : {"data", "firmware", "configuration", "settings"}) {
    StartCapture();
    EXPECT_EQ(PromptFileName(kServiceFeatureSet, kind, nullptr, false, 0), nullptr);
    Captured captured = EndCapture();
    EXPECT_EQ(captured.out,
              std::string("ERROR: Can't determine ") + kind + " file name automatically.\n");
    EXPECT_EQ(captured.err, "");
  }
  StartCapture();
  EXPECT_EQ(PromptFileName(kServiceFeatureSet, "report", nullptr, true, 1), nullptr);
  Captured report = EndCapture();
  EXPECT_EQ(report.out, "");
  EXPECT_EQ(report.err, "");
  EXPECT_EQ(RestOfInput(), "typed.bin\n");
}

TEST_F(Dialogue, FullSetAsksForTheName) {
  std::string path = PathOf("typed.bin");
  Feed(path + "\r\n");
  StartCapture();
  const char* name = PromptFileName(kFullFeatureSet, "data", nullptr, true, 0);
  Captured captured = EndCapture();
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::string(name), path);  // no CR of the line end in the name
  EXPECT_EQ(captured.out, "Enter a data filename or nothing to exit: ");
  EXPECT_EQ(captured.err, "");
}

TEST_F(Dialogue, FullSetChecksATypedName) {
  std::string missing = PathOf("missing.bin");
  Feed(missing + "\r");
  StartCapture();
  EXPECT_EQ(PromptFileName(kFullFeatureSet, "firmware", nullptr, false, 0), nullptr);
  Captured read = EndCapture();
  EXPECT_EQ(read.out, "Enter a firmware filename or nothing to exit: ");
  EXPECT_EQ(read.err, NoSuchFile(missing));

  std::string present = CreateFile("present.bin");
  Feed(present + "\nn\n");
  StartCapture();
  EXPECT_EQ(PromptFileName(kFullFeatureSet, "data", nullptr, true, 0), nullptr);
  Captured write = EndCapture();
  EXPECT_EQ(write.out,
            "Enter a data filename or nothing to exit: File exists already - overwrite (y/n): ");
}

TEST_F(Dialogue, FullSetEmptyLineGivesNone) {
  for (const char* input : {"\n", "\r\n", "\r", ""}) {
    for (const char* kind : {"data", "report"}) {
      Feed(input);
      StartCapture();
      EXPECT_EQ(PromptFileName(kFullFeatureSet, kind, nullptr, true, 0), nullptr) << kind;
      Captured captured = EndCapture();
      std::string expected = std::string("Enter a ") + kind +
                             (std::strcmp(kind, "report") == 0
                                  ? " filename or nothing to continue with console output: "
                                  : " filename or nothing to exit: ");
      EXPECT_EQ(captured.out, expected);
    }
  }
}

TEST_F(Dialogue, TypedNameIsCutTo79Characters) {
  std::string directory = PathOf("");
  std::string longName = directory + std::string(100 - directory.size(), 'n');
  Feed(longName + "\r\nrest\n");
  StartCapture();
  const char* name = PromptFileName(kFullFeatureSet, "data", nullptr, true, 1);
  EndCapture();
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::string(name), longName.substr(0, 79));
  EXPECT_EQ(RestOfInput(), "rest\n");
}

// ---- ConfirmVersion ------------------------------------------------------------------------

TEST_F(Dialogue, ConfirmVersion) {
  struct Case {
    uint32_t active;
    uint32_t file;
    uint8_t assumeYes;
    std::string input;
    bool result;
    std::string out;
  };
  const std::string newer = "WARNING: Active version is newer than file version!\n";
  const std::string same = "Active version is up-to-date.\n";
  const std::string question = "Continue with update (y/n): ";
  const std::vector<Case> cases = {
      {104, 105, 0, "n\n", true, ""},
      {105, 104, 1, "", true, newer},
      {105, 105, 1, "", true, same},
      {105, 104, 0, "y\n", true, newer + question},
      {105, 104, 0, "n\n", false, newer + question},
      {105, 105, 0, "\r\n", false, same + question},
      {105, 105, 0, "Yes\r", true, same + question},
  };
  for (const Case& c : cases) {
    Feed(c.input);
    StartCapture();
    EXPECT_EQ(ConfirmVersion(c.active, c.file, c.assumeYes), c.result) << c.active << c.input;
    Captured captured = EndCapture();
    EXPECT_EQ(captured.out, c.out) << c.active << c.input;
    EXPECT_EQ(captured.err, "");
  }
}

// ---- Restart notices and -r ----------------------------------------------------------------

constexpr const char* kRebootOption = "    (if option -r is specified, the device is rebooted)\n";

TEST_F(Dialogue, PowerCycleNotice) {
  struct Case {
    uint32_t panel;
    uint32_t module;
    int status;
    int result;
    std::string out;
    std::string err;
  };
  auto notice = [](const std::string& device) {
    return "*** The " + device + " must be powered off/on to take over the changes!***\n" +
           kRebootOption;
  };
  auto retry = [](const std::string& device) {
    return "WARNING: Retry update before the " + device + " is powered off/on!\n";
  };
  const std::vector<Case> cases = {
      {3, 2, 0, 16, notice("KVN converter"), ""},  {3, 1, 0, 16, notice("panel"), ""},
      {0, 0xFFFFFFFF, 0, 16, notice("panel"), ""}, {0xFFFFFFFF, 0, 0, 16, notice("PC"), ""},
      {0xFFFFFFFF, 0, 6, 6, "", retry("PC")},      {3, 2, 10, 10, "", retry("KVN converter")},
      {15, 4, 4, 4, "", retry("panel")},
  };
  for (const Case& c : cases) {
    StartCapture();
    EXPECT_EQ(NoticePowerCycle(c.panel, c.module, c.status), c.result) << c.panel << c.module;
    Captured captured = EndCapture();
    EXPECT_EQ(captured.out, c.out) << c.panel << " " << c.module;
    EXPECT_EQ(captured.err, c.err) << c.panel << " " << c.module;
  }
}

TEST_F(Dialogue, PcRebootNotice) {
  StartCapture();
  EXPECT_EQ(NoticePcReboot(0), 16);
  EXPECT_EQ(NoticePcReboot(10), 10);
  Captured captured = EndCapture();
  EXPECT_EQ(
      captured.out,
      std::string("*** The PC must be rebooted to take over the changes! ***\n") + kRebootOption);
  EXPECT_EQ(captured.err, "WARNING: Retry update before the PC is rebooted!\n");
}

// What start-up does with -r after a handler ended with a notice: reboot the noticed device.
struct RebootCase {
  uint32_t panel;
  uint32_t module;
  int commandCode;
  uint8_t device;
  uint8_t target;
  uint32_t size;
  uint8_t firstByte;
};

TEST_F(Dialogue, RebootAfterANoticeReachesTheNoticedDevice) {
  const std::vector<RebootCase> cases = {
      {kRebootTargetPc, 0, 0x50, 3, 1, 0, 0},
      {3, 2, 0x22, 3, 3, 16, 8},
      {1, 0, 0x22, 1, 3, 16, 2},
      {0, 4, 0x22, 0, 3, 16, 2},
  };
  for (const RebootCase& c : cases) {
    sim::ClearLog();
    StartCapture();
    ASSERT_EQ(NoticePowerCycle(c.panel, c.module, 0), 16);
    EXPECT_EQ(RebootAfterUpdate(), 0);
    EndCapture();
    ASSERT_EQ(sim::LogSize(), 1u) << c.panel;
    sim::LogEntry entry = sim::LogAt(0);
    EXPECT_EQ(entry.code, c.commandCode) << c.panel;
    EXPECT_EQ(entry.device, c.device) << c.panel;
    EXPECT_EQ(entry.target, c.target) << c.panel;
    EXPECT_EQ(entry.size, c.size) << c.panel;
    EXPECT_FALSE(entry.read);
  }
}

TEST_F(Dialogue, PanelRebootSendsTheRequestByte) {
  SetDebugTrace(true);
  StartCapture();
  NoticePowerCycle(3, 2, 0);
  RebootAfterUpdate();
  Captured captured = EndCapture();
  SetDebugTrace(false);
  EXPECT_NE(captured.out.find("Trying to reboot panel 3 module 2 ...\n"
                              "WARNING: Panel connection (incl. USB) will be lost during reboot "
                              "time!\nWR Cmd:0x22 Addr:0x0000 DevNum:0x3 Target:0x3 Size:0x10\n"
                              "00: 08 00 00 00"),
            std::string::npos)
      << captured.out;
}

TEST_F(Dialogue, FailedPcRebootAfterANoticeGivesFourteen) {
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x50, 0x85, 0}));
  StartCapture();
  ASSERT_EQ(NoticePowerCycle(kRebootTargetPc, 0, 0), 16);
  EXPECT_EQ(RebootAfterUpdate(), 14);
  Captured captured = EndCapture();
  EXPECT_NE(captured.out.find("Reboot PC ...\n"), std::string::npos);
  EXPECT_EQ(captured.err,
            std::string("ERROR: Can't reboot DRUX: ") + StatusText(kStatusFailed, 0x85) + "\n");
}

// A failed update still names the device: -r then reboots that one, not the PC.
TEST_F(Dialogue, RetryWarningAlsoRemembersTheDevice) {
  StartCapture();
  EXPECT_EQ(NoticePowerCycle(2, 1, 9), 9);
  EXPECT_EQ(RebootAfterUpdate(), 0);
  EndCapture();
  ASSERT_EQ(sim::LogSize(), 1u);
  EXPECT_EQ(sim::LogAt(0).code, 0x22);
  EXPECT_EQ(sim::LogAt(0).device, 2);
}

// ---- Line ends of the pager question -------------------------------------------------------

TEST_F(Dialogue, PagerQuestionTakesEveryLineEnd) {
  struct Case {
    std::string input;
    std::vector<bool> answers;  // true: continue
    std::string rest;
  };
  const std::vector<Case> cases = {
      {"\n", {true}, ""},
      {"\r", {true}, ""},
      {"\r\n", {true}, ""},
      {"\r\nq\r\n", {true, false}, "\n"},
      {"\r\r\n", {true, true}, ""},
      {"abc\rQ", {true, false}, ""},
      {"", {true}, ""},
  };
  for (const Case& c : cases) {
    Feed(c.input);
    StartCapture();
    for (bool answer : c.answers) {
      EXPECT_EQ(ContinueOrQuit(), answer) << c.input;
    }
    EndCapture();
    EXPECT_EQ(RestOfInput(), c.rest) << c.input;
  }
}

}  // namespace
}  // namespace drux
