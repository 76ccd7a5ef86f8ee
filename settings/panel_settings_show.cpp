// Info of a panel's own factory settings, and the notice for the built-in display of a panel PC.
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/panel_factory_settings.h"

namespace drux {

bool IsBuiltInDisplayWithNotice(int32_t panel) {
  if (PanelVersionId(panel) != kBuiltInDisplayVersionId) {
    return false;
  }
  platform::Print("Function is not available for built-in display\n");
  return true;
}

int ShowPanelFactorySettings(const FeatureSet& /*features*/, int32_t panel) {
  platform::Print("\n-- Factory settings of panel %d --\n\n", panel);
  if (IsBuiltInDisplayWithNotice(panel)) {
    return kExitOk;
  }
  return CheckPanelSettingsData(panel, nullptr, nullptr);
}

}  // namespace drux
