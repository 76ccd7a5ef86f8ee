// Settling the target of a request inside the action drivers: which panel (or the PC) and
// which module.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

// The panel to use (0-15), or -1 for the PC. A given panel is kept as it is.
int32_t SelectTargetPanel(const FeatureSet& features, int32_t panel, bool pcAllowed);

// The module to use, or -1 for none. A given module is kept as it is.
int32_t SelectModule(const FeatureSet& features, int32_t panel, int32_t module);

}  // namespace drux
