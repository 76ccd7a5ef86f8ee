// Delete of a module's factory settings: the start of the area is erased.
#include <cstring>

#include "controller/block_access.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/display_block.h"
#include "settings/module_factory_settings.h"
#include "settings/module_settings_common.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"

namespace drux {

namespace {

// One erased block makes the record at its start read as erased.
constexpr uint32_t kErasedBlockSize = 16;

int EraseBlock(const ModuleAreaInfo& area, uint32_t offset) {
  uint8_t erased[kErasedBlockSize];
  std::memset(erased, 0xFF, sizeof erased);
  uint8_t errorByte = 0;
  const int status =
      WriteArea(ModuleMemoryArea(area, offset, kErasedBlockSize), erased, &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't write data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return kExitOk;
}

}  // namespace

int DeleteModuleFactorySettings(const FeatureSet& /*features*/, int32_t panel, int32_t module,
                                uint8_t yes) {
  if (int result = StartModuleAction("Delete", panel, module); result != kExitOk) {
    return result;
  }
  if (!AskYesNo("Do you really want to delete (y/n): ", yes)) {
    return kExitCancelled;
  }
  const ModuleAreaInfo area = ModuleArea(panel, module);
  if (int result = RequireSupportedArea(area); result != kExitOk) {
    return result;
  }
  int result = EraseBlock(area, 0);
  // Behind a display block the record starts at 256; erasing only the display block's first
  // bytes would leave the record readable.
  if (result == kExitOk && HasDisplayBlock(panel, module) && area.size > kDisplayBlockSize) {
    result = EraseBlock(area, kDisplayBlockSize);
  }
  return NoticePowerCycle(uint32_t(panel), uint32_t(module), result);
}

}  // namespace drux
