// Info of the key configuration: its header, when the controller has one.
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/key_configuration.h"

namespace drux {

int ShowKeyConfiguration() {
  platform::Print("\n-- Key configuration --\n\n");
  if (!KeyConfigurationAvailable()) {
    platform::Print("No key configuration available.\n");
    return kExitOk;
  }
  return CheckKeyConfigurationData(nullptr);
}

}  // namespace drux
