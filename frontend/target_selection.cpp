// Target selection. The service set takes the target from the command line only, so a missing
// panel or module stays missing and the driver decides what that means; the full set asks for
// it in a menu.
#include "frontend/target_selection.h"

#include "frontend/menus.h"

namespace drux {

int32_t SelectTargetPanel(const FeatureSet& features, int32_t panel, bool pcAllowed) {
  return features.full ? AskTargetPanel(panel, pcAllowed) : panel;
}

int32_t SelectModule(const FeatureSet& features, int32_t panel, int32_t module) {
  return features.full ? AskModule(panel, module) : module;
}

}  // namespace drux
