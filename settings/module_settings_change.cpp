// Change of a module's factory settings (administrator's set): the parent device ID
// correction. The setting text is accepted and not interpreted.
#include "controller/block_access.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/module_factory_settings.h"
#include "settings/module_settings_common.h"
#include "settings/parent_id_correction.h"
#include "transfer/notices.h"

namespace drux {

int ChangeModuleFactorySettings(const FeatureSet& /*features*/, int32_t panel, int32_t module,
                                const char* /*setting*/) {
  if (int result = StartModuleAction("Change", panel, module); result != kExitOk) {
    return result;
  }
  const ModuleAreaInfo area = ModuleArea(panel, module);
  if (int result = RequireSupportedArea(area); result != kExitOk) {
    return result;
  }
  if (HoldsDisplayBlockOnly(panel, module, area)) {
    platform::PrintError("ERROR: Change of factory settings is not supported for this module.\n");
    return kExitNotSupported;
  }
  const uint32_t length = UsedAreaLength(area);
  const MemoryArea memory = ModuleMemoryArea(area, 0, length);
  uint8_t* buffer = SettingsWorkBuffer();
  uint8_t errorByte = 0;
  int status = ReadArea(memory, buffer, &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  // The record is looked for at the start of the area, also behind a display block's place.
  if (int result = CorrectParentDeviceId(buffer, length); result != kExitOk) {
    return result;
  }
  int result = kExitOk;
  status = WriteArea(memory, buffer, &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't write data: %s\n", StatusText(status, errorByte));
    result = kExitDruxFailed;
  }
  return NoticePowerCycle(uint32_t(panel), uint32_t(module), result);
}

}  // namespace drux
