// Delete of the key configuration: the whole area is written with erased rows, then the
// controller restarts its scan codes.
#include <cstring>

#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/key_configuration.h"
#include "settings/key_configuration_steps.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

constexpr uint32_t kRowSize = 16;

int EraseArea(uint32_t eraseLength) {
  platform::Print("Erase data: ");
  uint8_t erased[kRowSize];
  std::memset(erased, 0xFF, sizeof erased);
  for (uint32_t done = 0; done < eraseLength; done += kRowSize) {
    ShowProgress(int32_t(done), int32_t(eraseLength));
    uint8_t errorByte = 0;
    const int status = WriteArea(kcf::KcfArea(done, kRowSize), erased, &errorByte);
    if (status != 0) {
      platform::PrintError("ERROR: Can't write data: %s\n", StatusText(status, errorByte));
      return kExitDruxFailed;
    }
  }
  ShowProgress(int32_t(eraseLength), int32_t(eraseLength));
  return kExitOk;
}

}  // namespace

int DeleteKeyConfiguration(uint8_t assumeYes) {
  platform::Print("Delete key configuration ...\n");
  if (!AskYesNo("Do you really want to delete (y/n): ", assumeYes)) {
    return kExitCancelled;
  }
  const int result = EraseArea(KcfEraseLength(PanelChannelCount()));
  if (result != kExitOk) {
    return result;
  }
  return kcf::RestartScanCodes();
}

}  // namespace drux
