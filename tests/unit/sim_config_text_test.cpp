// The simulated machine's key=value settings, shared by the state file, druxsim and the tests
// of other parts.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/sim.h"
#include "sim_setting_cases.h"

namespace {

using simtest::SettingCase;

TEST(SimSettings, AcceptValidValuesAndRefuseTheRestWithoutChange) {
  const SettingCase cases[] = {
      {"pc=EX41", true, [](const sim::MachineConfig& c) { return c.pcType == 14; }},
      {"pc=vp20", true, [](const sim::MachineConfig& c) { return c.pcType == 24; }},
      {"pc=0x2a", true, [](const sim::MachineConfig& c) { return c.pcType == 42; }},
      {"pc=256", false, nullptr},
      {"pc=EX65", false, nullptr},
      {"variant=druu", true,
       [](const sim::MachineConfig& c) { return std::strcmp(c.id, "DRUU") == 0 && c.present; }},
      {"variant=absent", true, [](const sim::MachineConfig& c) { return !c.present; }},
      {"variant=DR1X", false, nullptr},
      {"variant=DRUXX", false, nullptr},
      {"channels=1", true, [](const sim::MachineConfig& c) { return c.panelChannels == 1; }},
      {"channels=4", false, nullptr},
      {"firmware=1.05", true,
       [](const sim::MachineConfig& c) { return c.firmwareVersion == 0x105; }},
      {"firmware=15.255", true,
       [](const sim::MachineConfig& c) { return c.firmwareVersion == 0xFFF; }},
      {"firmware=16.0", false, nullptr},
      {"firmware=1.256", false, nullptr},
      {"firmware=105", false, nullptr},
      {"update-counter=4294967295", true,
       [](const sim::MachineConfig& c) { return c.updateCounter == 0xFFFFFFFFu; }},
      {"update-counter=4294967296", false, nullptr},
      {"system-flags=0x5500", true,
       [](const sim::MachineConfig& c) { return c.systemFlags == 0x5500u; }},
      {"system-flags=0x5501", false, nullptr},
      {"bios=12x", false, nullptr},
      {"panel.15.connected=yes", true,
       [](const sim::MachineConfig& c) { return c.panels[15].connected; }},
      {"panel.16.connected=1", false, nullptr},
      {"panel.2.version=0x5886", true,
       [](const sim::MachineConfig& c) { return c.panels[2].versionId == 0x5886; }},
      {"panel.2.version=0x10000", false, nullptr},
      {"panel.2.link=15.255", true,
       [](const sim::MachineConfig& c) {
         return c.panels[2].linkFpgaMajor == 15 && c.panels[2].linkFpgaMinor == 255;
       }},
      {"panel.2.link=16.1", false, nullptr},
      {"panel.2.modules=off", true,
       [](const sim::MachineConfig& c) { return !c.panels[2].moduleFunctions; }},
      {"panel.2.colour=red", false, nullptr},
      {"module.7.serial=ABCDEFGHIJK", true,
       [](const sim::MachineConfig& c) {
         return c.modules[7].fitted && std::strcmp(c.modules[7].serialNumber, "ABCDEFGHIJK") == 0;
       }},
      {"module.7.serial=ABCDEFGHIJKL", false, nullptr},
      {"module.7.hwrev=A\tB", false, nullptr},
      {"module.7.model=", true,
       [](const sim::MachineConfig& c) {
         return c.modules[7].fitted && !c.modules[7].modelNumber[0];
       }},
      {"module.0.fitted=0", true,
       [](const sim::MachineConfig& c) { return !c.modules[0].fitted && c.modules[0].id == 0; }},
      {"module.x.id=1", false, nullptr},
      {"transmitter=V4K4", true,
       [](const sim::MachineConfig& c) { return std::strcmp(c.transmitterKind, "V4K4") == 0; }},
      {"transmitter=V4K", false, nullptr},
      {"panel.3.converter=KR4B", true,
       [](const sim::MachineConfig& c) {
         return std::strcmp(c.panels[3].fpga[2].kind, "KR4B") == 0;
       }},
      {"panel.3.fpga.4.area=high", true,
       [](const sim::MachineConfig& c) { return c.panels[3].fpga[4].flags == sim::kFpgaRunsHigh; }},
      {"panel.3.converter.crc-error=1", true,
       [](const sim::MachineConfig& c) { return c.panels[3].fpga[2].flags == sim::kFpgaCrcError; }},
      {"panel.3.fpga.5=KR4B", false, nullptr},
      {"panel.3.fpga.1.area=middle", false, nullptr},
      {"panel.3.converters=KR4B", false, nullptr},
      {"=1", false, nullptr},
      {"pc", false, nullptr},
  };
  simtest::ExpectSettingCases(cases);
}

TEST(SimSettings, ModelNamesOfThePcTypeCodes) {
  const char* names[] = {"EX41", "VP41", "EX52", "VP52", "EX64", "VP64",
                         "EX53", "VP53", "EM64", "VP47", "VP20"};
  for (int code = 14; code <= 24; ++code) {
    EXPECT_STREQ(sim::PcModelName(uint8_t(code)), names[code - 14]);
  }
  EXPECT_EQ(sim::PcModelName(13), nullptr);
  EXPECT_EQ(sim::PcModelName(25), nullptr);
}

}  // namespace
