// Statistics values of PC modules, panel modules and panels against the simulated controller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/feature_set.h"
#include "diagnostics/statistics.h"
#include "diagnostics/statistics_units.h"
#include "sim/sim.h"
#include "tests/unit/diagnostics_test_support.h"

namespace drux {
namespace {

using testing::CapturedOutput;
using testing::CaptureOutput;
using testing::ConfigWith;
using testing::LoggedCodes;
using testing::StartMachine;

TEST(StatisticsUnits, QuarterHours) {
  struct Case {
    uint32_t quarterHours;
    unsigned long hours;
    unsigned long minutes;
  };
  const Case cases[] = {
      {0, 0, 0},
      {1, 0, 15},
      {3, 0, 45},
      {4, 1, 0},
      {10, 2, 30},
      {99, 24, 45},
      {0xFFFFFFFF, 0x3FFFFFFF, 45},
  };
  for (const Case& c : cases) {
    HoursAndMinutes time = QuarterHoursToTime(c.quarterHours);
    EXPECT_EQ(time.hours, c.hours) << c.quarterHours;
    EXPECT_EQ(time.minutes, c.minutes) << c.quarterHours;
  }
}

// The reading is a 10-bit two's-complement value in bits 6-15; bits 0-5 do not count.
TEST(StatisticsUnits, Temperature) {
  struct Case {
    uint16_t word;
    double celsius;
  };
  const Case cases[] = {
      {0x1900, 25.0},   {0xFF40, -0.75},   {0x0000, 0.0},  {0x0040, 0.25},  {0xFFC0, -0.25},
      {0x7FC0, 127.75}, {0x8000, -128.0},  {0x193F, 25.0}, {0xFFFF, -0.25}, {0x003F, 0.0},
      {0xE700, -25.0},  {0x8040, -127.75}, {0x4000, 64.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(TemperatureCelsius(c.word), c.celsius) << std::hex << c.word;
  }
}

class ModuleStatistics : public ::testing::Test {
 protected:
  static CapturedOutput Show(const FeatureSet& features, int32_t panel, int32_t module) {
    return CaptureOutput([&] { return ShowModuleStatistics(features, panel, module); });
  }
  void TearDown() override {
    EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
  }
};

// Module 0 of the PC with every kind of record.
sim::MachineConfig PcModuleWithEveryRecord() {
  return ConfigWith({
      "module.0.id=0xA640",
      "module.0.power-on=10,7",
      "module.0.backlight-on=4,1",
      "module.0.on-battery=3,2",
      "module.0.temp-max.0=5,6,0x1900",
      "module.0.temp-min.0=1,0,0xFF40",
      "module.0.temp-min.2=8,9,0xE700",
      "module.0.fan.0=100,3,2,1",
  });
}

TEST_F(ModuleStatistics, ServiceSetShowsTheTimeRecordsOnly) {
  StartMachine(PcModuleWithEveryRecord());
  CapturedOutput output = Show(kServiceFeatureSet, -1, 0);
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 0 (system unit) --\n\n"
            "Power-on: 2 h 30 min (7 cycles)\n"
            "Backlight-on: 1 h 0 min (1 cycles)\n"
            "On-battery: 0 h 45 min (2 cycles)\n");
  EXPECT_EQ(output.err, "");
  // Nothing beyond the three time records was even asked for.
  EXPECT_EQ(sim::LogSize(), 3u);
}

TEST_F(ModuleStatistics, FullSetAddsTemperaturesAndLeavesOutFans) {
  StartMachine(PcModuleWithEveryRecord());
  CapturedOutput output = Show(kFullFeatureSet, -1, 0);
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 0 (system unit) --\n\n"
            "Power-on: 2 h 30 min (7 cycles)\n"
            "Backlight-on: 1 h 0 min (1 cycles)\n"
            "On-battery: 0 h 45 min (2 cycles)\n"
            "Temperature 0\n"
            " Max: 25.00 degree C, log: 1 h 15 min, alarm: 1 h 30 min\n"
            " Min: -0.75 degree C, log: 0 h 15 min, alarm: 0 h 0 min\n"
            " Min: -25.00 degree C, log: 2 h 0 min, alarm: 2 h 15 min\n");
  for (int code : LoggedCodes()) {
    EXPECT_EQ(code, 0x65);
  }
  EXPECT_EQ(sim::LogSize(), 3u + 8u);  // time records, then maximum and minimum of 4 sensors
}

TEST_F(ModuleStatistics, FansShowWhenNoTemperatureWasPrinted) {
  StartMachine(ConfigWith({
      "module.8.id=0xA6F1",
      "module.8.fan.0=100,3,2,1",
      "module.8.fan.3=0xFFFFFFFF,4000000000,5,6",
  }));
  CapturedOutput output = Show(kFullFeatureSet, -1, 8);
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 8 (fan kit) --\n\n"
            "Fan 0\n"
            " Running: 25 h 0 min (3 cycles), too slow: 0 h 30 min, alarm: 0 h 15 min\n"
            "Fan 3\n"
            " Running: 1073741823 h 45 min (4000000000 cycles), too slow: 1 h 15 min, alarm: 1 h "
            "30 min\n");
}

// Fans alone are not statistics of the service set.
TEST_F(ModuleStatistics, ServiceSetNeverShowsFans) {
  StartMachine(ConfigWith({"module.8.id=0xA6F1", "module.8.fan.0=100,3,2,1"}));
  CapturedOutput output = Show(kServiceFeatureSet, -1, 8);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 8 (fan kit) --\n\n"
            "No statistics available for this module.\n");
  EXPECT_EQ(output.result, 0);
}

TEST_F(ModuleStatistics, ModuleWithoutRecords) {
  for (const FeatureSet* features : {&kServiceFeatureSet, &kFullFeatureSet}) {
    // A fitted module without records, and a module that is not there at all.
    for (int32_t module : {2, 13}) {
      StartMachine(ConfigWith({"module.2.id=0x1234"}));
      CapturedOutput output = Show(*features, -1, module);
      EXPECT_EQ(output.result, 0);
      EXPECT_EQ(output.out, "\n-- Statistics values of module " + std::to_string(module) + " (" +
                                (module == 2 ? "bus unit" : "expansion unit") +
                                ") --\n\nNo statistics available for this module.\n");
      EXPECT_EQ(output.err, "");
    }
  }
}

// A temperature record of any sensor keeps the fans away; the sensor line needs a maximum.
TEST_F(ModuleStatistics, MinimumWithoutMaximumStillHidesFans) {
  StartMachine(ConfigWith({
      "module.4.id=1",
      "module.4.temp-min.3=0,0,0x0040",
      "module.4.fan.1=1,1,1,1",
  }));
  CapturedOutput output = Show(kFullFeatureSet, -1, 4);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 4 (IF option 1) --\n\n"
            " Min: 0.25 degree C, log: 0 h 0 min, alarm: 0 h 0 min\n");
}

TEST_F(ModuleStatistics, PanelModuleHasNoOnBatteryLine) {
  StartMachine(ConfigWith({
      "panel.2.connected=1", "panel.2.module.1.id=0x77", "panel.2.module.1.power-on=9,1",
      "panel.2.module.1.backlight-on=2,5", "panel.2.module.1.on-battery=8,8",
      "module.1.power-on=1000,1000",  // the PC's module 1 must not be read instead
  }));
  CapturedOutput output = Show(kServiceFeatureSet, 2, 1);
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 1 (link module) on panel 2 --\n\n"
            "Power-on: 2 h 15 min (1 cycles)\n"
            "Backlight-on: 0 h 30 min (5 cycles)\n");
  EXPECT_EQ(LoggedCodes(), (std::vector<int>{0x7F, 0x75, 0x75}));
  EXPECT_EQ(sim::LogAt(0).device, 2);
  EXPECT_EQ(sim::LogAt(1).device, 1);
}

TEST_F(ModuleStatistics, PanelModuleTemperaturesInTheFullSet) {
  StartMachine(ConfigWith({
      "panel.0.connected=1",
      "panel.0.module.0.id=0x10",
      "panel.0.module.0.temp-max.1=4,8,0x0A00",
      "panel.0.module.0.fan.0=1,1,1,1",
  }));
  CapturedOutput output = Show(kFullFeatureSet, 0, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 0 (panel) on panel 0 --\n\n"
            "Temperature 1\n"
            " Max: 10.00 degree C, log: 1 h 0 min, alarm: 2 h 0 min\n");
}

TEST_F(ModuleStatistics, PanelWithoutModuleFunctions) {
  struct Case {
    const char* setting;
    int32_t panel;
  };
  const Case cases[] = {
      {"panel.3.modules=0", 3},    // connected, but no module functions
      {"panel.3.connected=0", 3},  // not connected
      {"channels=1", 3},           // beyond the controller's channels
  };
  for (const Case& c : cases) {
    StartMachine(ConfigWith({"panel.3.connected=1", "panel.3.module.0.power-on=4,4", c.setting}));
    CapturedOutput output = Show(kFullFeatureSet, c.panel, 0);
    EXPECT_EQ(output.result, 0) << c.setting;
    EXPECT_EQ(output.out,
              "\n-- Statistics values of module 0 (panel) on panel 3 --\n\n"
              "The panel does not support modules.\n")
        << c.setting;
    EXPECT_EQ(LoggedCodes(), std::vector<int>{0x7F}) << c.setting;
  }
}

// Records that fail for any reason are left out like missing ones.
TEST_F(ModuleStatistics, FailedReadsAreLeftOut) {
  StartMachine(PcModuleWithEveryRecord());
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::Busy, 0x65, 0, 1}));
  CapturedOutput output = Show(kServiceFeatureSet, -1, 0);
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 0 (system unit) --\n\n"
            "Backlight-on: 1 h 0 min (1 cycles)\n"
            "On-battery: 0 h 45 min (2 cycles)\n");
  EXPECT_EQ(output.err, "");

  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x65, 0x82, 0}));
  output = Show(kFullFeatureSet, -1, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of module 0 (system unit) --\n\n"
            "No statistics available for this module.\n");
  EXPECT_EQ(output.result, 0);
}

class PanelStatistics : public ::testing::Test {
 protected:
  static CapturedOutput Show(int32_t panel) {
    return CaptureOutput([&] { return ShowPanelStatistics(panel); });
  }
};

TEST_F(PanelStatistics, BacklightHoursAndCycles) {
  StartMachine(ConfigWith({
      "panel.5.connected=1",
      "panel.5.backlight-hours=65535",
      "panel.5.backlight-cycles=12",
  }));
  CapturedOutput output = Show(5);
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of panel 5 --\n\n"
            "Backlight-on: 65535 h (12 cycles)\n");
  EXPECT_EQ(output.err, "");
  ASSERT_EQ(sim::LogSize(), 1u);
  sim::LogEntry entry = sim::LogAt(0);
  EXPECT_EQ(entry.code, 0x30);
  EXPECT_EQ(entry.device, 5);
  EXPECT_EQ(entry.target, 3);
  EXPECT_EQ(entry.address, 0);
  EXPECT_EQ(entry.size, 4);
  EXPECT_TRUE(entry.read);
}

TEST_F(PanelStatistics, BuiltInDisplayIsNotAsked) {
  StartMachine(
      ConfigWith({"panel.1.connected=1", "panel.1.version=0x5886", "panel.1.backlight-hours=3"}));
  CapturedOutput output = Show(1);
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out,
            "\n-- Statistics values of panel 1 --\n\n"
            "Function is not available for built-in display\n");
  EXPECT_EQ(sim::LogSize(), 0u);
}

TEST_F(PanelStatistics, FailedRead) {
  struct Case {
    bool fault;
    uint8_t errorByte;
    const char* text;
  };
  const Case cases[] = {
      {false, 0, "device failure (does not exist)"},  // panel 4 is not connected
      {true, 0x84, "device busy"},
      {true, 0x82, "DRUX command timeout"},
  };
  for (const Case& c : cases) {
    StartMachine(ConfigWith({"panel.4.connected=0", "panel.6.connected=1"}));
    int32_t panel = c.fault ? 6 : 4;
    if (c.fault) {
      ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x30, c.errorByte, 0}));
    }
    CapturedOutput output = Show(panel);
    EXPECT_EQ(output.result, 6) << c.text;
    EXPECT_EQ(output.out, "\n-- Statistics values of panel " + std::to_string(panel) + " --\n\n");
    EXPECT_EQ(output.err, std::string("ERROR: Can't read data: ") + c.text + "\n");
  }
}

}  // namespace
}  // namespace drux
