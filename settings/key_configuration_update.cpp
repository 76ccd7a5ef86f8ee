// Update of the key configuration from a checked file; the controller then restarts its scan
// codes.
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/key_configuration.h"
#include "settings/key_configuration_steps.h"
#include "transfer/notices.h"
#include "transfer/transfer_engine.h"

namespace drux {

int UpdateKeyConfiguration(const FeatureSet& features, const char* fileName, uint8_t verify) {
  platform::Print("Update key configuration ...\n");
  const char* name = PromptFileName(features, "configuration", fileName, false, 0);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  int result = CheckKeyConfigurationFile(PanelChannelCount(), name);
  if (result != kExitOk) {
    return result;
  }
  result = UpdateAreaFromFile(kKcfCommand, kKcfTarget, kKcfDevice, 0, name, verify, 0, 0);
  if (result != kExitOk) {
    return result;
  }
  return kcf::RestartScanCodes();
}

}  // namespace drux
