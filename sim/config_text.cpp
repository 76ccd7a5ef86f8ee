// The machine configuration as key=value text: parsing one setting (state file, druxsim set
// and create) and writing the whole configuration back.
#include <cstring>

#include "sim/machine.h"

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

bool ApplyPanelField(PanelConfig& panel, const char* field, const char* value) {
  uint32_t number = 0;
  uint32_t minor = 0;
  if (TextEquals(field, "connected")) {
    return ParseBool(value, &panel.connected);
  }
  if (TextEquals(field, "modules")) {
    return ParseBool(value, &panel.moduleFunctions);
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
  }
  if (ok) {
    module.fitted = true;
  }
  return ok;
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
  // Each setting changes its field only when the whole value is valid; panels and modules are
  // changed on a copy of their own record (the configuration is too big to copy on a small
  // firmware stack).
  int index = 0;
  const char* field = nullptr;
  if (SplitIndexedKey(key, "panel.", &index, &field)) {
    PanelConfig panel = config.panels[index];
    if (!ApplyPanelField(panel, field, value)) {
      return false;
    }
    config.panels[index] = panel;
    return true;
  }
  if (SplitIndexedKey(key, "module.", &index, &field)) {
    ModuleConfig module = config.modules[index];
    if (!ApplyModuleField(module, field, value)) {
      return false;
    }
    config.modules[index] = module;
    return true;
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
  const PanelConfig blank;
  for (int i = 0; i < kPanelChannels; ++i) {
    const PanelConfig& panel = config.panels[i];
    if (panel.connected == blank.connected && panel.versionId == blank.versionId &&
        panel.linkFpgaMajor == blank.linkFpgaMajor && panel.linkFpgaMinor == blank.linkFpgaMinor &&
        panel.moduleFunctions == blank.moduleFunctions) {
      continue;
    }
    AppendText(text, "panel.%d.connected=%d\n", i, panel.connected ? 1 : 0);
    AppendText(text, "panel.%d.version=0x%04x\n", i, unsigned(panel.versionId));
    AppendText(text, "panel.%d.link=%u.%u\n", i, unsigned(panel.linkFpgaMajor),
               unsigned(panel.linkFpgaMinor));
    AppendText(text, "panel.%d.modules=%d\n", i, panel.moduleFunctions ? 1 : 0);
  }
  for (int i = 0; i < kModules; ++i) {
    const ModuleConfig& module = config.modules[i];
    if (!module.fitted) {
      continue;
    }
    AppendText(text, "module.%d.fitted=1\n", i);
    AppendText(text, "module.%d.id=0x%08x\n", i, unsigned(module.id));
    AppendText(text, "module.%d.hwrev=%s\n", i, module.hardwareRevision);
    AppendText(text, "module.%d.serial=%s\n", i, module.serialNumber);
    AppendText(text, "module.%d.model=%s\n", i, module.modelNumber);
    AppendText(text, "module.%d.parent=0x%08x\n", i, unsigned(module.parentId));
  }
}

}  // namespace internal

}  // namespace sim
