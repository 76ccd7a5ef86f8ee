// The machine that a fresh state directory simulates: an EX64 with two connected panels with
// their modules and two fitted PC modules, all with statistics, plausible enough for every
// front-end path to find data; the fresh directory adds a link transmitter and a converter.
#include <cstring>
#include <new>

#include "sim/core/machine.h"

namespace sim {

namespace {

constexpr int kLinkModuleDevice = 1;
constexpr int kHdbtDevice = 4;

// Fields are set in place: records built as temporaries would bring their padding along, and
// configurations are compared byte by byte.
void FitModule(ModuleConfig& module, uint32_t id, const char* hardwareRevision,
               const char* serialNumber, const char* modelNumber) {
  module.fitted = true;
  module.id = id;
  internal::CopyText(module.hardwareRevision, sizeof module.hardwareRevision, hardwareRevision);
  internal::CopyText(module.serialNumber, sizeof module.serialNumber, serialNumber);
  internal::CopyText(module.modelNumber, sizeof module.modelNumber, modelNumber);
}

void SetTime(TimeRecord& record, uint32_t quarterHours, uint32_t cycles) {
  record.present = true;
  record.quarterHours = quarterHours;
  record.cycles = cycles;
}

void SetTemperature(TemperatureRecord& record, uint32_t logTime, uint32_t alarmTime,
                    uint16_t word) {
  record.present = true;
  record.logTime = logTime;
  record.alarmTime = alarmTime;
  record.word = word;
}

void SetFan(FanRecord& record, uint32_t runningTime, uint32_t cycles, uint32_t tooSlowTime) {
  record.present = true;
  record.runningTime = runningTime;
  record.cycles = cycles;
  record.tooSlowTime = tooSlowTime;
  record.alarmTime = 0;
}

// Records of a module that has been running for about two years.
void AddSystemUnitStatistics(ModuleStatistics& statistics) {
  SetTime(statistics.powerOn, 70133, 412);
  SetTime(statistics.backlightOn, 65000, 398);
  SetTime(statistics.onBattery, 37, 5);
  SetTemperature(statistics.temperatureMax[0], 52001, 0, 0x3A40);      // 58.25 degrees
  SetTemperature(statistics.temperatureMin[0], 12, 0, 0x0500);         // 5.00 degrees
  SetTemperature(statistics.temperatureMax[1], 60417, 60417, 0x4780);  // 71.50 degrees
  SetTemperature(statistics.temperatureMin[1], 13, 0, 0x0840);         // 8.25 degrees
}

void AddPanelModules(PanelConfig& panel, int number) {
  char serial[12] = "P0A0001234?";
  serial[10] = char('0' + number);
  FitModule(panel.modules[0], 0x0000B310, "C1", serial, "DX-PANEL-15");
  ModuleStatistics& statistics = panel.modules[0].statistics;
  SetTime(statistics.powerOn, 60930, 350);
  SetTime(statistics.backlightOn, 58000, 340);
  SetTemperature(statistics.temperatureMax[0], 60000, 0, 0x2C40);  // 44.25 degrees
  SetTemperature(statistics.temperatureMin[0], 100, 0, 0x0300);    // 3.00 degrees
}

}  // namespace

namespace internal {

void SetDefaultMachineConfig(MachineConfig& config) {
  SetBlankMachineConfig(config);
  config.pcType = 18;  // EX64
  config.panelChannels = 16;
  config.firmwareVersion = 0x0105;
  config.featureRegister = 1u << 16;  // a key configuration is available
  config.userSerialIdHead = 0x0001A55A;
  config.userSerialId = 0;
  config.pcDeviceId = 4711;
  config.pcParentId = 0;
  CopyText(config.pcModelNumber, sizeof config.pcModelNumber, "DX-EX64-SU00");
  for (int panel = 0; panel < 2; ++panel) {
    PanelConfig& target = config.panels[panel];
    target.connected = true;
    // Panel 0 is a TPB7x-KVN3R (640 KiB receiver image behind its link module, flash write
    // protected as on every panel of majors 1-5), panel 1 a TPB7x/TPC8-KVN4R (3 MiB image) with
    // an HDBaseT module.
    target.versionId = panel == 0 ? 0x725C : 0xB261;
    target.linkFpgaMajor = panel == 0 ? 2 : 6;
    target.linkFpgaMinor = panel == 0 ? 16 : 14;
    target.flashProtected = panel == 0;
    target.moduleFunctions = true;
    target.backlightHours = uint16_t(15230 - 5000 * panel);
    target.backlightCycles = uint16_t(377 - 100 * panel);
    AddPanelModules(target, panel);
  }
  FitModule(config.panels[1].modules[1], 0x0000B3A1, "A0", "L1A00054321", "DX-PANEL-LINK");
  FitModule(config.modules[0], 0x0000A640, "B0", "E64A1234567", "DX-EX64-SU00");
  AddSystemUnitStatistics(config.modules[0].statistics);
  FitModule(config.modules[8], 0x0000A6F1, "A2", "F08B7654321", "DX-EX64-FAN0");
  SetFan(config.modules[8].statistics.fans[0], 69800, 410, 12);
  SetFan(config.modules[8].statistics.fans[1], 69800, 410, 0);
}

void AddDefaultFpgaModules(MachineConfig& config) {
  // A KVN4 link transmitter and a converter on panel 1, both running from their low copies.
  FitModule(config.modules[kTransmitterDevice], 0x0000A6B0, "A1", "T64A0004711", "DX-LINK-TX4");
  CopyText(config.transmitterKind, sizeof config.transmitterKind, "V6K4");
  FitModule(config.panels[1].modules[kConverterDevice], 0x0000B3C2, "B0", "C3B00012345",
            "KVN3-Bridgebox");
  CopyText(config.panels[1].fpga[kConverterDevice].kind, 5, "KR3B");
  // The panels' link receivers run from their link modules; panel 1 has an HDBaseT module.
  CopyText(config.panels[0].fpga[kLinkModuleDevice].kind, 5, "KR3D");
  CopyText(config.panels[1].fpga[kLinkModuleDevice].kind, 5, "KR4D");
  CopyText(config.panels[1].fpga[kHdbtDevice].kind, 5, "VRTP");
}

void SetBlankMachineConfig(MachineConfig& config) {
  // Built in place: a configuration on the stack would not fit a small firmware stack. The
  // padding between fields is cleared too, so that configurations compare byte by byte.
  std::memset(static_cast<void*>(&config), 0, sizeof config);
  new (&config) MachineConfig{};
}

}  // namespace internal

MachineConfig DefaultMachineConfig() {
  MachineConfig config;
  internal::SetDefaultMachineConfig(config);
  return config;
}

}  // namespace sim
