// Info of a module's factory settings.
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/pc_type.h"
#include "platform/platform.h"
#include "settings/compatibility_switches.h"
#include "settings/module_factory_settings.h"
#include "settings/module_settings_checks.h"
#include "transfer/prompts.h"

namespace drux {

namespace {

// Module 3 of a VP41 is left out of the overview.
constexpr int32_t kVp41SkippedModule = 3;

// Heading and target preparation; false when there is nothing more to show.
bool PrepareShow(int32_t panel, int32_t module) {
  if (panel < 0) {
    platform::Print("\n-- Factory settings of module %d (%s) --\n\n", module,
                    ModuleName(panel, module));
    ApplyCompatibilitySwitches(module);
    if (IsVp41() && module == kVp41SkippedModule) {
      platform::Print("Skipped...\n");
      return false;
    }
    return true;
  }
  platform::Print("\n-- Factory settings of module %d (%s) on panel %d --\n\n", module,
                  ModuleName(panel, module), panel);
  if (!SelectPanelForModules(panel)) {
    platform::Print("The panel does not support modules.\n");
    return false;
  }
  return true;
}

}  // namespace

int ShowModuleFactorySettings(const FeatureSet& /*features*/, int32_t panel, int32_t module) {
  if (!PrepareShow(panel, module)) {
    return kExitOk;
  }
  const ModuleAreaInfo area = ModuleArea(panel, module);
  if (area.size == 0) {
    platform::Print("Factory settings are not supported for this module.\n");
    return kExitOk;
  }
  return CheckModuleSettingsData(panel, module, area, nullptr, nullptr);
}

}  // namespace drux
