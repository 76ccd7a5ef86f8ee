// Shared steps of the module factory-settings handlers.
#include "settings/module_settings_common.h"

#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "platform/platform.h"
#include "settings/compatibility_switches.h"
#include "settings/display_block.h"
#include "transfer/prompts.h"

namespace drux {

namespace {

uint8_t workBuffer[kSettingsWorkBufferSize];

}  // namespace

uint8_t* SettingsWorkBuffer() {
  return workBuffer;
}

int StartModuleAction(const char* action, int32_t panel, int32_t module) {
  if (panel < 0) {
    platform::Print("%s factory settings of module %d (%s) ...\n", action, module,
                    ModuleName(panel, module));
    ApplyCompatibilitySwitches(module);
    return kExitOk;
  }
  platform::Print("%s factory settings of module %d (%s) on panel %d ...\n", action, module,
                  ModuleName(panel, module), panel);
  if (!SelectPanelForModules(panel)) {
    platform::PrintError("ERROR: The panel does not support modules.\n");
    return kExitNotSupported;
  }
  return kExitOk;
}

int RequireSupportedArea(const ModuleAreaInfo& area) {
  if (area.size == 0) {
    platform::PrintError("ERROR: Factory settings are not supported for this module.\n");
    return kExitNotSupported;
  }
  return kExitOk;
}

uint32_t UsedAreaLength(const ModuleAreaInfo& area) {
  if (area.size > kSettingsWorkBufferSize) {
    platform::Print("Only %u of %u bytes are used (rest is ignored).\n",
                    unsigned(kSettingsWorkBufferSize), unsigned(area.size));
    return kSettingsWorkBufferSize;
  }
  return area.size;
}

uint32_t RecordOffset(int32_t panel, int32_t module) {
  return HasDisplayBlock(panel, module) ? uint32_t(kDisplayBlockSize) : 0;
}

bool HoldsDisplayBlockOnly(int32_t panel, int32_t module, const ModuleAreaInfo& area) {
  return HasDisplayBlock(panel, module) && area.size <= kDisplayBlockSize;
}

}  // namespace drux
