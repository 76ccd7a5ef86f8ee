// Start-up as both programs run it: controller detection, the PC type line, the panel and
// module checks, the total time, the fixed request of druxsvcadmin and the -d trace.
//
// Where only the start-up is under test, the request is one that the driver table refuses for
// good (Info LINKIFILE, Save STAT, ...): its outcome is fixed, and it sends no command of its
// own, so every controller command in the log belongs to the start-up.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/expected_help.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

const std::string kAdminBanner = VersionLine(true);
const std::vector<std::pair<std::string, std::string>> kFrozenClock = {
    {"DRUXSVC_TEST_CLOCK", "50,0"}};
const std::string kTotalTime = "Total time needed: < 1 second\n";
constexpr const char* kInfoNotSupported =
    "ERROR: Info is not supported for the specified data type.\n";
constexpr const char* kSaveNotSupported =
    "ERROR: Save is not supported for the specified data type.\n";
constexpr const char* kUpdateNotSupported =
    "ERROR: Update is not supported for the specified data type.\n";

// druxsvcadmin always runs the Change of PC module 0's factory settings. The tests give that
// module a record of a device that the parent ID correction does not know: the Change shows
// it and ends with exit code 7 without writing, so every run of the same machine is alike.
const std::string kAdminChange =
    "Change factory settings of module 0 (system unit) ...\n"
    "Device ID: 0x0000a640\n"
    "Parent device ID: 0x00000000\n"
    "Device is not affected.\n";
constexpr int kAdminChangeExitCode = 7;

void GiveModuleZeroAnUnaffectedRecord(const SimulatedPc& pc) {
  // EEPROM 0 from address 0 is module 0's area on every PC type that has a table.
  ProgramOutput result = pc.Druxsim({"fset", "0", "devid=0xA640"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
}

bool SentCommand(const SimulatedPc& pc, uint32_t code) {
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    if (entry.code == code) {
      return true;
    }
  }
  return false;
}

std::string Druxsvc() {
  return ProgramPath("druxsvc");
}
std::string Admin() {
  return ProgramPath("druxsvcadmin");
}
std::string FullSet() {
  return TestProgramPath("druxsvc_fullset_testonly");
}

TEST(StartupE2e, ControllerNotFound) {
  for (const char* setting : {"present=0", "variant=DRUA", "variant=DRUY", "variant=XRUX"}) {
    SimulatedPc pc({setting});
    struct Case {
      std::string program;
      std::vector<std::string> arguments;
      std::string out;
    };
    const std::vector<Case> cases = {
        {Druxsvc(), {"i", "stat"}, ""},
        {FullSet(), {"i", "stat"}, ""},
        {Admin(), {}, kAdminBanner},
    };
    for (const Case& c : cases) {
      ProgramOutput result = pc.Run(c.program, c.arguments);
      EXPECT_EQ(result.out, c.out) << setting << " " << c.program;
      EXPECT_EQ(result.err, "ERROR: DRUX not found.\n") << setting << " " << c.program;
      EXPECT_EQ(result.exitCode, 6) << setting << " " << c.program;
    }
  }
}

TEST(StartupE2e, SecondControllerVariantIsFound) {
  SimulatedPc pc({"variant=DRUU"});
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "linkifile"}, "", kFrozenClock);
  EXPECT_EQ(result.out, "PC is an EX64.\n\n" + kTotalTime);
  EXPECT_EQ(result.err, kInfoNotSupported);
  EXPECT_EQ(result.exitCode, 1);
}

// The PC type line of each program for every known code and some unknown ones. druxsvcadmin
// names only two models; the service set never names a VP20. druxsvcadmin's handlers know all
// eleven models, so its Change finds module 0's area on each of them and on no other code.
TEST(StartupE2e, PcTypeLine) {
  struct Case {
    std::string code;
    std::string serviceText;
    std::string fullText;
    bool knownToHandlers;
  };
  const std::string unsupported = "an unsupported type.\n";
  const std::vector<Case> cases = {
      {"14", "an EX41.\n", unsupported, true},  {"15", "a VP41.\n", unsupported, true},
      {"16", "an EX52.\n", unsupported, true},  {"17", "a VP52.\n", unsupported, true},
      {"18", "an EX64.\n", "an EX64.\n", true}, {"19", "a VP64.\n", "a VP64.\n", true},
      {"20", "an EX53.\n", unsupported, true},  {"21", "a VP53.\n", unsupported, true},
      {"22", "an EM64.\n", unsupported, true},  {"23", "a VP47.\n", unsupported, true},
      {"24", unsupported, unsupported, true},   {"0", unsupported, unsupported, false},
      {"13", unsupported, unsupported, false},  {"25", unsupported, unsupported, false},
      {"255", unsupported, unsupported, false},
  };
  for (const Case& c : cases) {
    SimulatedPc pc({"pc=" + c.code});
    GiveModuleZeroAnUnaffectedRecord(pc);

    ProgramOutput service = pc.Run(Druxsvc(), {"i", "linkifile"}, "", kFrozenClock);
    EXPECT_EQ(service.out, "PC is " + c.serviceText + "\n" + kTotalTime) << c.code;
    EXPECT_EQ(service.err, kInfoNotSupported) << c.code;
    EXPECT_EQ(service.exitCode, 1) << c.code;

    ProgramOutput full = pc.Run(FullSet(), {"i", "linkifile"}, "", kFrozenClock);
    EXPECT_EQ(full.out, "PC is " + c.fullText + "\n" + kTotalTime) << c.code;
    EXPECT_EQ(full.err, kInfoNotSupported) << c.code;
    EXPECT_EQ(full.exitCode, 1) << c.code;

    ProgramOutput admin = pc.Run(Admin(), {}, "", kFrozenClock);
    if (c.knownToHandlers) {
      EXPECT_EQ(admin.out, kAdminBanner + "PC is " + c.fullText + kAdminChange + kTotalTime)
          << c.code;
      EXPECT_EQ(admin.err, "") << c.code;
      EXPECT_EQ(admin.exitCode, kAdminChangeExitCode) << c.code;
    } else {
      EXPECT_EQ(admin.out, kAdminBanner + "PC is " + c.fullText +
                               "Change factory settings of module 0 (system unit) ...\n" +
                               kTotalTime)
          << c.code;
      EXPECT_EQ(admin.err, "ERROR: Factory settings are not supported for this module.\n")
          << c.code;
      EXPECT_EQ(admin.exitCode, 15) << c.code;
    }
  }
}

TEST(StartupE2e, PanelNotConnectedStopsBeforeTheAction) {
  SimulatedPc pc;
  struct Case {
    std::string program;
    std::vector<std::string> arguments;
    int panel;
  };
  const std::vector<Case> cases = {
      {Druxsvc(), {"i", "stat", "-p=3"}, 3},
      {Druxsvc(), {"u", "drux", "-p=2", "-r"}, 2},
      {FullSet(), {"i", "fset", "-p=15", "-m=1"}, 15},
  };
  for (const Case& c : cases) {
    ProgramOutput result = pc.Run(c.program, c.arguments, "", kFrozenClock);
    EXPECT_EQ(result.out, "PC is an EX64.\n") << c.panel;
    EXPECT_EQ(result.err, "ERROR: Panel " + std::to_string(c.panel) + " is not connected.\n");
    EXPECT_EQ(result.exitCode, 11) << c.panel;
  }
}

// The connected panel is the one the handler reads: panel statistics of panel 1.
TEST(StartupE2e, ConnectedPanelReachesTheDriver) {
  SimulatedPc pc({"panel.1.backlight-hours=1234", "panel.1.backlight-cycles=56"});
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "stat", "-p=1"}, "", kFrozenClock);
  EXPECT_EQ(result.out,
            "PC is an EX64.\n\n-- Statistics values of panel 1 --\n\n"
            "Backlight-on: 1234 h (56 cycles)\n\n" +
                kTotalTime);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  bool panelRecordRead = false;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    panelRecordRead |= entry.code == 0x30 && entry.device == 1 && entry.read;
  }
  EXPECT_TRUE(panelRecordRead);
}

TEST(StartupE2e, TotalTime) {
  struct Case {
    std::string clock;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"10,0", "Total time needed: < 1 second\n"},
      {"10,2", "Total time needed: 2 seconds\n"},
      {"10,1", "Total time needed: 1 seconds\n"},
      {"0,3600", "Total time needed: 3600 seconds\n"},
  };
  SimulatedPc pc;
  for (const Case& c : cases) {
    ProgramOutput result =
        pc.Run(Druxsvc(), {"s", "stat", "s.bin"}, "", {{"DRUXSVC_TEST_CLOCK", c.clock}});
    EXPECT_EQ(result.out, "PC is an EX64.\n" + c.line) << c.clock;
    EXPECT_EQ(result.err, kSaveNotSupported);
    EXPECT_EQ(result.exitCode, 1) << c.clock;
  }
}

// Each driver's closing after a refusal: Info always ends with an empty line, the others
// print nothing after a failure.
TEST(StartupE2e, DriversRefuseAndClose) {
  struct Case {
    std::vector<std::string> arguments;
    std::string closing;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"i", "linkifile"}, "\n", kInfoNotSupported},
      {{"s", "stat"}, "", kSaveNotSupported},
      {{"u", "all"}, "", kUpdateNotSupported},
      {{"d", "drux"}, "", "ERROR: Delete is not supported for the specified data type.\n"},
      {{"c", "kcf", "1234"}, "", "ERROR: Action is not supported for the specified data type.\n"},
  };
  SimulatedPc pc;
  for (const Case& c : cases) {
    ProgramOutput result = pc.Run(Druxsvc(), c.arguments, "", kFrozenClock);
    EXPECT_EQ(result.out, "PC is an EX64.\n" + c.closing + kTotalTime) << c.arguments[0];
    EXPECT_EQ(result.err, c.error) << c.arguments[0];
    EXPECT_EQ(result.exitCode, 1) << c.arguments[0];
  }
  EXPECT_TRUE(pc.CommandLog().empty()) << "a refused request sends no command";
}

// -r reboots only after a reboot-needed result; a failed action passes its code on and no
// reboot command reaches the controller.
TEST(StartupE2e, RebootOptionLeavesAFailedActionAlone) {
  struct Case {
    std::vector<std::string> arguments;
    std::string fault;  // command whose every run fails with error byte 0x85; empty: none
    std::string out;
    std::string err;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {{"u", "stat", "-r"}, "", "PC is an EX64.\n" + kTotalTime, kUpdateNotSupported, 1},
      {{"i", "stat", "-p=1", "-r"},
       "0x30",
       "PC is an EX64.\n\n-- Statistics values of panel 1 --\n\n\n" + kTotalTime,
       "ERROR: Can't read data: device failure (does not exist)\n",
       6},
  };
  for (const Case& c : cases) {
    SimulatedPc pc;
    if (!c.fault.empty()) {
      ProgramOutput fault = pc.Druxsim({"fault", "error", c.fault, "0x85"});
      ASSERT_EQ(fault.exitCode, 0) << fault.err;
    }
    ProgramOutput result = pc.Run(Druxsvc(), c.arguments, "", kFrozenClock);
    EXPECT_EQ(result.out, c.out) << c.arguments[0];
    EXPECT_EQ(result.err, c.err) << c.arguments[0];
    EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments[0];
    EXPECT_FALSE(SentCommand(pc, 0x50)) << c.arguments[0];
    EXPECT_FALSE(SentCommand(pc, 0x22)) << c.arguments[0];
  }
}

TEST(StartupE2e, AdminIgnoresItsArguments) {
  SimulatedPc pc;
  GiveModuleZeroAnUnaffectedRecord(pc);
  ProgramOutput plain = pc.Run(Admin(), {}, "", kFrozenClock);
  EXPECT_EQ(plain.out, kAdminBanner + "PC is an EX64.\n" + kAdminChange + kTotalTime);
  EXPECT_EQ(plain.err, "");
  EXPECT_EQ(plain.exitCode, kAdminChangeExitCode);
  for (std::vector<std::string> arguments : std::vector<std::vector<std::string>>{
           {"-h"}, {"-?"}, {"/?"}, {"in", "valid"}, {"i", "stat", "-p=3"}, {"-m=99"}}) {
    ProgramOutput result = pc.Run(Admin(), arguments, "", kFrozenClock);
    EXPECT_EQ(result.out, plain.out) << arguments[0];
    EXPECT_EQ(result.err, plain.err) << arguments[0];
    EXPECT_EQ(result.exitCode, plain.exitCode) << arguments[0];
  }
}

// druxsvcadmin's fixed request names PC module 0; without a model number it asks. On no,
// nothing of the Change reaches the controller.
TEST(StartupE2e, AdminModuleCheck) {
  struct Case {
    std::string setting;
    std::string input;
    bool continues;
  };
  const std::vector<Case> cases = {
      {"module.0.model=", "n\n", false}, {"module.0.model=", "\n", false},
      {"module.0.model=", "", false},    {"module.0.fitted=0", "nope\n", false},
      {"module.0.model=", "y\n", true},  {"module.0.model=", "yes\r\n", true},
      {"module.0.model=", "  Y", true},  {"module.0.fitted=0", "no way\n", true},
  };
  const std::string question = "Continue anyway (y/n): ";
  for (const Case& c : cases) {
    SimulatedPc pc({c.setting});
    GiveModuleZeroAnUnaffectedRecord(pc);
    ProgramOutput result = pc.Run(Admin(), {}, c.input, kFrozenClock);
    std::string label = c.setting + " / " + c.input;
    EXPECT_EQ(result.err, "ERROR: PC module 0 is not available.\n") << label;
    if (c.continues) {
      EXPECT_EQ(result.out,
                kAdminBanner + "PC is an EX64.\n" + question + kAdminChange + kTotalTime)
          << label;
      EXPECT_EQ(result.exitCode, kAdminChangeExitCode) << label;
    } else {
      EXPECT_EQ(result.out, kAdminBanner + "PC is an EX64.\n" + question) << label;
      EXPECT_EQ(result.exitCode, 12) << label;
      EXPECT_FALSE(SentCommand(pc, 0x63)) << label;
    }
  }
}

TEST(StartupE2e, ModuleCheckOrderOnOneStream) {
  SimulatedPc pc({"module.0.model="});
  ProgramOutput result = pc.Run(Admin(), {}, "n\n", {}, true);
  EXPECT_EQ(result.out, kAdminBanner +
                            "PC is an EX64.\n"
                            "ERROR: PC module 0 is not available.\n"
                            "Continue anyway (y/n): ");
  EXPECT_EQ(result.exitCode, 12);
}

TEST(StartupE2e, PanelModuleCheckNamesThePanel) {
  SimulatedPc pc({"panel.1.modules=0"});
  ProgramOutput result = pc.Run(FullSet(), {"i", "fset", "-p=1", "-m=2"}, "n\n", kFrozenClock);
  EXPECT_EQ(result.out, "PC is an EX64.\nContinue anyway (y/n): ");
  EXPECT_EQ(result.err, "ERROR: Panel module 2 is not available.\n");
  EXPECT_EQ(result.exitCode, 12);
}

// The hex dump lines of the trace for a reply of up to 16 bytes.
std::string DumpLine(const std::string& bytes) {
  std::string hex = "00:";
  std::string text = " = ";
  for (unsigned char byte : bytes) {
    char piece[8];
    std::snprintf(piece, sizeof piece, " %02x", byte);
    hex += piece;
    text += (byte >= 0x20 && byte < 0x7F) ? char(byte) : '.';
  }
  return hex + text + "\n";
}

// With -d the module check's three model number reads are traced with their replies.
TEST(StartupE2e, DebugTraceOfTheModuleCheck) {
  SimulatedPc pc({"module.3.model=MODEL-X1"});
  ProgramOutput result = pc.Run(FullSet(), {"-d", "i", "linkifile", "-m=3"}, "", kFrozenClock);
  std::string model("MODEL-X1");
  model.resize(40, '\0');
  const std::string expected =
      "PC is an EX64.\n"
      "RD Cmd:0x61 Addr:0x0500 DevNum:0x3 Target:0x0 Size:0x10\n" +
      DumpLine(model.substr(0, 16)) + "RD Cmd:0x61 Addr:0x0501 DevNum:0x3 Target:0x0 Size:0x10\n" +
      DumpLine(model.substr(16, 16)) + "RD Cmd:0x61 Addr:0x0502 DevNum:0x3 Target:0x0 Size:0x8\n" +
      DumpLine(model.substr(32, 8)) + "\n" + kTotalTime;
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err, kInfoNotSupported);
  EXPECT_EQ(result.exitCode, 1);
}

TEST(StartupE2e, NoTraceWithoutTheDebugOption) {
  SimulatedPc pc({"module.3.model=MODEL-X1"});
  ProgramOutput result = pc.Run(FullSet(), {"i", "linkifile", "-m=3"}, "", kFrozenClock);
  EXPECT_EQ(result.out, "PC is an EX64.\n\n" + kTotalTime);
  EXPECT_EQ(result.err, kInfoNotSupported);
  EXPECT_EQ(result.exitCode, 1);
  std::vector<sim::LogEntry> log = pc.CommandLog();
  ASSERT_EQ(log.size(), 3u);
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].code, 0x61);
    EXPECT_EQ(log[i].address, 0x500 + i);
    EXPECT_EQ(log[i].device, 3);
    EXPECT_TRUE(log[i].read);
  }
}

// The same machine changed between runs with the druxsim tool, as a tester would.
TEST(StartupE2e, MachineChangedWithTheDruxsimTool) {
  SimulatedPc pc;
  ProgramOutput set = pc.Druxsim({"set", "pc=VP41"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "linkifile"}, "", kFrozenClock);
  EXPECT_EQ(result.out, "PC is a VP41.\n\n" + kTotalTime);
  EXPECT_EQ(result.err, kInfoNotSupported);
  EXPECT_EQ(result.exitCode, 1);

  // A module whose reads fail counts as not available.
  ProgramOutput fault = pc.Druxsim({"fault", "error", "0x61", "0x84"});
  ASSERT_EQ(fault.exitCode, 0) << fault.err;
  result = pc.Run(Admin(), {}, "n\n", kFrozenClock);
  EXPECT_EQ(result.out, kAdminBanner + "PC is an unsupported type.\nContinue anyway (y/n): ");
  EXPECT_EQ(result.err, "ERROR: PC module 0 is not available.\n");
  EXPECT_EQ(result.exitCode, 12);
}

}  // namespace
}  // namespace drux::test
