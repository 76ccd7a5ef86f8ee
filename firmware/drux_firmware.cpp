// Info, Save and Update of the controller's own firmware.
#include "firmware/drux_firmware.h"

#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "firmware/drux_firmware_layout.h"
#include "firmware/image_header.h"
#include "firmware/pc_identity.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr char kFunction = '_';
constexpr uint16_t kVariant = 0;
constexpr const char* kUsage = "fw";
constexpr const char* kFileKind = "firmware";

struct FileId {
  uint32_t id;
  uint32_t deviceId;
  bool parentInUse;
};

// The parent device ID names the files when it is set, else the device ID.
FileId TakeFileId() {
  FileId fileId{};
  const uint32_t parentId = ReadPcParentDeviceId();
  fileId.deviceId = ReadPcDeviceId();
  if (IsUsableParentId(parentId)) {
    platform::Print("Parent device ID %u is used\n", unsigned(parentId));
    fileId.id = parentId;
    fileId.parentInUse = true;
  } else {
    fileId.id = fileId.deviceId;
  }
  return fileId;
}

const char* DefaultFileName(uint32_t id) {
  return DruxFirmwareLayoutOfPc() == nullptr ? nullptr : ImageFileName(id, kFunction, kUsage);
}

const char* ChooseUpdateFile(const FeatureSet& features, const char* fileName, FileId* fileId) {
  if (fileName != nullptr) {
    return PromptFileName(features, kFileKind, fileName, false, 0);
  }
  const char* chosen = PromptFileName(features, kFileKind, DefaultFileName(fileId->id), false, 0);
  if (chosen == nullptr && fileId->parentInUse) {
    fileId->id = fileId->deviceId;
    platform::Print("Trying again with file based on device ID %u ...\n", unsigned(fileId->id));
    chosen = PromptFileName(features, kFileKind, DefaultFileName(fileId->id), false, 0);
  }
  return chosen;
}

int WriteFirmware(const char* fileName, uint8_t verify) {
  const DruxFirmwareLayout* layout = DruxFirmwareLayoutOfPc();
  if (layout == nullptr) {
    platform::PrintError("ERROR: DRUX firmware is not supported for this PC type.\n");
    return kExitNotSupported;
  }
  return UpdateAreaFromFile(layout->updateCommand, kDruxFirmwareTarget, kDruxFirmwareDevice, 0,
                            fileName, verify, 1, 0);
}

}  // namespace

int ShowDruxFirmware() {
  platform::Print("\n-- DRUX firmware --\n\n");
  uint32_t version = 0;
  return ReadActiveDruxVersion(&version);
}

int SaveDruxFirmware(const FeatureSet& features, const char* fileName, uint8_t verify,
                     uint8_t yes) {
  platform::Print("Save DRUX firmware ...\n");
  const FileId fileId = TakeFileId();
  const char* name = PromptFileName(
      features, kFileKind, fileName != nullptr ? fileName : DefaultFileName(fileId.id), true, yes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  const DruxFirmwareLayout* layout = DruxFirmwareLayoutOfPc();
  if (layout == nullptr) {
    platform::PrintError("ERROR: DRUX firmware is not supported for this PC type.\n");
    return kExitNotSupported;
  }
  const uint32_t start = ActiveDruxFirmwareStart(*layout);
  uint32_t version = 0;
  uint16_t checksum = 0;
  if (int result =
          CheckDruxFirmwareArea(layout->flashReadCommand, kDruxFirmwareTarget, kDruxFirmwareDevice,
                                start, layout->imageSize, layout->idPrefix, &version, &checksum);
      result != kExitOk) {
    return result;
  }
  if (!IsXmlHeaderFileName(name, kUsage)) {
    platform::PrintError("ERROR: Files without XML header are not supported. Save as .fw file.\n");
    return kExitTypeMismatch;
  }
  if (fileId.id == 0) {
    platform::PrintError(
        "WARNING: Device ID can't be read: the saved file will not pass the update check.\n");
  }
  const char* header = BuildXmlHeader(fileId.id, kFunction, kVariant, kUsage, version,
                                      layout->imageSize, checksum, ReadPcModelNumber());
  return SaveAreaToFile(layout->flashReadCommand, kDruxFirmwareTarget, kDruxFirmwareDevice, start,
                        name, layout->imageSize, verify, header);
}

int UpdateDruxFirmware(const FeatureSet& features, const char* fileName, uint8_t verify,
                       uint8_t yes) {
  platform::Print("Update DRUX firmware ...\n");
  FileId fileId = TakeFileId();
  const char* name = ChooseUpdateFile(features, fileName, &fileId);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t activeVersion = 0;
  if (int result = ReadActiveDruxVersion(&activeVersion); result != kExitOk) {
    return result;
  }
  uint32_t fileVersion = 0;
  if (int result = CheckDruxFirmwareFile(name, fileId.id, &fileVersion); result != kExitOk) {
    return result;
  }
  if (!ConfirmVersion(activeVersion, fileVersion, yes)) {
    return kExitCancelled;
  }
  SetHeaderPatchValue(NextUpdateCounter(DruxUpdateCounter()));
  const int result = WriteFirmware(name, verify);
  SetHeaderPatchValue(0);
  constexpr uint32_t kNoModule = 0xFFFFFFFF;
  return NoticePowerCycle(kRebootTargetPc, kNoModule, result);
}

}  // namespace drux
