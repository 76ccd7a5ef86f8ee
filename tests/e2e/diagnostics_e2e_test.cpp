// Statistics and the user serial ID as the programs show and change them, from the command
// line (or the full set's target questions) to the controller and back.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/status_text.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

// What an Info run prints around the handler's text.
std::string InfoRun(const std::string& text) {
  return kPcLine + text + "\n" + kTotalTime;
}

std::string ModuleHeader(int module, const std::string& name) {
  return "\n-- Statistics values of module " + std::to_string(module) + " (" + name + ") --\n\n";
}
std::string PanelModuleHeader(int module, const std::string& name, int panel) {
  return "\n-- Statistics values of module " + std::to_string(module) + " (" + name +
         ") on panel " + std::to_string(panel) + " --\n\n";
}
std::string PanelHeader(int panel) {
  return "\n-- Statistics values of panel " + std::to_string(panel) + " --\n\n";
}
const std::string kNoStatistics = "No statistics available for this module.\n";

int CountCommands(const SimulatedPc& pc, int code) {
  int count = 0;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    count += entry.code == code ? 1 : 0;
  }
  return count;
}

// ---- Statistics ---------------------------------------------------------------------------

// Records set on PC modules: module 0 with every time record, 3 with power-on only, 5 fitted
// with an identification word of 0 (not present), 8 with fan records only, 15 beyond the names.
const std::initializer_list<std::string> kPcModuleRecords = {
    "module.0.power-on=401,3",    "module.0.backlight-on=0,0", "module.0.on-battery=10,4294967295",
    "module.3.fitted=1",          "module.3.id=0x3",           "module.3.model=IF-3",
    "module.3.power-on=10,7",     "module.5.fitted=1",         "module.5.id=0",
    "module.5.power-on=4,4",      "module.15.fitted=1",        "module.15.id=0xF",
    "module.15.backlight-on=3,2",
};

TEST(StatisticsE2e, WithoutTargetEachPresentPcModule) {
  SimulatedPc pc(kPcModuleRecords);
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "stat"}, "", kFrozenClock);
  EXPECT_EQ(result.out,
            InfoRun(ModuleHeader(0, "system unit") +
                    "Power-on: 100 h 15 min (3 cycles)\n"
                    "Backlight-on: 0 h 0 min (0 cycles)\n"
                    "On-battery: 2 h 30 min (4294967295 cycles)\n" +
                    ModuleHeader(3, "monitor/panel option") + "Power-on: 2 h 30 min (7 cycles)\n" +
                    ModuleHeader(8, "fan kit") + kNoStatistics + ModuleHeader(15, "") +
                    "Backlight-on: 0 h 45 min (2 cycles)\n"));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
}

TEST(StatisticsE2e, WithoutAnyPresentModuleNothingButTheClosing) {
  SimulatedPc pc({"module.0.fitted=0", "module.8.fitted=0"});
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "stat"}, "", kFrozenClock);
  EXPECT_EQ(result.out, InfoRun(""));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(CountCommands(pc, 0x65), 0);
}

// A module whose statistics reads fail is still listed; the sweep ends with 0.
TEST(StatisticsE2e, FailedReadsLeaveTheRecordsOut) {
  SimulatedPc pc;
  ASSERT_EQ(pc.Druxsim({"fault", "error", "0x65", "0x84"}).exitCode, 0);
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "stat"}, "", kFrozenClock);
  EXPECT_EQ(result.out, InfoRun(ModuleHeader(0, "system unit") + kNoStatistics +
                                ModuleHeader(3, "monitor/panel option") + kNoStatistics +
                                ModuleHeader(8, "fan kit") + kNoStatistics));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
}

TEST(StatisticsE2e, PanelRecord) {
  struct Case {
    std::vector<std::string> settings;
    std::string fault;  // error byte of command 0x30, or empty
    std::string out;
    std::string err;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {{"panel.1.backlight-hours=15230", "panel.1.backlight-cycles=377"},
       "",
       PanelHeader(1) + "Backlight-on: 15230 h (377 cycles)\n",
       "",
       0},
      {{"panel.1.backlight-hours=65535", "panel.1.backlight-cycles=0"},
       "",
       PanelHeader(1) + "Backlight-on: 65535 h (0 cycles)\n",
       "",
       0},
      {{"panel.1.version=0x5886"},
       "",
       PanelHeader(1) + "Function is not available for built-in display\n",
       "",
       0},
      {{},
       "0x85",
       PanelHeader(1),
       std::string("ERROR: Can't read data: ") + StatusText(kStatusFailed, 0x85) + "\n",
       6},
  };
  for (const Case& c : cases) {
    SimulatedPc pc;
    for (const std::string& setting : c.settings) {
      ASSERT_EQ(pc.Druxsim({"set", setting}).exitCode, 0) << setting;
    }
    if (!c.fault.empty()) {
      ASSERT_EQ(pc.Druxsim({"fault", "error", "0x30", c.fault}).exitCode, 0);
    }
    ProgramOutput result = pc.Run(Druxsvc(), {"i", "stat", "-p=1"}, "", kFrozenClock);
    EXPECT_EQ(result.out, InfoRun(c.out)) << c.out;
    EXPECT_EQ(result.err, c.err) << c.out;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.out;
  }
}

TEST(StatisticsE2e, PanelRecordCommand) {
  SimulatedPc pc;
  ASSERT_EQ(pc.Run(Druxsvc(), {"i", "stat", "-p=1"}).exitCode, 0);
  bool found = false;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    if (entry.code == 0x30) {
      found = true;
      EXPECT_EQ(entry.address, 0);
      EXPECT_EQ(entry.device, 1);
      EXPECT_EQ(entry.target, 3);
      EXPECT_EQ(entry.size, 4);
      EXPECT_TRUE(entry.read);
    }
    EXPECT_NE(entry.code, 0x65);  // a panel is not a PC module
  }
  EXPECT_TRUE(found);
}

// The full set shows temperatures, and fans only for a module without any temperature record.
TEST(StatisticsE2e, FullSetTemperaturesAndFans) {
  SimulatedPc pc({
      "module.3.fitted=1",
      "module.3.id=0x3",
      "module.3.model=TEMP",
      "module.3.power-on=10,7",
      "module.3.temp-max.0=10,5,0x1900",
      "module.3.temp-min.0=2,0,0xFF40",
      "module.3.temp-min.2=3,1,0x0000",
      "module.3.temp-max.3=0,0,0x8000",
      "module.3.fan.0=8,2,1,0",
      "module.4.fitted=1",
      "module.4.id=0x4",
      "module.4.model=FANS",
      "module.4.fan.1=9,3,5,6",
      "module.4.fan.3=0,0,0,4294967295",
      "module.6.fitted=1",
      "module.6.id=0x6",
      "module.6.model=NOTHING",
  });
  const std::string fansOfModule4 =
      "Fan 1\n Running: 2 h 15 min (3 cycles), too slow: 1 h 15 min, alarm: 1 h 30 min\n"
      "Fan 3\n Running: 0 h 0 min (0 cycles), too slow: 0 h 0 min, alarm: 1073741823 h 45 min\n";
  struct Case {
    std::string module;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"3", ModuleHeader(3, "monitor/panel option") +
                "Power-on: 2 h 30 min (7 cycles)\n"
                "Temperature 0\n"
                " Max: 25.00 degree C, log: 2 h 30 min, alarm: 1 h 15 min\n"
                " Min: -0.75 degree C, log: 0 h 30 min, alarm: 0 h 0 min\n"
                " Min: 0.00 degree C, log: 0 h 45 min, alarm: 0 h 15 min\n"
                "Temperature 3\n"
                " Max: -128.00 degree C, log: 0 h 0 min, alarm: 0 h 0 min\n"},
      {"4", ModuleHeader(4, "IF option 1") + fansOfModule4},
      {"6", ModuleHeader(6, "memory module 1") + kNoStatistics},
  };
  for (const Case& c : cases) {
    ProgramOutput result = pc.Run(FullSet(), {"i", "stat", "-m=" + c.module}, "", kFrozenClock);
    EXPECT_EQ(result.out, InfoRun(c.out)) << c.module;
    EXPECT_EQ(result.err, "") << c.module;
    EXPECT_EQ(result.exitCode, 0) << c.module;
  }
  // The service set shows neither temperatures nor fans.
  ProgramOutput service = pc.Run(Druxsvc(), {"i", "stat"}, "", kFrozenClock);
  EXPECT_EQ(service.exitCode, 0);
  EXPECT_NE(service.out.find(ModuleHeader(3, "monitor/panel option") +
                             "Power-on: 2 h 30 min (7 cycles)\n" + ModuleHeader(4, "IF option 1") +
                             kNoStatistics),
            std::string::npos)
      << service.out;
  EXPECT_EQ(service.out.find("Temperature"), std::string::npos);
  EXPECT_EQ(service.out.find("Fan "), std::string::npos);
}

// The full set asks for the target that the request leaves open; each answer reaches the
// handler that the matching options reach.
TEST(StatisticsE2e, FullSetAsksForTheTarget) {
  const std::string targets =
      "-- Available targets --\nPC\nPanel 0 (DX-PANEL-15)\nPanel 1 (DX-PANEL-15)\n"
      "Enter 'PC', panel number (0 to 15) or nothing to exit: ";
  const std::string askModule = "Enter module number or nothing to exit: ";
  const std::string pcModules =
      "-- Available PC modules --\n0 = system unit (DX-EX64-SU00)\n"
      "3 = monitor/panel option (DX-LINK-TX4)\n8 = fan kit (DX-EX64-FAN0)\n" +
      askModule;
  const std::string panelModules =
      "-- Available panel modules --\n0 = panel (DX-PANEL-15)\n1 = link module (DX-PANEL-LINK)\n"
      "2 = KVN converter (KVN3-Bridgebox)\n" +
      askModule;
  const std::string noPanelModules = "-- Available panel modules --\nNo modules found.\n";
  struct Case {
    std::vector<std::string> settings;  // druxsim set, on the default machine
    std::string input;
    std::string menu;
    std::vector<std::string> options;  // the same target on the command line
    std::string optionsMenu;           // what is still asked with the options
    std::string header;
  };
  const std::vector<Case> cases = {
      {{}, "pc\n0\n", targets + pcModules, {"-m=0"}, "", ModuleHeader(0, "system unit")},
      {{}, "PC\n8\n", targets + pcModules, {"-m=8"}, "", ModuleHeader(8, "fan kit")},
      {{},
       "1\n0\n",
       targets + panelModules,
       {"-p=1", "-m=0"},
       "",
       PanelModuleHeader(0, "panel", 1)},
      // A panel without module functions lists no module: the panel itself is the target.
      {{"panel.1.modules=0"},
       "1\n",
       targets + noPanelModules,
       {"-p=1"},
       noPanelModules,
       PanelHeader(1)},
  };
  for (const Case& c : cases) {
    SimulatedPc pc;
    if (!c.settings.empty()) {
      std::vector<std::string> set = {"set"};
      set.insert(set.end(), c.settings.begin(), c.settings.end());
      ASSERT_EQ(pc.Druxsim(set).exitCode, 0) << c.input;
    }
    std::vector<std::string> arguments = {"i", "stat"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ProgramOutput given = pc.Run(FullSet(), arguments, "", kFrozenClock);
    ASSERT_EQ(given.exitCode, 0) << c.input;
    ASSERT_EQ(given.out.rfind(kPcLine + c.optionsMenu + c.header, 0), 0u) << c.input << given.out;
    std::string shown = given.out.substr(kPcLine.size() + c.optionsMenu.size());

    ProgramOutput asked = pc.Run(FullSet(), {"i", "stat"}, c.input, kFrozenClock);
    EXPECT_EQ(asked.out, kPcLine + c.menu + shown) << c.input;
    EXPECT_EQ(asked.err, given.err) << c.input;
    EXPECT_EQ(asked.exitCode, 0) << c.input;
  }
}

// When the questions leave both panel and module open (no panel connected, or the answer pc,
// and no PC module with a model number), the full set shows every present PC module.
TEST(StatisticsE2e, FullSetWithoutTargetEachPresentPcModule) {
  const std::string pcModulesAndSweep =
      "-- Available PC modules --\nNo modules found.\n" + ModuleHeader(3, "monitor/panel option") +
      "Power-on: 2 h 30 min (7 cycles)\n" + ModuleHeader(6, "memory module 1") + kNoStatistics;
  struct Case {
    std::vector<std::string> create;  // druxsim create
    std::string input;
    std::string menu;
  };
  const std::vector<Case> cases = {
      {{"create", "--no-panels", "--no-modules"},
       "",
       "-- Available targets --\nPC\nNo panels found.\nContinue with PC ...\n"},
      {{"create", "--no-modules"},
       "pc\n",
       "-- Available targets --\nPC\nPanel 0 ()\nPanel 1 ()\n"
       "Enter 'PC', panel number (0 to 15) or nothing to exit: "},
  };
  for (const Case& c : cases) {
    SimulatedPc pc;
    ASSERT_EQ(pc.Druxsim(c.create).exitCode, 0);
    // Fitted and present, but without a model number the module menu does not list them.
    ASSERT_EQ(pc.Druxsim({"module", "3", "id=0x3", "power-on=10,7"}).exitCode, 0);
    ASSERT_EQ(pc.Druxsim({"module", "6", "id=0x6"}).exitCode, 0);
    ProgramOutput result = pc.Run(FullSet(), {"i", "stat"}, c.input, kFrozenClock);
    EXPECT_EQ(result.out, InfoRun(c.menu + pcModulesAndSweep)) << c.input;
    EXPECT_EQ(result.err, "") << c.input;
    EXPECT_EQ(result.exitCode, 0) << c.input;
  }
}

TEST(StatisticsE2e, PanelModule) {
  SimulatedPc pc({
      "panel.0.module.0.power-on=8,1",
      "panel.0.module.0.backlight-on=none",
      "panel.0.module.0.on-battery=5,5",
      "panel.0.module.0.temp-max.0=none",
      "panel.0.module.0.temp-min.0=none",
  });
  ProgramOutput result = pc.Run(FullSet(), {"i", "stat", "-p=0", "-m=0"}, "", kFrozenClock);
  // A panel module never shows an on-battery line.
  EXPECT_EQ(result.out,
            InfoRun(PanelModuleHeader(0, "panel", 0) + "Power-on: 2 h 0 min (1 cycles)\n"));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  bool selected = false;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    selected = selected || (entry.code == 0x7F && entry.device == 0);
    if (entry.code == 0x75) {
      EXPECT_TRUE(selected) << "module statistics before the panel was selected";
      EXPECT_EQ(entry.device, 0);
    }
    EXPECT_NE(entry.code, 0x65);
  }
}

TEST(StatisticsE2e, PanelWithoutModuleFunctions) {
  SimulatedPc pc({"panel.1.modules=0"});
  ProgramOutput result = pc.Run(FullSet(), {"i", "stat", "-p=1", "-m=2"}, "y\n", kFrozenClock);
  EXPECT_EQ(result.out, kPcLine +
                            "Continue anyway (y/n): " + PanelModuleHeader(2, "KVN converter", 1) +
                            "The panel does not support modules.\n\n" + kTotalTime);
  EXPECT_EQ(result.err, "ERROR: Panel module 2 is not available.\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(CountCommands(pc, 0x75), 0);
}

// ---- User serial ID -----------------------------------------------------------------------

// Value of one key of the machine's configuration file.
std::string MachineSetting(const SimulatedPc& pc, const std::string& key) {
  std::ifstream file(pc.directory() + "/machine.txt");
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind(key + "=", 0) == 0) {
      return line.substr(key.size() + 1);
    }
  }
  return "";
}

std::string UidShown(const std::string& value) {
  return "\n-- User Serial ID --\n\nValue: 0x" + value + "\n";
}

TEST(UserSerialIdE2e, Show) {
  SimulatedPc pc({"uid=0x8154711"});
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "uid"}, "", kFrozenClock);
  EXPECT_EQ(result.out, InfoRun(UidShown("08154711")));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
}

TEST(UserSerialIdE2e, ShowFailsWhenTheRecordCannotBeRead) {
  SimulatedPc pc;
  ASSERT_EQ(pc.Druxsim({"fault", "error", "0x12", "0x83"}).exitCode, 0);
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "uid"}, "", kFrozenClock);
  EXPECT_EQ(result.out, InfoRun("\n-- User Serial ID --\n\n"));
  EXPECT_EQ(result.err, std::string("ERROR: Can't read User Serial ID: ") +
                            StatusText(kStatusFailed, 0x83) + "\n");
  EXPECT_EQ(result.exitCode, 6);
}

TEST(UserSerialIdE2e, ChangeFromTheCommandLine) {
  struct Case {
    std::string setting;
    std::string stored;  // eight hex digits
  };
  const std::vector<Case> cases = {
      {"08154711", "08154711"}, {"0", "00000000"},      {"12zz", "00000012"},
      {"FFFFFFFF", "ffffffff"}, {"0xAbCd", "0000abcd"}, {"00000000012345678", "12345678"},
  };
  for (const Case& c : cases) {
    SimulatedPc pc({"uid=0x5A5A5A5A", "uid-head=0xA1B2C3D4"});
    ProgramOutput change = pc.Run(Druxsvc(), {"c", "uid", c.setting}, "", kFrozenClock);
    EXPECT_EQ(change.out, kPcLine + "User Serial ID changed to 0x" + c.stored +
                              ".\nChange finished.\n" + kTotalTime)
        << c.setting;
    EXPECT_EQ(change.err, "") << c.setting;
    EXPECT_EQ(change.exitCode, 0) << c.setting;
    EXPECT_EQ(MachineSetting(pc, "uid"), "0x" + c.stored) << c.setting;
    EXPECT_EQ(MachineSetting(pc, "uid-head"), "0xa1b2c3d4") << c.setting;

    ProgramOutput show = pc.Run(Druxsvc(), {"i", "uid"}, "", kFrozenClock);
    EXPECT_EQ(show.out, InfoRun(UidShown(c.stored))) << c.setting;
  }
}

// Nothing reaches the controller before the setting has converted.
TEST(UserSerialIdE2e, SettingsThatDoNotConvert) {
  for (const char* setting : {"xyz", "100000000", "g1", ""}) {
    SimulatedPc pc({"uid=0x5A5A5A5A"});
    ProgramOutput result = pc.Run(Druxsvc(), {"c", "uid", setting}, "", kFrozenClock);
    EXPECT_EQ(result.out, kPcLine + kTotalTime) << setting;
    EXPECT_EQ(result.err, "ERROR: Can't convert uid\n") << setting;
    EXPECT_EQ(result.exitCode, 1) << setting;
    EXPECT_EQ(CountCommands(pc, 0x12), 0) << setting;
    EXPECT_EQ(MachineSetting(pc, "uid"), "0x5a5a5a5a") << setting;
  }
}

TEST(UserSerialIdE2e, ChangeAtThePrompt) {
  const std::string prompt = "Enter user serial ID (0 to FFFFFFFF) or nothing to exit: ";
  struct Case {
    std::string input;
    std::string out;
    std::string stored;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {"1234abcd\r\n", "User Serial ID changed to 0x1234abcd.\nChange finished.\n", "0x1234abcd",
       0},
      {"0x7\n", "User Serial ID changed to 0x00000007.\nChange finished.\n", "0x00000007", 0},
      {"\n", "Change finished.\n", "0x5a5a5a5a", 0},
      {"", "Change finished.\n", "0x5a5a5a5a", 0},
      {"zz\n", "", "0x5a5a5a5a", 1},
  };
  for (const Case& c : cases) {
    SimulatedPc pc({"uid=0x5A5A5A5A"});
    ProgramOutput result = pc.Run(Druxsvc(), {"c", "uid"}, c.input, kFrozenClock);
    EXPECT_EQ(result.out, kPcLine + prompt + c.out + kTotalTime) << c.input;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.input;
    EXPECT_EQ(MachineSetting(pc, "uid"), c.stored) << c.input;
  }
}

TEST(UserSerialIdE2e, ChangeKeepsTheFirstFourBytesOnTheWire) {
  SimulatedPc pc({"uid-head=0xA1B2C3D4"});
  ProgramOutput result = pc.Run(Druxsvc(), {"-d", "c", "uid", "08154711"}, "", kFrozenClock);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("WR Cmd:0x12 Addr:0x0000 DevNum:0x0 Target:0x1 Size:0x8\n"
                            "00: d4 c3 b2 a1 11 47 15 08"),
            std::string::npos)
      << result.out;
}

TEST(UserSerialIdE2e, FailedReadStopsTheChange) {
  SimulatedPc pc({"uid=0x5A5A5A5A"});
  ProgramOutput fault = pc.Druxsim({"fault", "error", "0x12", "0x84"});
  ASSERT_EQ(fault.exitCode, 0);
  ProgramOutput result = pc.Run(Druxsvc(), {"c", "uid", "1"}, "", kFrozenClock);
  EXPECT_EQ(result.err, std::string("ERROR: Can't read User Serial ID: ") +
                            StatusText(kStatusFailed, 0x84) + "\n");
  EXPECT_EQ(result.exitCode, 6);
  EXPECT_EQ(MachineSetting(pc, "uid"), "0x5a5a5a5a");
}

}  // namespace
}  // namespace drux::test
