// Operating hours, cycles, temperatures and fans of a module, and a panel's backlight record.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

// Panel -1 means a module of the PC. Always 0: records that cannot be read are left out.
// The full feature set also shows temperatures and fans.
int ShowModuleStatistics(const FeatureSet& features, int32_t panel, int32_t module);
// 0, or 6 when the panel record cannot be read.
int ShowPanelStatistics(int32_t panel);

}  // namespace drux
