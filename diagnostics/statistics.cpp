// Operating hours, cycles, temperatures and fans of a module, and a panel's backlight record.
// Module statistics only read: a record the controller does not have is simply left out.
#include "diagnostics/statistics.h"

#include "controller/byte_fields.h"
#include "controller/command.h"
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/service_request.h"
#include "controller/status_text.h"
#include "diagnostics/statistics_units.h"
#include "platform/platform.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

// Statistics of the PC's modules, and of the modules of the panel chosen for module functions.
constexpr uint32_t kCommandPcModuleStatistics = 0x65;
constexpr uint32_t kCommandPanelModuleStatistics = 0x75;
// Panel record: target 3, address 0, device = panel.
constexpr uint32_t kCommandPanelStatistics = 0x30;
constexpr uint32_t kPanelStatisticsTarget = 3;
constexpr uint32_t kPanelRecordSize = 4;

// Time records share one address; the target tells which counter.
constexpr uint32_t kAddressTimeRecords = 0x100;
constexpr uint32_t kTargetPowerOn = 0;
constexpr uint32_t kTargetBacklightOn = 1;
constexpr uint32_t kTargetOnBattery = 3;
constexpr uint32_t kTimeRecordSize = 8;

// Temperature records: the target is the sensor.
constexpr uint32_t kAddressTemperatureMaximum = 0;
constexpr uint32_t kAddressTemperatureMinimum = 1;
constexpr uint32_t kTemperatureRecordSize = 10;
constexpr uint32_t kSensors = 4;

// Fan records: the target is the fan.
constexpr uint32_t kAddressFan = 0x200;
constexpr uint32_t kFanRecordSize = 16;
constexpr uint32_t kFans = 4;

// The module's owner decides the command; the device is always the module.
struct ModuleRecords {
  uint32_t command;
  uint32_t module;
};

bool ReadRecord(const ModuleRecords& records, uint32_t address, uint32_t target, uint8_t* buffer,
                uint32_t size) {
  uint8_t errorByte = 0;
  return ReadCommand(records.command, address, records.module, target, buffer, size, &errorByte) ==
         kStatusOk;
}

// "<label>: <h> h <min> min (<cycles> cycles)"; false when the record cannot be read.
bool PrintTimeRecord(const ModuleRecords& records, uint32_t target, const char* label) {
  uint8_t bytes[kTimeRecordSize];
  if (!ReadRecord(records, kAddressTimeRecords, target, bytes, kTimeRecordSize)) {
    return false;
  }
  HoursAndMinutes time = QuarterHoursToTime(LoadLittleEndian32(bytes));
  unsigned long cycles = LoadLittleEndian32(bytes + 4);
  platform::Print("%s: %lu h %lu min (%lu cycles)\n", label, time.hours, time.minutes, cycles);
  return true;
}

// Power-on, backlight-on and, for a PC module, on-battery. True when any was printed.
bool PrintTimeRecords(const ModuleRecords& records, bool pcModule) {
  bool printed = PrintTimeRecord(records, kTargetPowerOn, "Power-on");
  printed |= PrintTimeRecord(records, kTargetBacklightOn, "Backlight-on");
  if (pcModule) {
    printed |= PrintTimeRecord(records, kTargetOnBattery, "On-battery");
  }
  return printed;
}

// " Max: ..." or " Min: ..." of one sensor.
void PrintTemperatureLine(const char* label, const uint8_t* bytes) {
  HoursAndMinutes log = QuarterHoursToTime(LoadLittleEndian32(bytes));
  HoursAndMinutes alarm = QuarterHoursToTime(LoadLittleEndian32(bytes + 4));
  platform::Print(" %s: %.2f degree C, log: %lu h %lu min, alarm: %lu h %lu min\n", label,
                  TemperatureCelsius(LoadLittleEndian16(bytes + 8)), log.hours, log.minutes,
                  alarm.hours, alarm.minutes);
}

// Maximum and minimum of each sensor. True when any temperature line was printed.
bool PrintTemperatures(const ModuleRecords& records) {
  bool printed = false;
  for (uint32_t sensor = 0; sensor < kSensors; ++sensor) {
    uint8_t bytes[kTemperatureRecordSize];
    if (ReadRecord(records, kAddressTemperatureMaximum, sensor, bytes, kTemperatureRecordSize)) {
      platform::Print("Temperature %u\n", sensor);
      PrintTemperatureLine("Max", bytes);
      printed = true;
    }
    // A minimum without a maximum still shows, only without the sensor line.
    if (ReadRecord(records, kAddressTemperatureMinimum, sensor, bytes, kTemperatureRecordSize)) {
      PrintTemperatureLine("Min", bytes);
      printed = true;
    }
  }
  return printed;
}

// Running time, cycles, too-slow and alarm time of each fan. True when any fan was printed.
bool PrintFans(const ModuleRecords& records) {
  bool printed = false;
  for (uint32_t fan = 0; fan < kFans; ++fan) {
    uint8_t bytes[kFanRecordSize];
    if (!ReadRecord(records, kAddressFan, fan, bytes, kFanRecordSize)) {
      continue;
    }
    HoursAndMinutes running = QuarterHoursToTime(LoadLittleEndian32(bytes));
    unsigned long cycles = LoadLittleEndian32(bytes + 4);
    HoursAndMinutes tooSlow = QuarterHoursToTime(LoadLittleEndian32(bytes + 8));
    HoursAndMinutes alarm = QuarterHoursToTime(LoadLittleEndian32(bytes + 12));
    platform::Print("Fan %u\n", fan);
    platform::Print(
        " Running: %lu h %lu min (%lu cycles), too slow: %lu h %lu min, alarm: %lu h %lu min\n",
        running.hours, running.minutes, cycles, tooSlow.hours, tooSlow.minutes, alarm.hours,
        alarm.minutes);
    printed = true;
  }
  return printed;
}

void PrintModuleHeading(int32_t panel, int32_t module) {
  if (panel == kNoPanel) {
    platform::Print("\n-- Statistics values of module %d (%s) --\n\n", module,
                    ModuleName(panel, module));
  } else {
    platform::Print("\n-- Statistics values of module %d (%s) on panel %d --\n\n", module,
                    ModuleName(panel, module), panel);
  }
}

}  // namespace

int ShowModuleStatistics(const FeatureSet& features, int32_t panel, int32_t module) {
  PrintModuleHeading(panel, module);
  bool pcModule = panel == kNoPanel;
  if (!pcModule && !SelectPanelForModules(panel)) {
    platform::Print("The panel does not support modules.\n");
    return kExitOk;
  }
  ModuleRecords records{pcModule ? kCommandPcModuleStatistics : kCommandPanelModuleStatistics,
                        static_cast<uint32_t>(module)};
  bool printed = PrintTimeRecords(records, pcModule);
  if (features.full) {
    // A module with temperature records shows no fans.
    bool temperatures = PrintTemperatures(records);
    bool fans = !temperatures && PrintFans(records);
    printed = printed || temperatures || fans;
  }
  if (!printed) {
    platform::Print("No statistics available for this module.\n");
  }
  return kExitOk;
}

int ShowPanelStatistics(int32_t panel) {
  platform::Print("\n-- Statistics values of panel %d --\n\n", panel);
  if (PanelVersionId(panel) == kBuiltInDisplayVersionId) {
    platform::Print("Function is not available for built-in display\n");
    return kExitOk;
  }
  uint8_t bytes[kPanelRecordSize];
  uint8_t errorByte = 0;
  int status = ReadCommand(kCommandPanelStatistics, 0, static_cast<uint32_t>(panel),
                           kPanelStatisticsTarget, bytes, kPanelRecordSize, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  unsigned cycles = LoadLittleEndian16(bytes);
  unsigned hours = LoadLittleEndian16(bytes + 2);
  platform::Print("Backlight-on: %u h (%u cycles)\n", hours, cycles);
  return kExitOk;
}

}  // namespace drux
