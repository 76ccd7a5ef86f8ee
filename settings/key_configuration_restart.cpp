// After a new key configuration the controller must take up its scan codes again. When it
// cannot, the data is still written: a PC reboot makes it take them up.
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/key_configuration_steps.h"
#include "transfer/notices.h"

namespace drux::kcf {

namespace {

constexpr uint32_t kRestartCommand = 0x19;
constexpr uint32_t kRestartDevice = 1;
constexpr uint32_t kRestartTarget = 1;

}  // namespace

int RestartScanCodes() {
  platform::Print("Restart scancodes ...\n");
  uint8_t errorByte = 0;
  const int status =
      WriteCommand(kRestartCommand, 0, kRestartDevice, kRestartTarget, nullptr, 0, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't restart scancodes: %s\n", StatusText(status, errorByte));
    return NoticePcReboot(kExitOk);
  }
  return kExitOk;
}

}  // namespace drux::kcf
