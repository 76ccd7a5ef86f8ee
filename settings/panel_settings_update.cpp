// Update of a panel's own factory settings from a file (administrator's set): the whole file
// into the panel's data, after the display block and extended record have passed their checks.
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/module_area.h"
#include "settings/panel_factory_settings.h"
#include "transfer/notices.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

constexpr uint8_t kNoXmlHeader = 0;
constexpr uint32_t kWholeFile = 0;
constexpr uint32_t kPanelItself = 0xFFFFFFFF;

}  // namespace

int UpdatePanelFactorySettings(const FeatureSet& features, const char* fileName, int32_t panel,
                               uint8_t verify) {
  platform::Print("Update factory settings of panel %d ...\n", panel);
  if (IsBuiltInDisplayWithNotice(panel)) {
    return kExitOk;
  }
  constexpr uint8_t kNoQuestion = 0;
  const char* name = PromptFileName(features, "settings", fileName, false, kNoQuestion);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  if (int result = CheckPanelSettingsFile(name, PanelHasModules(panel)); result != kExitOk) {
    return result;
  }
  const int result = UpdateAreaFromFile(kCommandPanelData, kPanelSettingsTarget, uint32_t(panel), 0,
                                        name, verify, kNoXmlHeader, kWholeFile);
  return NoticePowerCycle(uint32_t(panel), kPanelItself, result);
}

}  // namespace drux
