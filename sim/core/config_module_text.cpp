// The settings of a module as key=value text, alike for the PC's modules ("module.N.<field>")
// and a panel's ("panel.P.module.N.<field>"): its identity fields and its statistics records.
#include <cstring>

#include "sim/core/config_text.h"

namespace sim::internal {

namespace {

// "none" removes a record (all zero); otherwise exactly the record's numbers, separated by
// commas. Fields are set in place, so that the padding of the configuration stays as it was.
bool ParseRecord(const char* value, uint32_t* fields, int count, bool* present) {
  if (TextEquals(value, "none")) {
    for (int i = 0; i < count; ++i) {
      fields[i] = 0;
    }
    *present = false;
    return true;
  }
  *present = true;
  return internal::ParseNumberList(value, fields, count);
}

bool ApplyTimeRecord(TimeRecord& record, const char* value) {
  uint32_t fields[2] = {};
  bool present = false;
  if (!ParseRecord(value, fields, 2, &present)) {
    return false;
  }
  record.present = present;
  record.quarterHours = fields[0];
  record.cycles = fields[1];
  return true;
}

bool ApplyTemperatureRecord(TemperatureRecord& record, const char* value) {
  uint32_t fields[3] = {};
  bool present = false;
  if (!ParseRecord(value, fields, 3, &present) || fields[2] > 0xFFFF) {
    return false;
  }
  record.present = present;
  record.logTime = fields[0];
  record.alarmTime = fields[1];
  record.word = uint16_t(fields[2]);
  return true;
}

bool ApplyFanRecord(FanRecord& record, const char* value) {
  uint32_t fields[4] = {};
  bool present = false;
  if (!ParseRecord(value, fields, 4, &present)) {
    return false;
  }
  record.present = present;
  record.runningTime = fields[0];
  record.cycles = fields[1];
  record.tooSlowTime = fields[2];
  record.alarmTime = fields[3];
  return true;
}

// "temp-max.2" with prefix "temp-max." -> 2; one digit below the limit.
bool SplitRecordIndex(const char* field, const char* prefix, int limit, int* index) {
  if (!internal::StartsWith(field, prefix)) {
    return false;
  }
  const char* digit = field + std::strlen(prefix);
  if (digit[0] < '0' || digit[0] >= '0' + limit || digit[1] != 0) {
    return false;
  }
  *index = digit[0] - '0';
  return true;
}

bool ApplyStatisticsField(ModuleStatistics& statistics, const char* field, const char* value) {
  int index = 0;
  if (TextEquals(field, "power-on")) {
    return ApplyTimeRecord(statistics.powerOn, value);
  }
  if (TextEquals(field, "backlight-on")) {
    return ApplyTimeRecord(statistics.backlightOn, value);
  }
  if (TextEquals(field, "on-battery")) {
    return ApplyTimeRecord(statistics.onBattery, value);
  }
  if (SplitRecordIndex(field, "temp-max.", kTemperatureSensors, &index)) {
    return ApplyTemperatureRecord(statistics.temperatureMax[index], value);
  }
  if (SplitRecordIndex(field, "temp-min.", kTemperatureSensors, &index)) {
    return ApplyTemperatureRecord(statistics.temperatureMin[index], value);
  }
  if (SplitRecordIndex(field, "fan.", kFans, &index)) {
    return ApplyFanRecord(statistics.fans[index], value);
  }
  return false;
}

bool ApplyModuleField(ModuleConfig& module, const char* field, const char* value) {
  if (TextEquals(field, "fitted")) {
    bool fitted = false;
    if (!ParseBool(value, &fitted)) {
      return false;
    }
    if (!fitted) {
      module = ModuleConfig{};
    }
    module.fitted = fitted;
    return true;
  }
  bool ok = false;
  if (TextEquals(field, "id")) {
    ok = ParseNumber(value, &module.id);
  } else if (TextEquals(field, "parent")) {
    ok = ParseNumber(value, &module.parentId);
  } else if (TextEquals(field, "hwrev")) {
    ok = CopyField(module.hardwareRevision, sizeof module.hardwareRevision, value);
  } else if (TextEquals(field, "serial")) {
    ok = CopyField(module.serialNumber, sizeof module.serialNumber, value);
  } else if (TextEquals(field, "model")) {
    ok = CopyField(module.modelNumber, sizeof module.modelNumber, value);
  } else {
    ok = ApplyStatisticsField(module.statistics, field, value);
  }
  if (ok) {
    module.fitted = true;
  }
  return ok;
}

void AppendTimeRecord(TextBuilder& text, const char* prefix, const char* name,
                      const TimeRecord& record) {
  if (record.present) {
    AppendText(text, "%s.%s=%u,%u\n", prefix, name, unsigned(record.quarterHours),
               unsigned(record.cycles));
  }
}

void AppendTemperatureRecord(TextBuilder& text, const char* prefix, const char* name, int sensor,
                             const TemperatureRecord& record) {
  if (record.present) {
    AppendText(text, "%s.%s.%d=%u,%u,0x%04x\n", prefix, name, sensor, unsigned(record.logTime),
               unsigned(record.alarmTime), unsigned(record.word));
  }
}

void AppendStatisticsText(TextBuilder& text, const char* prefix,
                          const ModuleStatistics& statistics) {
  AppendTimeRecord(text, prefix, "power-on", statistics.powerOn);
  AppendTimeRecord(text, prefix, "backlight-on", statistics.backlightOn);
  AppendTimeRecord(text, prefix, "on-battery", statistics.onBattery);
  for (int sensor = 0; sensor < kTemperatureSensors; ++sensor) {
    AppendTemperatureRecord(text, prefix, "temp-max", sensor, statistics.temperatureMax[sensor]);
    AppendTemperatureRecord(text, prefix, "temp-min", sensor, statistics.temperatureMin[sensor]);
  }
  for (int fan = 0; fan < kFans; ++fan) {
    const FanRecord& record = statistics.fans[fan];
    if (record.present) {
      AppendText(text, "%s.fan.%d=%u,%u,%u,%u\n", prefix, fan, unsigned(record.runningTime),
                 unsigned(record.cycles), unsigned(record.tooSlowTime), unsigned(record.alarmTime));
    }
  }
}

}  // namespace

// Module fields change a copy of the module's own record.
bool ApplyModuleSetting(ModuleConfig& target, const char* field, const char* value) {
  ModuleConfig module = target;
  if (!ApplyModuleField(module, field, value)) {
    return false;
  }
  target = module;
  return true;
}

// "<prefix>.<field>=<value>" lines of a fitted module; nothing for one that is not fitted.
void AppendModuleText(TextBuilder& text, const char* prefix, const ModuleConfig& module) {
  if (!module.fitted) {
    return;
  }
  AppendText(text, "%s.fitted=1\n", prefix);
  AppendText(text, "%s.id=0x%08x\n", prefix, unsigned(module.id));
  AppendText(text, "%s.hwrev=%s\n", prefix, module.hardwareRevision);
  AppendText(text, "%s.serial=%s\n", prefix, module.serialNumber);
  AppendText(text, "%s.model=%s\n", prefix, module.modelNumber);
  AppendText(text, "%s.parent=0x%08x\n", prefix, unsigned(module.parentId));
  AppendStatisticsText(text, prefix, module.statistics);
}

}  // namespace sim::internal
