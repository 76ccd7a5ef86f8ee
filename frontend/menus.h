// The console menus of the full feature set: whatever the request leaves open (action, data
// type, target panel, module) is asked for here. Each menu lists the valid choices, reads one
// line and asks again after invalid input; an empty line (or the end of the input) ends it.
#pragma once

#include <cstdint>

namespace drux {

// The chosen action code, or kActionNone when the user entered nothing.
uint32_t SelectAction();

// The chosen data type code among those that support the action, or kDataNone when the user
// entered nothing (or the action is unknown, so that nothing could be offered).
uint32_t SelectDataType(uint32_t action);

// The panel to use (0-15) or -1 for the PC. Asks only when panel is -1; returns -1 without
// asking when no panel is connected. An empty answer ends the program with exit code 0.
int32_t AskTargetPanel(int32_t panel, bool pcAllowed);

// The module to use, or -1 when the target has no module with a model number. Asks only when
// module is -1. An empty answer ends the program with exit code 0.
int32_t AskModule(int32_t panel, int32_t module);

}  // namespace drux
