// Update and Save of the link transmitter's FPGA image.
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/service_request.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "firmware/link_transmitter.h"
#include "firmware/link_transmitter_table.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr uint32_t kFirstReleasedVersion = 100;

int NotSupported(const char* fpgaId) {
  platform::PrintError("ERROR: FPGA ID '%s' is not supported.\n", fpgaId);
  return kExitTypeMismatch;
}

// A KVN4 transmitter takes only images of its own major version.
int CheckMajorVersion(const char* fpgaId, uint32_t running, uint32_t file) {
  const LinkTransmitterEntry* entry = FindLinkTransmitterEntry(fpgaId);
  if (entry != nullptr && entry->kvn4 && file / 100 != running / 100) {
    platform::PrintError("ERROR: Incompatible versions - file version %d.xx is required.\n",
                         int(running / 100));
    return kExitVersionConflict;
  }
  return kExitOk;
}

int WriteImage(const char* fpgaId, const char* fileName, uint32_t counter, uint8_t verify) {
  const LinkTransmitterEntry* entry = LinkTransmitterEntryOfPc(fpgaId);
  if (entry == nullptr) {
    return NotSupported(fpgaId);
  }
  SetHeaderPatchValue(NextUpdateCounter(counter));
  const int result = UpdateAreaFromFile(entry->writeCommand, kLinkTransmitterTarget,
                                        kLinkTransmitterDevice, 0, fileName, verify, 1, 0);
  SetHeaderPatchValue(0);
  return NoticePowerCycle(kRebootTargetPc, uint32_t(kNoModule), result);
}

}  // namespace

int UpdateLinkTransmitter(const FeatureSet& features, const char* fileName, uint8_t verify,
                          uint8_t yes) {
  LinkTransmitterStart start{};
  if (int result = StartLinkTransmitterRequest(features, LinkImage::Fpga,
                                               "Update link transmitter FPGA firmware ...\n",
                                               fileName, false, yes, &start);
      result != kExitOk) {
    return result;
  }
  const LinkTransmitterHeader& running = start.running;
  uint32_t fileVersion = 0;
  if (int result =
          CheckLinkTransmitterFile(start.name, running.fpgaId, start.fileId, false, &fileVersion);
      result != kExitOk) {
    return result;
  }
  if (int result = CheckMajorVersion(running.fpgaId, running.version, fileVersion);
      result != kExitOk) {
    return result;
  }
  if (!ConfirmVersion(running.version, fileVersion, yes)) {
    return kExitCancelled;
  }
  return WriteImage(running.fpgaId, start.name, running.counter, verify);
}

int SaveLinkTransmitter(const FeatureSet& features, const char* fileName, uint8_t verify,
                        uint8_t yes) {
  LinkTransmitterStart request{};
  if (int result = StartLinkTransmitterRequest(features, LinkImage::Fpga,
                                               "Save link transmitter FPGA firmware ...\n",
                                               fileName, true, yes, &request);
      result != kExitOk) {
    return result;
  }
  const LinkTransmitterEntry* entry = LinkTransmitterEntryOfPc(request.running.fpgaId);
  if (entry == nullptr) {
    return NotSupported(request.running.fpgaId);
  }
  // Released KVN4 images (1.00 on) carry no whole-image CRC of their own: the controller's CRC
  // state stands for it. Earlier ones, and every other ID, have the copy's CRC checked.
  const bool checkCrc = !entry->kvn4 || request.running.version < kFirstReleasedVersion;
  if (!checkCrc && LinkFpgaCrcError()) {
    platform::PrintError("ERROR: Invalid CRC.\n");
    return kExitInvalidData;
  }
  const uint32_t start = ActiveLinkTransmitterStart(*entry);
  uint16_t checksum = 0;
  if (int result =
          CheckAreaImage(AreaCheckKind::Fpga, entry->readCommand, kLinkTransmitterTarget,
                         kLinkTransmitterDevice, start, entry->imageSize, checkCrc, &checksum);
      result != kExitOk) {
    return result;
  }
  if (!IsXmlHeaderFileName(request.name, "fp")) {
    platform::PrintError("ERROR: Files without XML header are not supported. Save as .fp file.\n");
    return kExitTypeMismatch;
  }
  const char* material = ReadModuleModelNumber(kNoPanel, int32_t(kLinkTransmitterModule));
  if (material[0] == '\0') {
    platform::PrintError(
        "WARNING: Model number can't be read: the saved file will not pass the update check.\n");
  }
  const char* header =
      BuildXmlHeader(request.fileId, kImageFunctionNormal, 0, "fp", request.running.version,
                     entry->imageSize, checksum, material);
  return SaveAreaToFile(entry->readCommand, kLinkTransmitterTarget, kLinkTransmitterDevice, start,
                        request.name, entry->imageSize, verify, header);
}

}  // namespace drux
