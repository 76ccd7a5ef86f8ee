// The module area tables: one constant table per PC type family and one for the modules of
// panels, chosen by the PC type tests and the panel's version ID.
#include "settings/module_area.h"

#include <array>
#include <cstddef>

#include "controller/controller_info.h"
#include "controller/pc_type.h"
#include "settings/compatibility_switches.h"

namespace drux {

namespace {

constexpr ModuleAreaEntry kNone{-1, 0, 0};

constexpr std::array<ModuleAreaEntry, 12> kEx41Areas{{
    {0, 0, 1280},
    kNone,
    {2, 0, 1024},
    {3, 0, 1024},
    {4, 0, 1024},
    {4, 1024, 1024},
    {0, 1792, 128},
    {0, 1920, 128},
    {0, 1280, 512},
    {2, 1024, 256},
    {2, 1536, 256},
    kNone,
}};

constexpr std::array<ModuleAreaEntry, 14> kVp41Areas{{
    {0, 0, 1280},
    {1, 0, 1024},
    {2, 0, 1024},
    kNone,
    {4, 0, 1024},
    {4, 1024, 1024},
    kNone,
    kNone,
    {0, 1280, 512},
    {2, 1024, 256},
    kNone,
    kNone,
    {2, 640, 384},
    {1, 1024, 1024},
}};

constexpr std::array<ModuleAreaEntry, 14> kX52Areas{{
    {0, 0, 1280},
    {1, 0, 1024},
    kNone,
    {3, 0, 1024},
    {4, 0, 1024},
    kNone,
    kNone,
    kNone,
    {0, 1280, 512},
    kNone,
    kNone,
    kNone,
    kNone,
    {1, 1024, 1024},
}};

constexpr std::array<ModuleAreaEntry, 14> kX53Areas{{
    {0, 0, 1280},
    {1, 0, 1024},
    {2, 0, 1024},
    {3, 0, 1024},
    {4, 0, 1024},
    kNone,
    kNone,
    kNone,
    {0, 1280, 512},
    kNone,
    kNone,
    kNone,
    kNone,
    {1, 1024, 1024},
}};

constexpr std::array<ModuleAreaEntry, 14> kX64Areas{{
    {0, 0, 1280},
    {1, 0, 1024},
    kNone,
    {3, 0, 1024},
    {4, 0, 1024},
    {4, 1024, 1024},
    kNone,
    kNone,
    {0, 1280, 512},
    kNone,
    kNone,
    kNone,
    kNone,
    {1, 1024, 1024},
}};

constexpr std::array<ModuleAreaEntry, 9> kEm64Areas{{
    {0, 0, 2048},
    kNone,
    kNone,
    kNone,
    {4, 0, 1024},
    {5, 0, 1024},
    kNone,
    kNone,
    {0, 1280, 768},
}};

constexpr std::array<ModuleAreaEntry, 1> kVp47Areas{{{0, 0, 1280}}};

// Modules of a panel with modules; module 4 (HDBaseT) has no area.
constexpr std::array<ModuleAreaEntry, 5> kPanelModuleAreas{{
    {0, 0, 1024},
    {1, 0, 2048},
    {2, 0, 2048},
    {3, 0, 1024},
    {1024, 0, 0},
}};

// Panels whose module 0 holds the display block only.
constexpr uint32_t kDisplayOnlyPanelVersion = 0x7238;
constexpr ModuleAreaEntry kDisplayOnlyPanelModule{0, 0, 256};

constexpr std::array<uint32_t, 7> kPanelsWithModules{0x0DE0, 0x7238, 0x725C, 0xABCD,
                                                     0xB25D, 0xB261, 0xE035};

constexpr int32_t kSystemUnit = 0;
constexpr int32_t kPanelModule = 1;
constexpr int32_t kIfOption1 = 4;
constexpr int32_t kIfOption2 = 5;
constexpr int32_t kFanKit = 8;
constexpr int32_t kPanelDisplayModule = 0;
constexpr int32_t kPanelConverterModule = 2;

template <size_t N>
ModuleAreaEntry EntryOf(const std::array<ModuleAreaEntry, N>& table, int32_t module) {
  return module >= 0 && size_t(module) < N ? table[size_t(module)] : kNone;
}

ModuleAreaEntry Ex41Entry(int32_t module) {
  ModuleAreaEntry entry = EntryOf(kEx41Areas, module);
  const Ex41Switches& switches = ActiveEx41Switches();
  if (module == kSystemUnit && switches.oldSystemUnitSize) {
    entry.size = 1408;
  } else if (module == kFanKit && switches.oldFanKitArea) {
    entry.start = 1408;
    entry.size = 384;
  } else if (module == kIfOption1 && switches.swappedIfOptions) {
    entry.start = 1024;
  } else if (module == kIfOption2 && switches.swappedIfOptions) {
    entry.start = 0;
  }
  return entry;
}

ModuleAreaEntry PcEntry(int32_t module) {
  if (IsEx41()) {
    return Ex41Entry(module);
  }
  if (IsVp41()) {
    return EntryOf(kVp41Areas, module);
  }
  if (IsEx52() || IsVp52()) {
    return EntryOf(kX52Areas, module);
  }
  if (IsEx53() || IsVp53()) {
    return EntryOf(kX53Areas, module);
  }
  if (IsEx64() || IsVp64()) {
    return EntryOf(kX64Areas, module);
  }
  if (IsEm64()) {
    return EntryOf(kEm64Areas, module);
  }
  if (IsVp47() || IsVp20()) {
    return EntryOf(kVp47Areas, module);
  }
  return kNone;
}

bool IsPanelWithModules(uint32_t versionId) {
  for (uint32_t version : kPanelsWithModules) {
    if (version == versionId) {
      return true;
    }
  }
  return false;
}

ModuleAreaEntry PanelEntry(int32_t panel, int32_t module) {
  const uint32_t versionId = PanelVersionId(panel);
  if (versionId == kDisplayOnlyPanelVersion && module == kPanelDisplayModule) {
    return kDisplayOnlyPanelModule;
  }
  return IsPanelWithModules(versionId) ? EntryOf(kPanelModuleAreas, module) : kNone;
}

bool PcModuleHasDisplayBlock(int32_t module) {
  return module == kPanelModule &&
         (IsVp41() || IsEx52() || IsVp52() || IsEx53() || IsVp53() || IsEx64() || IsVp64());
}

}  // namespace

ModuleAreaInfo ModuleArea(int32_t panel, int32_t module) {
  const bool pc = panel < 0;
  const ModuleAreaEntry entry = pc ? PcEntry(module) : PanelEntry(panel, module);
  return ModuleAreaInfo{pc ? kCommandPcModuleSettings : kCommandPanelModuleSettings, entry.device,
                        entry.start, entry.size};
}

bool PanelHasModules(int32_t panel) {
  return IsPanelWithModules(PanelVersionId(panel));
}

bool HasDisplayBlock(int32_t panel, int32_t module) {
  if (panel < 0) {
    return PcModuleHasDisplayBlock(module);
  }
  return (module == kPanelDisplayModule || module == kPanelConverterModule) &&
         IsPanelWithModules(PanelVersionId(panel));
}

MemoryArea ModuleMemoryArea(const ModuleAreaInfo& area, uint32_t offset, uint32_t size) {
  MemoryArea memory{};
  memory.command = uint16_t(area.command);
  memory.target = uint16_t(kModuleSettingsTarget);
  memory.device = uint16_t(area.device);
  memory.start = area.start + offset;
  memory.size = size;
  return memory;
}

}  // namespace drux
