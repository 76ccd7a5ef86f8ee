// Save of a module's factory settings to a file (administrator's set).
#include "controller/exit_codes.h"
#include "platform/format.h"
#include "settings/module_factory_settings.h"
#include "settings/module_settings_checks.h"
#include "settings/module_settings_common.h"
#include "transfer/notices.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

// "%04x%04u.bin" of a 32-bit device ID and a version up to 1515, with room to spare.
constexpr size_t kDefaultNameCapacity = 24;

}  // namespace

int SaveModuleFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                              int32_t module, uint8_t verify, uint8_t yes) {
  if (int result = StartModuleAction("Save", panel, module); result != kExitOk) {
    return result;
  }
  const ModuleAreaInfo area = ModuleArea(panel, module);
  if (int result = RequireSupportedArea(area); result != kExitOk) {
    return result;
  }
  // An area with the display block only has no record: no ID to name the file after, so the
  // user is asked for the name.
  bool recordChecked = !HoldsDisplayBlockOnly(panel, module, area);
  uint32_t deviceId = 0;
  uint32_t version = 0;
  if (int result = CheckModuleSettingsData(panel, module, area, &deviceId, &version);
      result != kExitOk) {
    return result;
  }
  char defaultName[kDefaultNameCapacity];
  if (fileName == nullptr && recordChecked) {
    platform::FormatString(defaultName, sizeof defaultName, "%04x%04u.bin", unsigned(deviceId),
                           unsigned(version));
    fileName = defaultName;
  }
  const char* name = PromptFileName(features, "settings", fileName, true, yes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  return SaveAreaToFile(area.command, kModuleSettingsTarget, uint32_t(area.device), area.start,
                        name, area.size, verify, nullptr);
}

}  // namespace drux
