// Update of a module's factory settings from a file: the whole file, or (administrator's
// choice) the file with the module's original display block, serial number and hardware
// revision kept.
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/keep_original_values.h"
#include "settings/module_factory_settings.h"
#include "settings/module_settings_checks.h"
#include "settings/module_settings_common.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

constexpr uint8_t kNoXmlHeader = 0;

// The service set always writes the whole file; the administrator may keep the originals.
bool OverwriteOriginals(const FeatureSet& features, uint8_t yes) {
  if (!features.full) {
    return true;
  }
  return AskYesNo("Overwrite original EDID (opt.), serial number and HW revision (y/n): ", yes);
}

int WriteWholeFile(const char* fileName, int32_t panel, int32_t module, const ModuleAreaInfo& area,
                   uint8_t verify) {
  const int result = UpdateAreaFromFile(area.command, kModuleSettingsTarget, uint32_t(area.device),
                                        area.start, fileName, verify, kNoXmlHeader, area.size);
  return NoticePowerCycle(uint32_t(panel), uint32_t(module), result);
}

}  // namespace

int UpdateModuleFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                                int32_t module, uint8_t verify, uint8_t yes) {
  if (int result = StartModuleAction("Update", panel, module); result != kExitOk) {
    return result;
  }
  const ModuleAreaInfo area = ModuleArea(panel, module);
  if (int result = RequireSupportedArea(area); result != kExitOk) {
    return result;
  }
  const char* name = PromptFileName(features, "settings", fileName, false, yes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  if (int result = CheckModuleSettingsFile(name, panel, module, area); result != kExitOk) {
    return result;
  }
  if (OverwriteOriginals(features, yes)) {
    return WriteWholeFile(name, panel, module, area, verify);
  }
  return WriteKeepingOriginalValues(panel, module, area);
}

}  // namespace drux
