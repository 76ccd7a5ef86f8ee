// Version confirmation before an update and the restart notices after it.
#include "transfer/notices.h"

#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

constexpr uint32_t kLinkConverterModule = 2;

const char* PowerCycledDevice(uint32_t panel, uint32_t module) {
  if (panel >= kRebootTargetPc) {
    return "PC";
  }
  return module == kLinkConverterModule ? "KVN converter" : "panel";
}

void PrintRebootOption() {
  platform::Print("    (if option -r is specified, the device is rebooted)\n");
}

}  // namespace

bool ConfirmVersion(uint32_t activeVersion, uint32_t fileVersion, uint8_t assumeYes) {
  if (activeVersion < fileVersion) {
    return true;
  }
  // Shown also under -y: the log of an unattended run must tell that it downgraded.
  if (activeVersion > fileVersion) {
    platform::Print("WARNING: Active version is newer than file version!\n");
  } else {
    platform::Print("Active version is up-to-date.\n");
  }
  return AskYesNo("Continue with update (y/n): ", assumeYes);
}

int NoticePowerCycle(uint32_t panel, uint32_t module, int status) {
  RememberRebootTarget(panel, module);
  const char* device = PowerCycledDevice(panel, module);
  if (status != kExitOk) {
    platform::PrintError("WARNING: Retry update before the %s is powered off/on!\n", device);
    return status;
  }
  platform::Print("*** The %s must be powered off/on to take over the changes!***\n", device);
  PrintRebootOption();
  return kExitRebootNeeded;
}

int NoticePcReboot(int status) {
  if (status != kExitOk) {
    platform::PrintError("WARNING: Retry update before the PC is rebooted!\n");
    return status;
  }
  platform::Print("*** The PC must be rebooted to take over the changes! ***\n");
  PrintRebootOption();
  return kExitRebootNeeded;
}

}  // namespace drux
