// The machine configuration as key=value text: parsing one setting (state file, druxsim set
// and create) and writing the whole configuration back.
#include <cstring>

#include "platform/format.h"
#include "sim/core/machine.h"

namespace sim {

namespace {

using internal::ParseNumber;
using internal::TextEquals;

struct PcModel {
  uint8_t code;
  const char* name;
};

constexpr PcModel kPcModels[] = {
    {14, "EX41"}, {15, "VP41"}, {16, "EX52"}, {17, "VP52"}, {18, "EX64"}, {19, "VP64"},
    {20, "EX53"}, {21, "VP53"}, {22, "EM64"}, {23, "VP47"}, {24, "VP20"},
};

char UpperCase(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (UpperCase(*a) != UpperCase(*b)) {
      return false;
    }
  }
  return *a == *b;
}

bool ParseBool(const char* text, bool* value) {
  static constexpr const char* kYes[] = {"1", "yes", "true", "on"};
  static constexpr const char* kNo[] = {"0", "no", "false", "off"};
  for (const char* word : kYes) {
    if (EqualsIgnoringCase(text, word)) {
      *value = true;
      return true;
    }
  }
  for (const char* word : kNo) {
    if (EqualsIgnoringCase(text, word)) {
      *value = false;
      return true;
    }
  }
  return false;
}

bool ParseLimited(const char* text, uint32_t maximum, uint32_t* value) {
  return ParseNumber(text, value) && *value <= maximum;
}

bool ParsePcType(const char* text, uint8_t* pcType) {
  for (const PcModel& model : kPcModels) {
    if (EqualsIgnoringCase(text, model.name)) {
      *pcType = model.code;
      return true;
    }
  }
  uint32_t code = 0;
  if (!ParseLimited(text, 0xFF, &code)) {
    return false;
  }
  *pcType = uint8_t(code);
  return true;
}

bool ApplyVariant(MachineConfig& config, const char* text) {
  if (EqualsIgnoringCase(text, "absent")) {
    config.present = false;
    return true;
  }
  if (std::strlen(text) != 4) {
    return false;
  }
  char letters[4];
  for (int i = 0; i < 4; ++i) {
    letters[i] = UpperCase(text[i]);
    if (letters[i] < 'A' || letters[i] > 'Z') {
      return false;
    }
  }
  std::memcpy(config.id, letters, 4);
  config.id[4] = 0;
  config.present = true;
  return true;
}

// Printable text that fits a field of `capacity` bytes including its terminator.
bool CopyField(char* field, size_t capacity, const char* text) {
  size_t length = std::strlen(text);
  if (length >= capacity) {
    return false;
  }
  for (size_t i = 0; i < length; ++i) {
    if (uint8_t(text[i]) < 0x20 || text[i] == 0x7F) {
      return false;
    }
  }
  internal::CopyText(field, capacity, text);
  return true;
}

// "panel.3.version" -> index 3, field "version".
bool SplitIndexedKey(const char* key, const char* prefix, int* index, const char** field) {
  if (!internal::StartsWith(key, prefix)) {
    return false;
  }
  const char* p = key + std::strlen(prefix);
  int value = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9' && digits < 3; ++p, ++digits) {
    value = value * 10 + (*p - '0');
  }
  if (digits == 0 || *p != '.' || value >= kPanelChannels) {
    return false;
  }
  *index = value;
  *field = p + 1;
  return true;
}

// "none" or four printable characters: the kind of an FPGA module.
bool ParseFpgaKind(const char* value, char* kind) {
  if (TextEquals(value, "none")) {
    kind[0] = 0;
    return true;
  }
  if (std::strlen(value) != 4) {
    return false;
  }
  return CopyField(kind, 5, value);
}

// "fpga.2", "fpga.2.area", "converter.crc-error" ... -> device and the rest ("" for the kind).
bool SplitFpgaKey(const char* field, int* device, const char** rest) {
  const char* p = nullptr;
  if (internal::StartsWith(field, "converter")) {
    *device = kConverterDevice;
    p = field + 9;
  } else if (internal::StartsWith(field, "fpga.") && field[5] >= '0' &&
             field[5] < char('0' + kPanelFpgaDevices)) {
    *device = field[5] - '0';
    p = field + 6;
  } else {
    return false;
  }
  if (*p != 0 && *p != '.') {
    return false;
  }
  *rest = *p == '.' ? p + 1 : p;
  return true;
}

bool ApplyFpgaField(FpgaUnitConfig& unit, const char* field, const char* value) {
  bool on = false;
  if (*field == 0) {
    return ParseFpgaKind(value, unit.kind);
  }
  if (TextEquals(field, "area")) {
    if (!TextEquals(value, "low") && !TextEquals(value, "high")) {
      return false;
    }
    on = TextEquals(value, "high");
    unit.flags = on ? (unit.flags | kFpgaRunsHigh) : (unit.flags & ~kFpgaRunsHigh);
    return true;
  }
  if (TextEquals(field, "crc-error")) {
    if (!ParseBool(value, &on)) {
      return false;
    }
    unit.flags = on ? (unit.flags | kFpgaCrcError) : (unit.flags & ~kFpgaCrcError);
    return true;
  }
  return false;
}

bool ApplyPanelField(PanelConfig& panel, const char* field, const char* value) {
  int device = 0;
  const char* fpgaField = nullptr;
  if (SplitFpgaKey(field, &device, &fpgaField)) {
    return ApplyFpgaField(panel.fpga[device], fpgaField, value);
  }
  uint32_t number = 0;
  uint32_t minor = 0;
  if (TextEquals(field, "backlight-hours") || TextEquals(field, "backlight-cycles")) {
    if (!ParseLimited(value, 0xFFFF, &number)) {
      return false;
    }
    (TextEquals(field, "backlight-hours") ? panel.backlightHours : panel.backlightCycles) =
        uint16_t(number);
    return true;
  }
  if (TextEquals(field, "connected")) {
    return ParseBool(value, &panel.connected);
  }
  if (TextEquals(field, "modules")) {
    return ParseBool(value, &panel.moduleFunctions);
  }
  if (TextEquals(field, "protect")) {
    return ParseBool(value, &panel.flashProtected);
  }
  if (TextEquals(field, "version")) {
    if (!ParseLimited(value, 0xFFFF, &number)) {
      return false;
    }
    panel.versionId = uint16_t(number);
    return true;
  }
  if (TextEquals(field, "link")) {
    if (!internal::ParseVersion(value, &number, &minor) || number > 0xF || minor > 0xFF) {
      return false;
    }
    panel.linkFpgaMajor = uint8_t(number);
    panel.linkFpgaMinor = uint8_t(minor);
    return true;
  }
  return false;
}

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

// "none": the controller has never stored a BIOS settings word.
bool ParseBiosWord(MachineConfig& config, const char* value) {
  if (TextEquals(value, "none")) {
    config.biosWordStored = false;
    config.biosWord = 0;
    return true;
  }
  uint32_t word = 0;
  if (!ParseNumber(value, &word)) {
    return false;
  }
  config.biosWord = word;
  config.biosWordStored = true;
  return true;
}

bool ApplyMachineField(MachineConfig& config, const char* key, const char* value) {
  uint32_t number = 0;
  uint32_t minor = 0;
  if (TextEquals(key, "pc")) {
    return ParsePcType(value, &config.pcType);
  }
  if (TextEquals(key, "variant")) {
    return ApplyVariant(config, value);
  }
  if (TextEquals(key, "present")) {
    return ParseBool(value, &config.present);
  }
  if (TextEquals(key, "channels")) {
    if (!ParseNumber(value, &number) || (number != 1 && number != 16)) {
      return false;
    }
    config.panelChannels = number;
    return true;
  }
  if (TextEquals(key, "firmware")) {
    if (!internal::ParseVersion(value, &number, &minor) || number > 0xF || minor > 0xFF) {
      return false;
    }
    config.firmwareVersion = uint16_t(number * 256 + minor);
    return true;
  }
  if (TextEquals(key, "update-counter")) {
    return ParseNumber(value, &config.updateCounter);
  }
  if (TextEquals(key, "system-flags")) {
    // Bits 0-7 are the PC type code, set with pc=.
    if (!ParseNumber(value, &number) || (number & 0xFF) != 0) {
      return false;
    }
    config.systemFlags = number;
    return true;
  }
  if (TextEquals(key, "features")) {
    return ParseNumber(value, &config.featureRegister);
  }
  if (TextEquals(key, "bios")) {
    return ParseNumber(value, &config.biosRegister);
  }
  if (TextEquals(key, "bios-word")) {
    return ParseBiosWord(config, value);
  }
  if (TextEquals(key, "bios-head")) {
    return ParseNumber(value, &config.biosWordHead);
  }
  if (TextEquals(key, "uid")) {
    return ParseNumber(value, &config.userSerialId);
  }
  if (TextEquals(key, "uid-head")) {
    return ParseNumber(value, &config.userSerialIdHead);
  }
  if (TextEquals(key, "pc-device-id")) {
    return ParseNumber(value, &config.pcDeviceId);
  }
  if (TextEquals(key, "pc-parent-id")) {
    return ParseNumber(value, &config.pcParentId);
  }
  if (TextEquals(key, "pc-model")) {
    return CopyField(config.pcModelNumber, sizeof config.pcModelNumber, value);
  }
  if (TextEquals(key, "transmitter")) {
    return ParseFpgaKind(value, config.transmitterKind);
  }
  return false;
}

// Module fields change a copy of the module's own record.
bool ApplyModuleSetting(ModuleConfig& target, const char* field, const char* value) {
  ModuleConfig module = target;
  if (!ApplyModuleField(module, field, value)) {
    return false;
  }
  target = module;
  return true;
}

}  // namespace

const char* PcModelName(uint8_t pcType) {
  for (const PcModel& model : kPcModels) {
    if (model.code == pcType) {
      return model.name;
    }
  }
  return nullptr;
}

bool ApplySetting(MachineConfig& config, const char* key, const char* value) {
  if (key == nullptr || value == nullptr) {
    return false;
  }
  // Each setting changes its field only when the whole value is valid; modules are changed on
  // a copy of their own record (the configuration, and even a panel with its modules, is too
  // big to copy on a small firmware stack).
  int index = 0;
  int module = 0;
  const char* field = nullptr;
  const char* moduleField = nullptr;
  if (SplitIndexedKey(key, "panel.", &index, &field)) {
    PanelConfig& panel = config.panels[index];
    if (SplitIndexedKey(field, "module.", &module, &moduleField)) {
      return ApplyModuleSetting(panel.modules[module], moduleField, value);
    }
    // A panel's own fields are all single values: each is valid or the panel stays as it was.
    return ApplyPanelField(panel, field, value);
  }
  if (SplitIndexedKey(key, "module.", &index, &field)) {
    return ApplyModuleSetting(config.modules[index], field, value);
  }
  return ApplyMachineField(config, key, value);
}

bool ApplySettingText(MachineConfig& config, const char* keyValue) {
  const char* equals = keyValue;
  while (*equals != 0 && *equals != '=') {
    ++equals;
  }
  size_t keyLength = size_t(equals - keyValue);
  if (*equals != '=' || keyLength == 0 || keyLength >= 40) {
    return false;
  }
  char key[40];
  std::memcpy(key, keyValue, keyLength);
  key[keyLength] = 0;
  return ApplySetting(config, key, equals + 1);
}

namespace internal {

namespace {

// A panel as a configuration starts out (compared field by field: a whole blank panel with its
// modules would not fit a small firmware stack).
bool PanelIsBlank(const PanelConfig& panel) {
  if (panel.connected || panel.versionId != 0 || panel.linkFpgaMajor != 0 ||
      panel.linkFpgaMinor != 0 || !panel.moduleFunctions || panel.flashProtected ||
      panel.backlightHours != 0 || panel.backlightCycles != 0) {
    return false;
  }
  for (const ModuleConfig& module : panel.modules) {
    if (module.fitted) {
      return false;
    }
  }
  for (const FpgaUnitConfig& unit : panel.fpga) {
    if (unit.kind[0] != 0) {
      return false;
    }
  }
  return true;
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

}  // namespace

void AppendConfigText(TextBuilder& text, const MachineConfig& config) {
  AppendText(text, "# Simulated DRUX controller: machine configuration (key=value)\n");
  AppendText(text, "variant=%s\n", config.id);
  AppendText(text, "present=%d\n", config.present ? 1 : 0);
  AppendText(text, "pc=%u\n", unsigned(config.pcType));
  AppendText(text, "channels=%u\n", unsigned(config.panelChannels));
  AppendText(text, "firmware=%u.%02u\n", unsigned(config.firmwareVersion >> 8),
             unsigned(config.firmwareVersion & 0xFF));
  AppendText(text, "update-counter=%u\n", unsigned(config.updateCounter));
  AppendText(text, "system-flags=0x%08x\n", unsigned(config.systemFlags));
  AppendText(text, "features=0x%08x\n", unsigned(config.featureRegister));
  AppendText(text, "bios=0x%08x\n", unsigned(config.biosRegister));
  if (config.biosWordStored) {
    AppendText(text, "bios-word=0x%08x\n", unsigned(config.biosWord));
  } else {
    AppendText(text, "bios-word=none\n");
  }
  AppendText(text, "bios-head=0x%08x\n", unsigned(config.biosWordHead));
  AppendText(text, "uid=0x%08x\n", unsigned(config.userSerialId));
  AppendText(text, "uid-head=0x%08x\n", unsigned(config.userSerialIdHead));
  AppendText(text, "pc-device-id=0x%08x\n", unsigned(config.pcDeviceId));
  AppendText(text, "pc-parent-id=0x%08x\n", unsigned(config.pcParentId));
  AppendText(text, "pc-model=%s\n", config.pcModelNumber);
  AppendText(text, "transmitter=%s\n",
             config.transmitterKind[0] != 0 ? config.transmitterKind : "none");
  char prefix[24];
  for (int i = 0; i < kPanelChannels; ++i) {
    const PanelConfig& panel = config.panels[i];
    if (PanelIsBlank(panel)) {
      continue;
    }
    AppendText(text, "panel.%d.connected=%d\n", i, panel.connected ? 1 : 0);
    AppendText(text, "panel.%d.version=0x%04x\n", i, unsigned(panel.versionId));
    AppendText(text, "panel.%d.link=%u.%u\n", i, unsigned(panel.linkFpgaMajor),
               unsigned(panel.linkFpgaMinor));
    AppendText(text, "panel.%d.modules=%d\n", i, panel.moduleFunctions ? 1 : 0);
    AppendText(text, "panel.%d.protect=%d\n", i, panel.flashProtected ? 1 : 0);
    AppendText(text, "panel.%d.backlight-hours=%u\n", i, unsigned(panel.backlightHours));
    AppendText(text, "panel.%d.backlight-cycles=%u\n", i, unsigned(panel.backlightCycles));
    for (int m = 0; m < kModules; ++m) {
      platform::FormatString(prefix, sizeof prefix, "panel.%d.module.%d", i, m);
      AppendModuleText(text, prefix, panel.modules[m]);
    }
    for (int d = 0; d < kPanelFpgaDevices; ++d) {
      const FpgaUnitConfig& unit = panel.fpga[d];
      if (unit.kind[0] != 0) {
        AppendText(text, "panel.%d.fpga.%d=%s\n", i, d, unit.kind);
        AppendText(text, "panel.%d.fpga.%d.area=%s\n", i, d,
                   (unit.flags & kFpgaRunsHigh) != 0 ? "high" : "low");
        AppendText(text, "panel.%d.fpga.%d.crc-error=%d\n", i, d,
                   (unit.flags & kFpgaCrcError) != 0 ? 1 : 0);
      }
    }
  }
  for (int i = 0; i < kModules; ++i) {
    platform::FormatString(prefix, sizeof prefix, "module.%d", i);
    AppendModuleText(text, prefix, config.modules[i]);
  }
}

size_t ConfigTextCapacity(const MachineConfig& config) {
  // Generous bounds of the longest lines: machine fields, a panel's own fields, a module.
  constexpr size_t kMachine = 4096;
  constexpr size_t kPanel = 1024;
  constexpr size_t kModule = 2048;
  size_t capacity = kMachine;
  for (const PanelConfig& panel : config.panels) {
    capacity += kPanel;
    for (const ModuleConfig& module : panel.modules) {
      capacity += module.fitted ? kModule : 0;
    }
  }
  for (const ModuleConfig& module : config.modules) {
    capacity += module.fitted ? kModule : 0;
  }
  return capacity;
}

}  // namespace internal

}  // namespace sim
