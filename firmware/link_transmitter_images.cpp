// The link transmitter's bootloader (Save, Update) and its complete flash image (Update): raw
// flash from its start, KVN4 transmitters only, no version check.
#include "controller/exit_codes.h"
#include "controller/service_request.h"
#include "firmware/image_header.h"
#include "firmware/link_transmitter.h"
#include "firmware/link_transmitter_table.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

bool IsKvn4(const char* fpgaId) {
  const LinkTransmitterEntry* entry = FindLinkTransmitterEntry(fpgaId);
  return entry != nullptr && entry->kvn4;
}

int NotSupported(const char* fpgaId) {
  platform::PrintError("ERROR: FPGA ID '%s' is not supported.\n", fpgaId);
  return kExitTypeMismatch;
}

// A bootloader file larger than the bootloader's area would overwrite the FPGA copy behind it.
int CheckBootloaderSize(const char* fileName) {
  uint32_t size = 0;
  if (int result = TakeUpdateDataSize(fileName, &size); result != kExitOk) {
    return result;
  }
  if (size > kLinkBootloaderSize) {
    platform::PrintError("ERROR: Invalid file size: > %ld bytes.\n", long(kLinkBootloaderSize));
    return kExitFileGeneral;
  }
  return kExitOk;
}

// The XML check bounds the header's Len; the engine writes every byte behind the header, so
// the data it would write is bounded too: nothing may reach past the flash.
int CheckCompleteImageSize(const char* fileName) {
  uint32_t size = 0;
  if (int result = TakeUpdateDataSize(fileName, &size); result != kExitOk) {
    return result;
  }
  if (size > kLinkFlashSize) {
    platform::PrintError("ERROR: Invalid data size: > %ld bytes.\n", long(kLinkFlashSize));
    return kExitInvalidData;
  }
  return kExitOk;
}

int WriteFlashImage(const char* fileName, uint8_t verify) {
  const int result = UpdateAreaFromFile(kLinkFlashCommand, kLinkTransmitterTarget,
                                        kLinkTransmitterDevice, 0, fileName, verify, 1, 0);
  return NoticePowerCycle(kRebootTargetPc, uint32_t(kNoModule), result);
}

}  // namespace

int UpdateLinkBootloader(const FeatureSet& features, const char* fileName, uint8_t verify,
                         uint8_t yes) {
  LinkTransmitterStart start{};
  if (int result = StartLinkTransmitterRequest(features, LinkImage::Bootloader,
                                               "Update link transmitter bootloader ...\n", fileName,
                                               false, yes, &start);
      result != kExitOk) {
    return result;
  }
  platform::Print("WARNING: No check can't be performed with bootloader files.\n");
  platform::Print("         Ensure that the correct file is used for update.\n");
  platform::Print("         Do not turn off the PC during the update!\n");
  if (!AskYesNo("Continue (y/n): ", yes)) {
    return kExitCancelled;
  }
  if (!IsKvn4(start.running.fpgaId)) {
    return NotSupported(start.running.fpgaId);
  }
  if (int result = CheckBootloaderSize(start.name); result != kExitOk) {
    return result;
  }
  return WriteFlashImage(start.name, verify);
}

int SaveLinkBootloader(const FeatureSet& features, const char* fileName, uint8_t verify,
                       uint8_t yes) {
  LinkTransmitterStart start{};
  if (int result = StartLinkTransmitterRequest(features, LinkImage::Bootloader,
                                               "Save link transmitter bootloader ...\n", fileName,
                                               true, yes, &start);
      result != kExitOk) {
    return result;
  }
  platform::Print("INFO: File is saved without XML header.\n");
  if (!IsKvn4(start.running.fpgaId)) {
    return NotSupported(start.running.fpgaId);
  }
  return SaveAreaToFile(kLinkFlashCommand, kLinkTransmitterTarget, kLinkTransmitterDevice, 0,
                        start.name, kLinkBootloaderSize, verify, nullptr);
}

int UpdateLinkCompleteImage(const FeatureSet& features, const char* fileName, uint8_t verify,
                            uint8_t yes) {
  platform::Print("Update link transmitter FPGA (complete) ...\n");
  // The complete image belongs to this very module: the parent ID does not name it.
  const uint32_t deviceId = ReadLinkTransmitterDeviceId();
  if (deviceId == 0) {
    platform::PrintError("ERROR: No link transmitter available.\n");
    return kExitNoDevice;
  }
  const char* name = PromptFileName(
      features, "FPGA I",
      fileName != nullptr ? fileName : ImageFileName(deviceId, kImageFunctionComplete, "fp"), false,
      0);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  LinkTransmitterHeader running{};
  if (int result = ReadLinkTransmitterHeader(&running); result != kExitOk) {
    return result;
  }
  uint32_t fileVersion = 0;
  if (int result = CheckLinkTransmitterFile(name, running.fpgaId, deviceId, true, &fileVersion);
      result != kExitOk) {
    return result;
  }
  if (int result = CheckCompleteImageSize(name); result != kExitOk) {
    return result;
  }
  platform::Print("WARNING: Do not turn off the PC during the update!\n");
  if (!AskYesNo("Continue (y/n): ", yes)) {
    return kExitCancelled;
  }
  if (!IsKvn4(running.fpgaId)) {
    return NotSupported(running.fpgaId);
  }
  return WriteFlashImage(name, verify);
}

}  // namespace drux
