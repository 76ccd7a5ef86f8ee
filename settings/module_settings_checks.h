// The two checks of a module's factory settings before they are shown, saved or written.
#pragma once

#include <cstdint>

#include "settings/module_area.h"

namespace drux {

// Reads the module's area into the work buffer and checks and shows the record (Info, Save).
// deviceId and version (may be null) are set only when a record was checked.
int CheckModuleSettingsData(int32_t panel, int32_t module, const ModuleAreaInfo& area,
                            uint32_t* deviceId, uint32_t* version);

// Reads the file into the work buffer (filled with 0xFF first) and checks its record (Update).
int CheckModuleSettingsFile(const char* fileName, int32_t panel, int32_t module,
                            const ModuleAreaInfo& area);

}  // namespace drux
