// Readable lines of a module's identity and statistics records, shared by show and module.
// Statistics print in the form of their settings, so that a line can be copied into set.
#include <cstdio>

#include "sim/tool/tool.h"

namespace druxsim {

namespace {

void PrintTime(const char* indent, const char* name, const sim::TimeRecord& record) {
  if (record.present) {
    std::printf("%s%s=%u,%u\n", indent, name, unsigned(record.quarterHours),
                unsigned(record.cycles));
  }
}

void PrintTemperature(const char* indent, const char* name, int sensor,
                      const sim::TemperatureRecord& record) {
  if (record.present) {
    // The reading: bits 6-15 as a signed value in quarter degrees.
    double celsius = (int16_t(record.word) >> 6) / 4.0;
    std::printf("%s%s.%d=%u,%u,0x%04x (%.2f degree C)\n", indent, name, sensor,
                unsigned(record.logTime), unsigned(record.alarmTime), unsigned(record.word),
                celsius);
  }
}

}  // namespace

void PrintModuleIdentity(const sim::ModuleConfig& module) {
  std::printf("id 0x%08x, hwrev \"%s\", serial \"%s\", model \"%s\", parent 0x%08x\n",
              unsigned(module.id), module.hardwareRevision, module.serialNumber, module.modelNumber,
              unsigned(module.parentId));
}

void PrintModuleStatistics(const char* indent, const sim::ModuleStatistics& statistics) {
  PrintTime(indent, "power-on", statistics.powerOn);
  PrintTime(indent, "backlight-on", statistics.backlightOn);
  PrintTime(indent, "on-battery", statistics.onBattery);
  for (int sensor = 0; sensor < sim::kTemperatureSensors; ++sensor) {
    PrintTemperature(indent, "temp-max", sensor, statistics.temperatureMax[sensor]);
    PrintTemperature(indent, "temp-min", sensor, statistics.temperatureMin[sensor]);
  }
  for (int fan = 0; fan < sim::kFans; ++fan) {
    const sim::FanRecord& record = statistics.fans[fan];
    if (record.present) {
      std::printf("%sfan.%d=%u,%u,%u,%u\n", indent, fan, unsigned(record.runningTime),
                  unsigned(record.cycles), unsigned(record.tooSlowTime),
                  unsigned(record.alarmTime));
    }
  }
}

}  // namespace druxsim
