// The machine configuration as key=value text: parsing one setting (state file, druxsim set
// and create) and writing the whole configuration back. The machine's own fields and its
// panels are here; modules and the value forms have files of their own (config_text.h).
#include <cstring>

#include "platform/format.h"
#include "sim/core/config_text.h"

namespace sim {

namespace {

using internal::ApplyModuleSetting;
using internal::CopyField;
using internal::EqualsIgnoringCase;
using internal::ParseBool;
using internal::ParseLimited;
using internal::ParseNumber;
using internal::TextEquals;
using internal::UpperCase;

struct PcModel {
  uint8_t code;
  const char* name;
};

constexpr PcModel kPcModels[] = {
    {14, "EX41"}, {15, "VP41"}, {16, "EX52"}, {17, "VP52"}, {18, "EX64"}, {19, "VP64"},
    {20, "EX53"}, {21, "VP53"}, {22, "EM64"}, {23, "VP47"}, {24, "VP20"},
};

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
