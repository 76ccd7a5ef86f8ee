// Steps that the module factory-settings handlers share: the work buffer, the prologue of each
// action, the area size checks and the place of the record within an area.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/module_area.h"

namespace drux {

// The largest area that a handler moves in one piece.
inline constexpr uint32_t kSettingsWorkBufferSize = 2048;
uint8_t* SettingsWorkBuffer();

// Action line with module number and name; for the PC the compatibility switches, for a panel
// the selection for module functions (failure: message and exit code 15). 0 to go on.
int StartModuleAction(const char* action, int32_t panel, int32_t module);

// Size 0: "not supported" error, exit code 15; else 0.
int RequireSupportedArea(const ModuleAreaInfo& area);

// The area size, cut to the work buffer with a note when it is larger.
uint32_t UsedAreaLength(const ModuleAreaInfo& area);

// Offset of the record within the area: behind the display block of display-prefixed modules.
uint32_t RecordOffset(int32_t panel, int32_t module);
// A display-prefixed area that holds the display block only.
bool HoldsDisplayBlockOnly(int32_t panel, int32_t module, const ModuleAreaInfo& area);

}  // namespace drux
