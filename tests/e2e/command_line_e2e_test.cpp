// The command line as the user meets it: rejections with the short help, the option forms,
// the help options and the pager of the long help.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/expected_help.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

std::string Label(const std::vector<std::string>& arguments) {
  std::string label;
  for (const std::string& argument : arguments) {
    label += argument + " ";
  }
  return label;
}

struct RejectionCase {
  std::vector<std::string> arguments;
  std::string errorLine;
};

// Every rejection: the short help on the standard output, then one error line, exit code 1,
// and the controller is never looked at (no PC type line).
void ExpectRejections(const std::string& program, bool full,
                      const std::vector<RejectionCase>& cases) {
  SimulatedPc pc;
  for (const RejectionCase& c : cases) {
    ProgramOutput result = pc.Run(program, c.arguments);
    EXPECT_EQ(result.out, ShortHelp(full)) << Label(c.arguments);
    EXPECT_EQ(result.err, c.errorLine) << Label(c.arguments);
    EXPECT_EQ(result.exitCode, 1) << Label(c.arguments);
  }
}

TEST(CommandLineE2e, ServiceSetRejections) {
  ExpectRejections(ProgramPath("druxsvc"), false,
                   {
                       {{"in", "drux"}, "ERROR: Unknown action 'in'.\n"},
                       {{"x"}, "ERROR: Unknown action 'x'.\n"},
                       {{"i", "drux2"}, "ERROR: Unknown datatype 'drux2'.\n"},
                       {{"i", "FSET"}, "ERROR: Unknown datatype 'FSET'.\n"},
                       {{"i", "SYS"}, "ERROR: Unknown datatype 'SYS'.\n"},
                       {{"s", "FLASH"}, "ERROR: Unknown datatype 'FLASH'.\n"},
                       {{"u", "LINKBLDR"}, "ERROR: Unknown datatype 'LINKBLDR'.\n"},
                       {{"i", "system2"}, "ERROR: Unknown datatype 'system2'.\n"},
                       {{"u", "drux", "a.bin", "b.bin"}, "ERROR: Too many arguments.\n"},
                       {{"i", "stat", "-p=16"}, "ERROR: Invalid option 'p=16'.\n"},
                       {{"i", "stat", "-p=-1"}, "ERROR: Invalid option 'p=-1'.\n"},
                       {{"i", "stat", "-p=x"}, "ERROR: Invalid option 'p=x'.\n"},
                       {{"i", "stat", "-p"}, "ERROR: Invalid option 'p'.\n"},
                       {{"i", "stat", "-p=4294967297"}, "ERROR: Invalid option 'p=4294967297'.\n"},
                       {{"i", "stat", "/P=4294967296"}, "ERROR: Invalid option 'P=4294967296'.\n"},
                       {{"i", "stat", "-m=1"}, "ERROR: Unknown option 'm'.\n"},
                       {{"i", "stat", "-M"}, "ERROR: Unknown option 'M'.\n"},
                       {{"i", "stat", "-yQ"}, "ERROR: Unknown option 'Q'.\n"},
                       {{"i", "stat", "/x"}, "ERROR: Unknown option 'x'.\n"},
                       {{"i"}, "ERROR: Data type missing.\n"},
                       {{"-y", "i", "-r"}, "ERROR: Data type missing.\n"},
                       {{}, "ERROR: Action missing.\n"},
                       {{"-v"}, "ERROR: Action missing.\n"},
                   });
}

TEST(CommandLineE2e, FullSetRejections) {
  ExpectRejections(TestProgramPath("druxsvc_fullset_testonly"), true,
                   {
                       {{"in"}, "ERROR: Unknown action 'in'.\n"},
                       {{"i", "sys4"}, "ERROR: Unknown datatype 'sys4'.\n"},
                       {{"c", "fset", "x", "y"}, "ERROR: Too many arguments.\n"},
                       {{"i", "fset", "-m=16"}, "ERROR: Invalid option 'm=16'.\n"},
                       {{"i", "fset", "-m"}, "ERROR: Invalid option 'm'.\n"},
                       {{"i", "fset", "-m=4294967297"}, "ERROR: Invalid option 'm=4294967297'.\n"},
                       {{"i", "fset", "-k"}, "ERROR: Unknown option 'k'.\n"},
                   });
}

TEST(CommandLineE2e, ShortHelpComesBeforeTheErrorLine) {
  SimulatedPc pc;
  ProgramOutput result = pc.Run(ProgramPath("druxsvc"), {"i", "fset"}, "", {}, true);
  EXPECT_EQ(result.out, ShortHelp(false) + "ERROR: Unknown datatype 'fset'.\n");
  EXPECT_EQ(result.exitCode, 1);
}

// The panel number reaches the start-up: a panel that is not connected names itself.
TEST(CommandLineE2e, PanelOptionForms) {
  struct Case {
    std::vector<std::string> arguments;
    int panel;
  };
  const std::vector<Case> cases = {
      {{"i", "link", "-p=15"}, 15},  {{"i", "link", "-p15"}, 15},
      {{"i", "link", "-p=007"}, 7},  {{"-p=3", "i", "link"}, 3},
      {{"i", "-p=3", "link"}, 3},    {{"i", "link", "/p=3"}, 3},
      {{"i", "link", "/P4"}, 4},     {{"i", "link", "-p=2", "-p=9"}, 9},
      {{"i", "link", "-yp=5rv"}, 5},
  };
  SimulatedPc pc;
  for (const Case& c : cases) {
    ProgramOutput result = pc.Run(ProgramPath("druxsvc"), c.arguments);
    EXPECT_EQ(result.out, "PC is an EX64.\n") << Label(c.arguments);
    EXPECT_EQ(result.err, "ERROR: Panel " + std::to_string(c.panel) + " is not connected.\n")
        << Label(c.arguments);
    EXPECT_EQ(result.exitCode, 11) << Label(c.arguments);
  }
}

// -p15 reaches the handler as panel 15: its statistics record is the one read.
TEST(CommandLineE2e, ConnectedPanelFifteenIsAccepted) {
  SimulatedPc pc({"panel.15.connected=1", "panel.15.version=0x1e32",
                  "panel.15.backlight-hours=4321", "panel.15.backlight-cycles=77"});
  ProgramOutput result =
      pc.Run(ProgramPath("druxsvc"), {"i", "stat", "-p15"}, "", {{"DRUXSVC_TEST_CLOCK", "50,0"}});
  EXPECT_EQ(result.out,
            "PC is an EX64.\n\n-- Statistics values of panel 15 --\n\n"
            "Backlight-on: 4321 h (77 cycles)\n\nTotal time needed: < 1 second\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  bool panelRecordRead = false;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    panelRecordRead |= entry.code == 0x30 && entry.device == 15 && entry.read;
  }
  EXPECT_TRUE(panelRecordRead);
}

// Flags that need no target are accepted anywhere, combined or alone, after '-' or '/'. The
// request is one that the Update driver always refuses, so only the parse decides the outcome.
TEST(CommandLineE2e, FlagLettersAreAcceptedAnywhere) {
  const std::vector<std::vector<std::string>> cases = {
      {"-yv", "u", "stat"}, {"u", "-YV", "stat"}, {"u", "stat", "/y", "/v", "/r"},
      {"u", "stat", "-"},   {"u", "stat", "/"},   {"-ryv", "u", "stat", "file.bin"},
  };
  SimulatedPc pc;
  for (const std::vector<std::string>& arguments : cases) {
    ProgramOutput result =
        pc.Run(ProgramPath("druxsvc"), arguments, "", {{"DRUXSVC_TEST_CLOCK", "50,0"}});
    EXPECT_EQ(result.out, "PC is an EX64.\nTotal time needed: < 1 second\n") << Label(arguments);
    EXPECT_EQ(result.err, "ERROR: Update is not supported for the specified data type.\n")
        << Label(arguments);
    EXPECT_EQ(result.exitCode, 1) << Label(arguments);
  }
}

// -y answers the module question in advance; -yv sets it as well as -y alone. Info LINKIFILE
// is always refused, so the run after the question ends the same way whatever the module.
TEST(CommandLineE2e, YesFlagAnswersTheModuleQuestion) {
  SimulatedPc pc;
  for (const char* flags : {"-y", "-yv", "-vy", "/Y"}) {
    ProgramOutput result =
        pc.Run(TestProgramPath("druxsvc_fullset_testonly"), {"i", "linkifile", "-m=5", flags},
               "n\n", {{"DRUXSVC_TEST_CLOCK", "50,0"}});
    EXPECT_EQ(result.out, "PC is an EX64.\n\nTotal time needed: < 1 second\n") << flags;
    EXPECT_EQ(result.err,
              "ERROR: PC module 5 is not available.\n"
              "ERROR: Info is not supported for the specified data type.\n")
        << flags;
    EXPECT_EQ(result.exitCode, 1) << flags;
  }
}

TEST(CommandLineE2e, QuestionMarkPrintsTheShortHelpAndEnds) {
  struct Case {
    std::string program;
    bool full;
    std::vector<std::string> arguments;
  };
  const std::vector<Case> cases = {
      {ProgramPath("druxsvc"), false, {"-?"}},
      {ProgramPath("druxsvc"), false, {"/?"}},
      {ProgramPath("druxsvc"), false, {"i", "stat", "-y?", "-x"}},
      {ProgramPath("druxsvc"), false, {"in", "-?"}},  // an earlier error wins
      {TestProgramPath("druxsvc_fullset_testonly"), true, {"-?"}},
  };
  SimulatedPc pc;
  for (const Case& c : cases) {
    ProgramOutput result = pc.Run(c.program, c.arguments);
    EXPECT_EQ(result.out, ShortHelp(c.full)) << Label(c.arguments);
    if (c.arguments[0] == "in") {
      EXPECT_EQ(result.err, "ERROR: Unknown action 'in'.\n");
      EXPECT_EQ(result.exitCode, 1);
    } else {
      EXPECT_EQ(result.err, "") << Label(c.arguments);
      EXPECT_EQ(result.exitCode, 0) << Label(c.arguments);
    }
  }
}

TEST(CommandLineE2e, ShortHelpNeverPages) {
  EXPECT_LT(ShortHelpLines(true).size(), 30u);
  EXPECT_LT(ShortHelpLines(false).size(), 30u);
}

// The long help with the pager's prompt after each 30th line, up to `pages` pages.
std::string PagedLongHelp(bool full, size_t pages) {
  std::vector<std::string> lines = LongHelpLines(full);
  std::string text;
  for (size_t page = 0; page < pages && page * 30 < lines.size(); ++page) {
    text += Joined(lines, page * 30, (page + 1) * 30);
    if ((page + 1) * 30 <= lines.size()) {
      text += kPagerPrompt;
    }
  }
  return text;
}

TEST(CommandLineE2e, LongHelpPages) {
  struct Case {
    std::string program;
    bool full;
    std::vector<std::string> arguments;
    std::string input;
    size_t pages;  // pages shown before the user quits; 99 = all
  };
  const std::string service = ProgramPath("druxsvc");
  const std::string full = TestProgramPath("druxsvc_fullset_testonly");
  const std::vector<Case> cases = {
      {service, false, {"-h"}, "\nq\n", 2},
      {service, false, {"-h"}, "q\n", 1},
      {service, false, {"/H"}, "Q", 1},
      {service, false, {"-h"}, "xyz\r\nabcq\n", 2},  // other characters are skipped
      {service, false, {"-h"}, "\r\n\r\n", 99},
      {service, false, {"-h"}, "", 99},  // end of input: everything, no hang
      {service, false, {"-vh", "bogus", "-x"}, "", 99},
      {service, false, {"i", "drux", "-yh", "too", "many"}, "\n\n", 99},
      {full, true, {"-h"}, "", 99},
      {full, true, {"-h"}, "\n\n\nq", 99},  // a prompt after the 90th line, too
      {full, true, {"-h"}, "\n\nq", 3},
      {full, true, {"-h"}, "\nq", 2},
  };
  SimulatedPc pc;
  for (const Case& c : cases) {
    ProgramOutput result = pc.Run(c.program, c.arguments, c.input);
    EXPECT_EQ(result.out, PagedLongHelp(c.full, c.pages)) << Label(c.arguments) << c.input;
    EXPECT_EQ(result.err, "") << Label(c.arguments);
    EXPECT_EQ(result.exitCode, 0) << Label(c.arguments);
    EXPECT_FALSE(result.timedOut);
  }
}

TEST(CommandLineE2e, LongHelpLengths) {
  // 90 entries, one of them the three supported-models lines; the service set leaves out ten.
  EXPECT_EQ(LongHelpLines(true).size(), 92u);
  EXPECT_EQ(LongHelpLines(false).size(), 82u);
}

}  // namespace
}  // namespace drux::test
