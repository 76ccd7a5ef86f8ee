// Save of the key configuration: only a complete, consistent image reaches the file.
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/key_configuration.h"
#include "transfer/notices.h"
#include "transfer/transfer_engine.h"

namespace drux {

int SaveKeyConfiguration(const FeatureSet& features, const char* fileName, uint8_t verify,
                         uint8_t assumeYes) {
  platform::Print("Save key configuration ...\n");
  if (!KeyConfigurationAvailable()) {
    platform::PrintError("ERROR: No key configuration available.\n");
    return kExitNoDevice;
  }
  const char* name = PromptFileName(features, "configuration", fileName, true, assumeYes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t length = 0;
  const int result = CheckKeyConfigurationData(&length);
  if (result != kExitOk) {
    return result;
  }
  return SaveAreaToFile(kKcfCommand, kKcfTarget, kKcfDevice, 0, name, length, verify, nullptr);
}

}  // namespace drux
