// Update of a panel's link receiver FPGA: file and version checks, write protection of the
// older panels, and the write by access group.
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/owed_steps.h"
#include "controller/status_text.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "firmware/link_receiver.h"
#include "firmware/panel_module_fpga.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr uint32_t kCommandPanelRequest = 0x22;
constexpr uint32_t kRequestSize = 16;
constexpr uint8_t kProtectBit = 1;
constexpr uint32_t kFirstProtectedMajor = 1;
constexpr uint32_t kLastProtectedMajor = 5;
// Panels of major 6 from minor 14 on run images that older files must not replace.
constexpr uint32_t kNewLineMajor = 6;
constexpr uint32_t kNewLineMinor = 14;
constexpr uint32_t kNewLineFirstVersion = 614;
constexpr uint32_t kVariant1MinimumVersion = 100;

constexpr uint32_t kModuleWriteCommand = 0xC0;
constexpr uint32_t kLargeWriteCommand = 0xD8;
constexpr uint32_t kLowCopyStart = 0x120000;
constexpr uint32_t kHighCopyStart = 0x80000;
constexpr uint32_t kNoModule = 0xFFFFFFFF;

bool HasWriteProtection(uint32_t major) {
  return major >= kFirstProtectedMajor && major <= kLastProtectedMajor;
}

// The panel request that lifts or sets the protection: a status code, the failure printed.
// Setting it is owed to the panel once it was lifted, so it goes out even after a time-out or
// a Ctrl-C.
int RequestWriteProtect(int32_t panel, bool on) {
  uint8_t request[kRequestSize] = {};
  request[0] = on ? kProtectBit : 0;
  uint8_t errorByte = 0;
  const int status = on ? WriteOwedCommand(kCommandPanelRequest, 0, uint32_t(panel),
                                           kPanelFlashTarget, request, kRequestSize, &errorByte)
                        : WriteCommand(kCommandPanelRequest, 0, uint32_t(panel), kPanelFlashTarget,
                                       request, kRequestSize, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError(
        on ? "ERROR: Can't enable write protect: %s\n" : "ERROR: Can't disable write protect: %s\n",
        StatusText(status, errorByte));
  }
  return status;
}

int CheckVersionRules(const PanelInfo& info, uint32_t fileVersion) {
  if (fileVersion / 100 != info.linkFpgaMajor) {
    platform::PrintError("ERROR: Incompatible versions - file version %d.xx is required.\n",
                         int(info.linkFpgaMajor));
    return kExitVersionConflict;
  }
  if (info.linkFpgaMajor == kNewLineMajor && info.linkFpgaMinor >= kNewLineMinor &&
      fileVersion < kNewLineFirstVersion) {
    platform::PrintError("ERROR: Incompatible versions - file version > 6.13 is required.\n");
    return kExitVersionConflict;
  }
  return kExitOk;
}

int WritePatched(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                 const char* name, uint8_t verify, uint32_t counter) {
  SetHeaderPatchValue(NextUpdateCounter(counter));
  const int result = UpdateAreaFromFile(command, target, device, start, name, verify, 1, 0);
  SetHeaderPatchValue(0);
  return result;
}

// *written tells whether the write itself ran (and so needs the power-cycle notice).
int WriteByGroup(const ReceiverRow& row, int32_t panel, const char* name, uint8_t verify,
                 bool* written) {
  uint32_t counter = 0;
  bool highArea = false;
  const uint32_t device = uint32_t(panel);
  if (row.group == ReceiverGroup::S) {
    *written = true;
    return UpdateAreaFromFile(kPanelDataCommand, kPanelFlashTarget, device, 0, name, verify, 1, 0);
  }
  ReceiverRoute route = ReceiverRoute::Compatible;
  if (int result = ChooseReceiverRoute(row, panel, true, &route); result != kExitOk) {
    return result;
  }
  if (route == ReceiverRoute::Compatible) {
    platform::Print("Using compatible Flash commands\n");
    if (int result = ReadUpdateCounter(panel, &counter); result != kExitOk) {
      return result;
    }
    *written = true;
    return WritePatched(kPanelDataCommand, kPanelFlashTarget, device, 0, name, verify, counter);
  }
  if (int result = ReadModuleFpgaHeader(panel, kLinkModuleDevice, &counter, &highArea);
      result != kExitOk) {
    return result;
  }
  *written = true;
  if (row.group == ReceiverGroup::L) {
    return WritePatched(kLargeWriteCommand, 0, kLinkModuleDevice, 0, name, verify, counter);
  }
  // The copy that is not running takes the new image.
  return WritePatched(kModuleWriteCommand, 0, kLinkModuleDevice,
                      highArea ? kHighCopyStart : kLowCopyStart, name, verify, counter);
}

int WriteAndVerify(const ReceiverRow& row, int32_t panel, const char* name, uint8_t verify,
                   bool* written) {
  platform::Print("*** Erase of Flash memory may need some time - please wait! ***\n");
  return WriteByGroup(row, panel, name, verify, written);
}

// Once the unprotect went out, the flash is protected again whatever happened since: a failed
// or timed-out unprotect may have taken effect all the same, and a Ctrl-C waits for the
// protect. Only a locked interface sent nothing. The first failure is the one reported.
int WriteUnprotected(const ReceiverRow& row, int32_t panel, uint32_t major, const char* name,
                     uint8_t verify, bool* written) {
  if (!HasWriteProtection(major)) {
    return WriteAndVerify(row, panel, name, verify, written);
  }
  BeginOwedSteps();
  const int unprotect = RequestWriteProtect(panel, false);
  int result = unprotect == kStatusOk ? WriteAndVerify(row, panel, name, verify, written)
                                      : int(kExitDruxFailed);
  if (unprotect != kStatusLocked && RequestWriteProtect(panel, true) != kStatusOk &&
      result == kExitOk) {
    result = kExitDruxFailed;
  }
  EndOwedSteps();
  return result;
}

}  // namespace

int CheckLinkReceiverFile(const char* fileName, const ReceiverRow& row, uint32_t runningMajor,
                          uint32_t* fileVersion) {
  if (IsXmlHeaderFileName(fileName, kReceiverUsage)) {
    const uint16_t variant = ReceiverVariant(row, runningMajor);
    const uint32_t minimum = variant == 1 ? kVariant1MinimumVersion : 0;
    return CheckXmlHeader(fileName, 0, long(row.imageSize), row.xmlDeviceId, kReceiverFunction,
                          variant, kReceiverUsage, minimum, fileVersion);
  }
  if (row.group == ReceiverGroup::S) {
    return CheckFpgaInfoFile(fileName, long(row.imageSize), row.fpgaId, fileVersion);
  }
  return CheckImageFile(ImageKind::FpgaFirmware, fileName, long(row.imageSize), row.fpgaId,
                        fileVersion);
}

int UpdateLinkReceiver(const FeatureSet& features, const char* fileName, int32_t panel,
                       uint8_t verify, uint8_t yes) {
  platform::Print("Update link receiver FPGA firmware of panel %d ...\n", panel);
  ReceiverStart start{};
  if (int result = StartReceiverRequest(panel, &start); result != kExitOk) {
    return result;
  }
  const ReceiverRow& row = *start.row;
  const uint32_t major = start.info.linkFpgaMajor;
  const char* name =
      PromptFileName(features, kReceiverFileKind,
                     fileName != nullptr ? fileName : ReceiverDefaultName(row, major), false, 0);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t fileVersion = 0;
  if (int result = CheckLinkReceiverFile(name, row, major, &fileVersion); result != kExitOk) {
    return result;
  }
  if (int result = CheckVersionRules(start.info, fileVersion); result != kExitOk) {
    return result;
  }
  if (!ConfirmVersion(RunningVersion(start.info), fileVersion, yes)) {
    return kExitCancelled;
  }
  bool written = false;
  const int result = WriteUnprotected(row, panel, major, name, verify, &written);
  return written ? NoticePowerCycle(uint32_t(panel), kNoModule, result) : result;
}

}  // namespace drux
