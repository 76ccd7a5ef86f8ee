// The action drivers as the programs run them: refused combinations, the target checks, the
// closing lines, Info ALL with its report file, and the module check of druxsvcadmin.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/status_text.h"
#include "frontend/keyword_tables.h"
#include "tests/e2e/expected_help.h"
#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

std::string NotSupportedLine(uint32_t action) {
  switch (action) {
    case kActionInfo:
      return "ERROR: Info is not supported for the specified data type.\n";
    case kActionSave:
      return "ERROR: Save is not supported for the specified data type.\n";
    case kActionUpdate:
      return "ERROR: Update is not supported for the specified data type.\n";
    case kActionDelete:
      return "ERROR: Delete is not supported for the specified data type.\n";
    default:
      return "ERROR: Action is not supported for the specified data type.\n";
  }
}

std::string Label(const std::vector<std::string>& arguments) {
  std::string label;
  for (const std::string& argument : arguments) {
    label += argument + " ";
  }
  return label;
}

// Every action that the help does not list for a data type, in both feature sets, with the
// data type's short and long keyword: the driver's line, exit code 1, the controller untouched
// beyond start-up.
TEST(DriversE2e, EveryUnlistedActionIsRefused) {
  SimulatedPc pc;
  int refusals = 0;
  for (bool full : {false, true}) {
    for (const DataTypeKeywords& keywords : kDataTypeKeywords) {
      if (!full && !keywords.inServiceSet) {
        continue;
      }
      for (const ActionKeywords& action : kActionKeywords) {
        if (std::strchr(keywords.supportedActions, action.letter[0]) != nullptr) {
          continue;
        }
        std::string keyword = (keywords.longKeyword != nullptr && refusals % 2 == 1)
                                  ? keywords.longKeyword
                                  : keywords.keyword;
        std::vector<std::string> arguments{action.word, keyword, "-p=0"};
        ProgramOutput result = pc.Run(full ? FullSet() : Druxsvc(), arguments, "", kFrozenClock);
        std::string closing = action.code == kActionInfo ? "\n" : "";
        std::string label = Label(arguments) + (full ? "(full)" : "(service)");
        EXPECT_EQ(result.out, kPcLine + closing + kTotalTime) << label;
        EXPECT_EQ(result.err, NotSupportedLine(action.code)) << label;
        EXPECT_EQ(result.exitCode, 1) << label;
        ++refusals;
      }
    }
  }
  EXPECT_EQ(refusals, 33 + 41);
  // Start-up checks that panel 0 is connected; nothing else reached the controller.
  EXPECT_TRUE(pc.CommandLog().empty());
}

// A target that the request leaves open. The service set takes it from the command line only;
// the full set asks, and reaches the same messages when its questions leave the target open:
// no panel connected, the answer pc, no module listed. The menu text comes before the message.
TEST(DriversE2e, MissingTarget) {
  const std::string panelRequired = "ERROR: Panel number (option -p) is required.\n";
  const std::string panelOrModule =
      "ERROR: Panel number (option -p) or module number (option -m) is required.\n";
  const std::string moduleOnly = "ERROR: Action is supported for a module only.\n";
  const std::string targets = "-- Available targets --\n";
  const std::string noPanels = targets + "No panels found.\n";
  const std::string noPanelsPcAllowed = targets + "PC\nNo panels found.\nContinue with PC ...\n";
  const std::string askTarget = "Enter 'PC', panel number (0 to 15) or nothing to exit: ";
  // The default machine's panels carry their display blocks; a created machine's are erased.
  const std::string pcAnswered = targets + "PC\nPanel 0 ()\nPanel 1 ()\n" + askTarget;
  const std::string pcAnsweredDefault =
      targets + "PC\nPanel 0 (DX-PANEL-15)\nPanel 1 (DX-PANEL-15)\n" + askTarget;
  const std::string noPcModules = "-- Available PC modules --\nNo modules found.\n";
  const std::string noPanelModules = "-- Available panel modules --\nNo modules found.\n";
  const std::vector<std::string> defaultMachine = {};
  const std::vector<std::string> withoutPanels = {"create", "--no-panels"};
  const std::vector<std::string> withoutPanelsAndModules = {"create", "--no-panels",
                                                            "--no-modules"};
  const std::vector<std::string> withoutPcModules = {"create", "--no-modules"};
  struct Case {
    bool full;
    std::vector<std::string> arguments;
    std::vector<std::string> machine;  // druxsim command that builds it; empty: the default
    std::string input;
    std::string menu;
    std::string err;
  };
  const std::vector<Case> cases = {
      {false, {"i", "conv"}, defaultMachine, "", "", panelRequired},
      {false, {"s", "convfpga", "c.bin"}, defaultMachine, "", "", panelRequired},
      {false, {"u", "conv", "c.bin", "-y"}, defaultMachine, "", "", panelRequired},
      {false, {"i", "hdbt"}, defaultMachine, "", "", panelRequired},
      {false, {"u", "hdbtfw", "h.bin"}, defaultMachine, "", "", panelRequired},
      // Without the PC among the targets only a machine without panels leaves the panel open.
      {true, {"i", "conv"}, withoutPanels, "", noPanels, panelRequired},
      {true, {"s", "conv", "c.bin"}, withoutPanels, "", noPanels, panelRequired},
      {true, {"i", "hdbt"}, withoutPanels, "", noPanels, panelRequired},
      {true, {"u", "hdbt"}, withoutPanels, "", noPanelsPcAllowed, panelRequired},
      {true, {"u", "hdbt", "h.bin"}, defaultMachine, "pc\n", pcAnsweredDefault, panelRequired},
      {true, {"u", "conv", "c.bin"}, defaultMachine, "PC\r\n", pcAnsweredDefault, panelRequired},
      {true,
       {"i", "fset"},
       withoutPanelsAndModules,
       "",
       noPanelsPcAllowed + noPcModules,
       panelOrModule},
      {true,
       {"s", "fset", "f.bin"},
       withoutPcModules,
       "pc\n",
       pcAnswered + noPcModules,
       panelOrModule},
      {true,
       {"u", "fset", "f.bin"},
       withoutPanelsAndModules,
       "",
       noPanelsPcAllowed + noPcModules,
       panelOrModule},
      {true, {"d", "fset", "-y"}, withoutPcModules, "pc\n", pcAnswered + noPcModules, moduleOnly},
      {true,
       {"d", "fset", "-p=1"},
       {"create", "--panel", "0", "--panel", "1:nomodules"},
       "",
       noPanelModules,
       moduleOnly},
      {true,
       {"c", "fset", "KEY=1"},
       withoutPanelsAndModules,
       "",
       noPanelsPcAllowed + noPcModules,
       moduleOnly},
      {true,
       {"c", "fset", "-p=0"},
       {"set", "panel.0.module.0.fitted=0"},
       "",
       noPanelModules,
       moduleOnly},
  };
  for (const Case& c : cases) {
    SimulatedPc pc;
    if (!c.machine.empty()) {
      ASSERT_EQ(pc.Druxsim(c.machine).exitCode, 0) << Label(c.machine);
    }
    ProgramOutput result =
        pc.Run(c.full ? FullSet() : Druxsvc(), c.arguments, c.input, kFrozenClock);
    std::string closing = c.arguments[0] == "i" ? "\n" : "";
    std::string label = Label(c.arguments) + (c.full ? "(full)" : "(service)");
    EXPECT_EQ(result.out, kPcLine + c.menu + closing + kTotalTime) << label;
    EXPECT_EQ(result.err, c.err) << label;
    EXPECT_EQ(result.exitCode, 1) << label;
  }
}

// Closing lines: Info always ends with an empty line; the others confirm only a result of 0.
TEST(DriversE2e, ClosingLines) {
  SimulatedPc pc;
  ProgramOutput changed = pc.Run(Druxsvc(), {"c", "uid", "1"}, "", kFrozenClock);
  EXPECT_EQ(changed.out,
            kPcLine + "User Serial ID changed to 0x00000001.\nChange finished.\n" + kTotalTime);
  EXPECT_EQ(changed.exitCode, 0);

  ProgramOutput refused = pc.Run(Druxsvc(), {"c", "uid", "xyz"}, "", kFrozenClock);
  EXPECT_EQ(refused.out, kPcLine + kTotalTime);
  EXPECT_EQ(refused.exitCode, 1);

  ASSERT_EQ(pc.Druxsim({"fault", "error", "0x12", "0x85"}).exitCode, 0);
  ProgramOutput failed = pc.Run(Druxsvc(), {"i", "uid"}, "", kFrozenClock);
  EXPECT_EQ(failed.out, kPcLine + "\n-- User Serial ID --\n\n\n" + kTotalTime);
  EXPECT_EQ(failed.exitCode, 6);
}

// The fan units are fixed PC modules: a panel given on the command line changes nothing.
TEST(DriversE2e, FanUnitsIgnoreTheRequestedPanel) {
  SimulatedPc pc;
  struct Case {
    std::vector<std::string> arguments;
    std::string line;
  };
  const std::vector<Case> cases = {
      {{"i", "fanfset", "-p=1"}, "\n-- Factory settings of module 8 (fan kit) --\n\n"},
      {{"i", "fan2fset", "-p=0"}, "\n-- Factory settings of module 12 (bus fan kit) --\n\n"},
      {{"d", "fanfset", "-p=1", "-y"}, "Delete factory settings of module 8 (fan kit) ...\n"},
      {{"d", "fan2fset", "-p=1", "-y"}, "Delete factory settings of module 12 (bus fan kit) ...\n"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(pc.Druxsim({"log", "--clear"}).exitCode, 0);
    ProgramOutput result = pc.Run(Druxsvc(), c.arguments, "", kFrozenClock);
    EXPECT_EQ(result.out.rfind(kPcLine + c.line, 0), 0u) << Label(c.arguments) << result.out;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      EXPECT_NE(entry.code, 0x7F) << Label(c.arguments) << "selected a panel";
      EXPECT_NE(entry.code, 0x71) << Label(c.arguments) << "read a panel module";
    }
  }
}

// A handler that ends with the power-cycle notice returns 16: no finished line, exit code 0,
// and with -r the PC reboot command (the notice named the PC).
TEST(DriversE2e, RebootAfterAPowerCycleNotice) {
  const std::string notice =
      "*** The PC must be powered off/on to take over the changes!***\n"
      "    (if option -r is specified, the device is rebooted)\n";
  struct Case {
    std::vector<std::string> arguments;
    bool refuseReboot;
    std::string tail;  // end of the standard output
    std::string err;
    int exitCode;
    bool rebootSent;
  };
  const std::string refusal =
      std::string("ERROR: Can't reboot DRUX: ") + StatusText(kStatusFailed, 0x85) + "\n";
  const std::vector<Case> cases = {
      {{"d", "fanfset", "-y"}, false, notice + kTotalTime, "", 0, false},
      {{"d", "fanfset", "-y", "-r"}, false, notice + kTotalTime + "Reboot PC ...\n", "", 0, true},
      {{"d", "fanfset", "-ry"}, true, notice + kTotalTime + "Reboot PC ...\n", refusal, 14, true},
  };
  for (const Case& c : cases) {
    SimulatedPc pc;
    if (c.refuseReboot) {
      ASSERT_EQ(pc.Druxsim({"fault", "error", "0x50", "0x85"}).exitCode, 0);
    }
    ProgramOutput result = pc.Run(Druxsvc(), c.arguments, "", kFrozenClock);
    ASSERT_GE(result.out.size(), c.tail.size()) << Label(c.arguments);
    EXPECT_EQ(result.out.substr(result.out.size() - c.tail.size()), c.tail) << Label(c.arguments);
    EXPECT_EQ(result.out.find("Delete finished."), std::string::npos) << Label(c.arguments);
    EXPECT_EQ(result.err, c.err) << Label(c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << Label(c.arguments);
    std::vector<sim::LogEntry> log = pc.CommandLog();
    ASSERT_FALSE(log.empty());
    const sim::LogEntry& last = log.back();
    EXPECT_EQ(last.code == 0x50, c.rebootSent) << Label(c.arguments);
    if (c.rebootSent) {
      EXPECT_EQ(last.address, 0);
      EXPECT_EQ(last.device, 3);
      EXPECT_EQ(last.target, 1);
      EXPECT_EQ(last.size, 0);
      EXPECT_FALSE(last.read);
    }
  }
}

// ---- Info ALL -------------------------------------------------------------------------------

// The headers of the handlers that Info ALL reaches today, in the order of the sweep.
std::vector<std::string> HeadersIn(const std::string& text) {
  std::vector<std::string> headers;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("-- ", 0) == 0 || line.rfind("ERROR: ", 0) == 0) {
      headers.push_back(line);
    }
  }
  return headers;
}

// The BIOS settings of the default EX64 open the report, the user serial ID follows.
const std::string kBiosAndUid =
    "\n-- BIOS settings --\n\nBoot=BIOS\nSATA=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"
    "\n-- User Serial ID --\n\nValue: 0x00000042\n";

TEST(InfoAllE2e, ToTheConsoleWithoutAName) {
  SimulatedPc pc({"panel.1.connected=0", "panel.0.module.0.fitted=0", "uid=0x42"});
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out.rfind(kPcLine + kBiosAndUid, 0), 0u) << result.out;
  EXPECT_EQ(result.out.substr(result.out.size() - kTotalTime.size() - 1), "\n" + kTotalTime);
}

// Panels 0 and 2 connected, 2 being the built-in display, 3 not connected: the report covers
// the PC, its present modules and panel 0 with its present modules, never panels 2 or 3.
TEST(InfoAllE2e, SkipsTheBuiltInDisplayAndUnconnectedPanels) {
  SimulatedPc pc({"panel.1.connected=0", "panel.2.connected=1", "panel.2.version=0x5886",
                  "panel.2.module.0.fitted=1", "panel.2.module.0.id=0x22",
                  "panel.3.module.0.fitted=1", "panel.3.module.0.id=0x33",
                  "panel.0.module.3.fitted=1", "panel.0.module.3.id=0x3"});
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock);
  EXPECT_EQ(result.exitCode, 0);
  const std::vector<std::string> expected = {
      "-- User Serial ID --",
      "-- Statistics values of module 0 (system unit) --",
      "-- Statistics values of module 8 (fan kit) --",
      "-- Statistics values of panel 0 --",
      "-- Statistics values of module 0 (panel) on panel 0 --",
      "-- Statistics values of module 3 (expansion unit) on panel 0 --",
  };
  std::vector<std::string> headers;
  for (const std::string& header : HeadersIn(result.out)) {
    // Module factory settings have their own sections; this test follows the statistics.
    if (header.find("Statistics") != std::string::npos ||
        header.find("User Serial") != std::string::npos) {
      headers.push_back(header);
    }
  }
  EXPECT_EQ(headers, expected) << result.out;
  // Panel functions reached panel 0 only.
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    if (entry.code == 0x7F || entry.code == 0x30) {
      EXPECT_EQ(entry.device, 0) << "command 0x" << std::hex << int(entry.code);
    }
  }
}

// An existing report file is overwritten without a question. Both streams go into it in the
// order they were printed, up to the total-time line; the console keeps only what came before.
TEST(InfoAllE2e, ReportFileThatExists) {
  SimulatedPc pc({"panel.1.connected=0"});
  ASSERT_EQ(pc.Druxsim({"fault", "error", "0x12", "0x83"}).exitCode, 0);
  // Relative: an argument that starts with '/' is an option.
  const std::string report = std::filesystem::relative(pc.directory() + "/report.txt").string();
  std::ofstream(report) << "old report that is much longer than nothing at all\n";
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "all", report}, "n\n", kFrozenClock);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, kPcLine + "Write report file: " + report + "\n");
  EXPECT_EQ(result.err, "");
  std::string content = ReadFileText(report);
  EXPECT_EQ(content.find("old report"), std::string::npos);
  const std::string uidFailure = "\n-- User Serial ID --\n\nERROR: Can't read User Serial ID: " +
                                 std::string(StatusText(kStatusFailed, 0x83)) + "\n";
  size_t uid = content.find(uidFailure);
  size_t firstModule = content.find("-- Statistics values of module 0 (system unit) --");
  EXPECT_NE(uid, std::string::npos) << content;
  EXPECT_NE(firstModule, std::string::npos) << content;
  EXPECT_LT(uid, firstModule) << content;
  ASSERT_GE(content.size(), kTotalTime.size() + 1);
  EXPECT_EQ(content.substr(content.size() - kTotalTime.size() - 1), "\n" + kTotalTime);
}

TEST(InfoAllE2e, ReportFileThatCannotBeOpened) {
  SimulatedPc pc;
  const std::string report =
      std::filesystem::relative(pc.directory()).string() + "/no/such/directory/report.txt";
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "all", report}, "", kFrozenClock);
  EXPECT_EQ(result.out, kPcLine + "Write report file: " + report + "\n\n" + kTotalTime);
  EXPECT_EQ(result.err, std::string("ERROR: Can't open file: ") + std::strerror(ENOENT) + "\n");
  EXPECT_EQ(result.exitCode, 2);
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    EXPECT_NE(entry.code, 0x12) << "the sweep ran";
  }
}

// The full set asks for the report file; an empty answer keeps the console.
TEST(InfoAllE2e, FullSetAsksForTheReportFile) {
  SimulatedPc pc({"panel.1.connected=0", "uid=0x42"});
  const std::string question =
      "Enter a report filename or nothing to continue with console output: ";
  ProgramOutput console = pc.Run(FullSet(), {"i", "all"}, "\r\n", kFrozenClock);
  EXPECT_EQ(console.exitCode, 0);
  EXPECT_EQ(console.out.rfind(kPcLine + question + kBiosAndUid, 0), 0u) << console.out;

  const std::string report = pc.directory() + "/typed.txt";
  ProgramOutput typed = pc.Run(FullSet(), {"i", "all"}, report + "\r\n", kFrozenClock);
  EXPECT_EQ(typed.exitCode, 0);
  EXPECT_EQ(typed.out, kPcLine + question);
  std::string content = ReadFileText(report);
  EXPECT_EQ(content.rfind(kBiosAndUid, 0), 0u) << content;
  EXPECT_NE(content.find(kTotalTime), std::string::npos);
}

// ---- Start-up around the drivers ------------------------------------------------------------

// druxsvcadmin's fixed request names PC module 0: without its model number the program asks
// whether to go on, and a yes reaches the factory-settings driver.
TEST(DriversE2e, AdminModuleCheck) {
  const std::string banner = VersionLine(true);
  const std::string question = "Continue anyway (y/n): ";
  SimulatedPc pc({"module.0.model="});
  ProgramOutput no = pc.Run(Admin(), {}, "n\n", kFrozenClock);
  EXPECT_EQ(no.out, banner + kPcLine + question);
  EXPECT_EQ(no.err, "ERROR: PC module 0 is not available.\n");
  EXPECT_EQ(no.exitCode, 12);

  size_t commandsOfTheCheck = pc.CommandLog().size();

  // The time is taken only once the check has passed; the factory-settings handler runs.
  ProgramOutput yes = pc.Run(Admin(), {}, "y\n", kFrozenClock);
  EXPECT_EQ(yes.out.rfind(banner + kPcLine + question, 0), 0u) << yes.out;
  EXPECT_EQ(yes.err.rfind("ERROR: PC module 0 is not available.\n", 0), 0u) << yes.err;
  EXPECT_NE(yes.out.find(kTotalTime), std::string::npos) << yes.out;
  EXPECT_GT(pc.CommandLog().size(), 2 * commandsOfTheCheck);
}

}  // namespace
}  // namespace drux::test
