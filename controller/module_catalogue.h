// Module names, the identity fields the front end and the handlers read of a module, and the
// selection of the panel whose modules the module commands reach.
#pragma once

#include <cstdint>

namespace drux {

const char* ModuleName(int32_t panel, int32_t module);

// Tells the controller that the next module commands address the modules of this panel.
bool SelectPanelForModules(int32_t panel);

// 0 when the panel selection or the read fails; nonzero = module present.
uint32_t ReadModuleId(int32_t panel, int32_t module);
// The parent device ID a module keeps beside its identity (6 bytes read, the first four
// little-endian); 0 when the panel selection or the read fails.
uint32_t ReadModuleParentId(int32_t panel, int32_t module);
// Each returns a static text, empty when the panel selection or a read fails.
const char* ReadModuleHardwareRevision(int32_t panel, int32_t module);
const char* ReadModuleSerialNumber(int32_t panel, int32_t module);
const char* ReadModuleModelNumber(int32_t panel, int32_t module);

}  // namespace drux
