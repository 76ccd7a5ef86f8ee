// Settings of the simulated controller for statistics records, panel modules and the PC's
// identity data, and their way through the state directory together with the reboot and
// panel request counters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "sim/core/machine.h"
#include "sim_setting_cases.h"
#include "sim_state_directory_fixture.h"
#include "sim_test_host.h"
#include "tests/support/sim_settings.h"

namespace {

namespace fs = std::filesystem;

using simtest::SettingCase;

TEST(SimDiagnosticsSettings, AcceptValidValuesAndRefuseTheRest) {
  const SettingCase cases[] = {
      {"module.2.power-on=10,7", true,
       [](const sim::MachineConfig& c) {
         const sim::TimeRecord& r = c.modules[2].statistics.powerOn;
         return c.modules[2].fitted && r.present && r.quarterHours == 10 && r.cycles == 7;
       }},
      {"module.0.power-on=none", true,
       [](const sim::MachineConfig& c) {
         const sim::TimeRecord& r = c.modules[0].statistics.powerOn;
         return c.modules[0].fitted && !r.present && r.quarterHours == 0 && r.cycles == 0;
       }},
      {"module.2.on-battery=0xFFFFFFFF,0", true,
       [](const sim::MachineConfig& c) {
         return c.modules[2].statistics.onBattery.quarterHours == 0xFFFFFFFF;
       }},
      {"module.2.backlight-on=1", false, nullptr},
      {"module.2.backlight-on=1,2,3", false, nullptr},
      {"module.2.backlight-on=1,", false, nullptr},
      {"module.2.backlight-on=,1", false, nullptr},
      {"module.2.backlight-on=x,1", false, nullptr},
      {"module.2.backlight-on=4294967296,1", false, nullptr},
      {"module.2.temp-max.3=1,2,0xFF40", true,
       [](const sim::MachineConfig& c) {
         const sim::TemperatureRecord& r = c.modules[2].statistics.temperatureMax[3];
         return r.present && r.logTime == 1 && r.alarmTime == 2 && r.word == 0xFF40;
       }},
      {"module.2.temp-min.0=0,0,65535", true,
       [](const sim::MachineConfig& c) {
         return c.modules[2].statistics.temperatureMin[0].word == 0xFFFF;
       }},
      {"module.2.temp-max.3=1,2,0x10000", false, nullptr},
      {"module.2.temp-max.4=1,2,3", false, nullptr},
      {"module.2.temp-max=1,2,3", false, nullptr},
      {"module.2.temp-max.10=1,2,3", false, nullptr},
      {"module.2.fan.3=1,2,3,4", true,
       [](const sim::MachineConfig& c) {
         const sim::FanRecord& r = c.modules[2].statistics.fans[3];
         return r.present && r.runningTime == 1 && r.cycles == 2 && r.tooSlowTime == 3 &&
                r.alarmTime == 4;
       }},
      {"module.2.fan.4=1,2,3,4", false, nullptr},
      {"module.2.fan.0=1,2,3", false, nullptr},
      {"panel.3.module.4.id=0x44", true,
       [](const sim::MachineConfig& c) {
         return c.panels[3].modules[4].fitted && c.panels[3].modules[4].id == 0x44 &&
                !c.modules[4].fitted;
       }},
      {"panel.3.module.15.fan.0=9,9,9,9", true,
       [](const sim::MachineConfig& c) {
         return c.panels[3].modules[15].statistics.fans[0].present;
       }},
      {"panel.0.module.0.fitted=0", true,
       [](const sim::MachineConfig& c) {
         return !c.panels[0].modules[0].fitted &&
                !c.panels[0].modules[0].statistics.powerOn.present;
       }},
      {"panel.3.module.16.id=1", false, nullptr},
      {"panel.3.module.4.colour=red", false, nullptr},
      {"panel.3.module.4.serial=ABCDEFGHIJKL", false, nullptr},
      {"panel.3.backlight-hours=65535", true,
       [](const sim::MachineConfig& c) { return c.panels[3].backlightHours == 65535; }},
      {"panel.3.backlight-cycles=7", true,
       [](const sim::MachineConfig& c) { return c.panels[3].backlightCycles == 7; }},
      {"panel.3.backlight-hours=65536", false, nullptr},
      {"uid=0xFFFFFFFF", true,
       [](const sim::MachineConfig& c) { return c.userSerialId == 0xFFFFFFFF; }},
      {"uid-head=0x12345678", true,
       [](const sim::MachineConfig& c) { return c.userSerialIdHead == 0x12345678; }},
      {"uid=0x100000000", false, nullptr},
      {"pc-device-id=4711", true, [](const sim::MachineConfig& c) { return c.pcDeviceId == 4711; }},
      {"pc-parent-id=0xFFFFFFFF", true,
       [](const sim::MachineConfig& c) { return c.pcParentId == 0xFFFFFFFF; }},
      {"pc-model=Model X", true,
       [](const sim::MachineConfig& c) { return std::strcmp(c.pcModelNumber, "Model X") == 0; }},
      {"pc-model=0123456789012345678901234567890123456789X", false, nullptr},
  };
  simtest::ExpectSettingCases(cases);
}

// The configuration as the state file holds it.
std::string ConfigText(const sim::MachineConfig& config) {
  std::string buffer(sim::internal::ConfigTextCapacity(config), '\0');
  sim::internal::TextBuilder text{buffer.data(), buffer.size(), 0, false};
  sim::internal::AppendConfigText(text, config);
  EXPECT_FALSE(text.overflow);
  buffer.resize(text.length);
  return buffer;
}

TEST(SimDiagnosticsSettings, ConfigTextListsPresentRecordsOnly) {
  sim::MachineConfig config;
  ASSERT_TRUE(drux::test::ApplySettings(
      config, {"module.1.power-on=10,7", "module.1.temp-min.2=1,2,0xff40", "module.1.fan.3=1,2,3,4",
               "panel.4.module.2.backlight-on=5,6", "uid=0x08154711"}));
  std::string text = ConfigText(config);
  for (const char* line :
       {"\nmodule.1.power-on=10,7\n", "\nmodule.1.temp-min.2=1,2,0xff40\n",
        "\nmodule.1.fan.3=1,2,3,4\n", "\npanel.4.module.2.backlight-on=5,6\n",
        "\npanel.4.backlight-hours=0\n", "\nuid=0x08154711\n", "\nuid-head=0x00000000\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  }
  EXPECT_EQ(text.find("backlight-on=0,0"), std::string::npos) << "missing records are not listed";
  EXPECT_EQ(text.find("module.1.temp-max"), std::string::npos);
  EXPECT_EQ(text.find("panel.5."), std::string::npos) << "blank panels are not listed";

  ASSERT_TRUE(sim::ApplySettingText(config, "module.1.power-on=none"));
  EXPECT_EQ(ConfigText(config).find("module.1.power-on"), std::string::npos);
}

// Every module of every panel fitted with every record still fits the state file.
TEST(SimDiagnosticsSettings, FullyFittedMachineFitsItsText) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  for (int panel = 0; panel < sim::kPanelChannels; ++panel) {
    for (int module = 0; module < sim::kModules; ++module) {
      sim::ModuleConfig& target = config.panels[panel].modules[module];
      target.fitted = true;
      target.id = 0xFFFFFFFF;
      std::memset(target.modelNumber, 'M', 40);
      target.statistics.powerOn = sim::TimeRecord{true, 0xFFFFFFFF, 0xFFFFFFFF};
      for (auto& fan : target.statistics.fans) {
        fan = sim::FanRecord{true, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
      }
      for (int sensor = 0; sensor < sim::kTemperatureSensors; ++sensor) {
        target.statistics.temperatureMax[sensor] =
            sim::TemperatureRecord{true, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF};
        target.statistics.temperatureMin[sensor] = target.statistics.temperatureMax[sensor];
      }
    }
    config.panels[panel].connected = true;
  }
  std::string text = ConfigText(config);
  EXPECT_NE(text.find("panel.15.module.15.fan.3=4294967295,4294967295,4294967295,4294967295\n"),
            std::string::npos);
}

using SimDiagnosticsPersistence = simtest::StateDirectoryTest;

TEST_F(SimDiagnosticsPersistence, ConfigurationSurvivesTheStateFile) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  ASSERT_TRUE(drux::test::ApplySettings(
      config,
      {"module.5.temp-max.1=3,4,0x8000", "module.5.fan.2=5,6,7,8", "module.0.on-battery=none",
       "panel.9.module.3.model=Panel nine, module 3", "panel.9.module.3.temp-min.3=1,1,0x40",
       "panel.9.backlight-cycles=99", "uid=0x0000BEEF", "uid-head=0xCAFE0001",
       "pc-device-id=0x1267", "pc-parent-id=0x2A", "pc-model=PC model = text"}));
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), config));
  NewRun();
  const sim::MachineConfig& loaded = sim::Config();
  EXPECT_EQ(ConfigText(loaded), ConfigText(config));
  EXPECT_EQ(loaded.modules[5].statistics.temperatureMax[1].word, 0x8000);
  EXPECT_FALSE(loaded.modules[0].statistics.onBattery.present);
  EXPECT_TRUE(loaded.modules[0].statistics.powerOn.present);
  EXPECT_STREQ(loaded.panels[9].modules[3].modelNumber, "Panel nine, module 3");
  EXPECT_TRUE(loaded.panels[9].modules[3].statistics.temperatureMin[3].present);
  EXPECT_EQ(loaded.panels[9].backlightCycles, 99);
  EXPECT_EQ(loaded.userSerialIdHead, 0xCAFE0001u);
  EXPECT_STREQ(loaded.pcModelNumber, "PC model = text");
}

// A change of the user serial ID by a program reaches the state file at the end of the run.
TEST_F(SimDiagnosticsPersistence, WrittenUserSerialIdIsSaved) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  const uint8_t record[8] = {0x5A, 0xA5, 0x01, 0x00, 0x11, 0x47, 0x15, 0x08};
  ASSERT_EQ(simtest::Write(0x12, 0, 0, 1, record, 8).status, 0);
  ASSERT_TRUE(sim::Persist());
  EXPECT_NE(FileText("machine.txt").find("\nuid=0x08154711\n"), std::string::npos);
  NewRun();
  EXPECT_EQ(sim::Config().userSerialId, 0x08154711u);
  EXPECT_EQ(sim::Config().userSerialIdHead, 0x0001A55Au);
}

TEST_F(SimDiagnosticsPersistence, RebootsPanelRequestsAndSelectionSurvive) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  uint8_t request[16] = {8};
  ASSERT_EQ(simtest::Write(0x22, 0, 1, 3, request, 16).status, 0);
  ASSERT_EQ(simtest::Write(0x50, 0, 3, 1, nullptr, 0).status, 0);
  ASSERT_EQ(simtest::Write(0x7F, 0, 1, 0, nullptr, 0).status, 0);
  ASSERT_TRUE(sim::Persist());
  std::string state = FileText("state.txt");
  EXPECT_NE(state.find("\npc-reboots=1\n"), std::string::npos) << state;
  EXPECT_NE(state.find("\npanel-requests.1=1,0x08\n"), std::string::npos) << state;
  EXPECT_NE(state.find("\nmodule-panel=1\n"), std::string::npos) << state;

  NewRun();
  EXPECT_EQ(sim::PcRebootCount(), 1u);
  EXPECT_EQ(sim::PanelRequestsOf(1).count, 1u);
  EXPECT_EQ(sim::PanelRequestsOf(1).lastRequest, 8);
  // Panel 1's link module, reached through the selection of the previous run.
  uint8_t id[4];
  ASSERT_EQ(simtest::Read(0x71, 0x100, 1, 0, id, 4).status, 0);
  EXPECT_EQ(id[0], 0xA1);

  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  EXPECT_EQ(sim::PcRebootCount(), 0u) << "a new machine starts with zero counters";
  EXPECT_EQ(sim::PanelRequestsOf(1).count, 0u);
}

}  // namespace
