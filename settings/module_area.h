// Where each module keeps its factory settings: controller device, start and size, per PC type
// and for the modules of panels; which areas carry a display block in front of the record.
#pragma once

#include <cstdint>

#include "controller/block_access.h"

namespace drux {

inline constexpr uint32_t kCommandPcModuleSettings = 0x63;
inline constexpr uint32_t kCommandPanelModuleSettings = 0x73;
inline constexpr uint32_t kModuleSettingsTarget = 0;

struct ModuleAreaEntry {
  int32_t device;  // -1: the module has no area
  uint32_t start;
  uint32_t size;  // 0: factory settings not supported for this module
};

struct ModuleAreaInfo {
  uint32_t command;  // 0x63 for PC modules, 0x73 for panel modules
  int32_t device;
  uint32_t start;
  uint32_t size;
};

// panel -1 = the PC. A module without an area has size 0. The EX41 entries follow the
// compatibility switches applied so far.
ModuleAreaInfo ModuleArea(int32_t panel, int32_t module);
// True for modules whose area begins with a 256-byte display block.
bool HasDisplayBlock(int32_t panel, int32_t module);
// A panel whose version ID marks it as one with modules.
bool PanelHasModules(int32_t panel);

// `size` bytes from `offset` within the module's area, in 16-byte blocks.
MemoryArea ModuleMemoryArea(const ModuleAreaInfo& area, uint32_t offset, uint32_t size);

}  // namespace drux
