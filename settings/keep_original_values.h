// Writing a checked factory-settings file while keeping the module's own display block, serial
// number and hardware revision.
#pragma once

#include <cstdint>

#include "settings/module_area.h"

namespace drux {

// The checked file is in the work buffer. Returns the exit code of the power-cycle notice, or
// the failure's exit code when nothing was written.
int WriteKeepingOriginalValues(int32_t panel, int32_t module, const ModuleAreaInfo& area);

}  // namespace drux
