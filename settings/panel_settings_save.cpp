// Save of a panel's own factory settings to a file (administrator's set): the display block,
// and on a panel with modules the room of the extended record behind it.
#include "controller/exit_codes.h"
#include "platform/format.h"
#include "platform/platform.h"
#include "settings/display_block.h"
#include "settings/module_area.h"
#include "settings/panel_factory_settings.h"
#include "transfer/notices.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

// "%04x%04u.bin" of a 32-bit device ID and a version byte, with room to spare.
constexpr size_t kDefaultNameCapacity = 24;

}  // namespace

int SavePanelFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                             uint8_t verify, uint8_t yes) {
  platform::Print("Save factory settings of panel %d ...\n", panel);
  if (IsBuiltInDisplayWithNotice(panel)) {
    return kExitOk;
  }
  uint32_t deviceId = 0;
  uint32_t version = 0;
  if (int result = CheckPanelSettingsData(panel, &deviceId, &version); result != kExitOk) {
    return result;
  }
  char defaultName[kDefaultNameCapacity];
  if (fileName == nullptr) {
    platform::FormatString(defaultName, sizeof defaultName, "%04x%04u.bin", unsigned(deviceId),
                           unsigned(version));
    fileName = defaultName;
  }
  const char* name = PromptFileName(features, "settings", fileName, true, yes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  const uint32_t size =
      PanelHasModules(panel) ? kPanelSettingsWithModulesSize : uint32_t(kDisplayBlockSize);
  return SaveAreaToFile(kCommandPanelData, kPanelSettingsTarget, uint32_t(panel), 0, name, size,
                        verify, nullptr);
}

}  // namespace drux
