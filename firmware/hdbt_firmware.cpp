// HDBaseT firmware of a panel.
#include "firmware/hdbt_firmware.h"

#include "controller/command.h"
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "firmware/panel_module_fpga.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr uint32_t kHdbtPanels[] = {0xB261, 0xB25D};
constexpr const char* kDefaultName = "0042#0.fw";
constexpr const char* kUsage = "fw";
constexpr uint32_t kXmlDeviceId = 42;
constexpr long kImageSize = 0x210000;
constexpr const char* kImageId = "VRTP";
constexpr uint32_t kWriteCommand = 0xD8;
constexpr uint32_t kNoModule = 0xFFFFFFFF;
// Link FPGAs from 6.14 on need firmware 1.00 or higher; major and minor are tested apart, so a
// link FPGA 7.05 counts with the older ones.
constexpr uint32_t kNewLinkMajor = 6;
constexpr uint32_t kNewLinkMinor = 14;
constexpr uint32_t kFirstNewFirmware = 100;

bool CarriesHdbt(uint32_t versionId) {
  for (uint32_t id : kHdbtPanels) {
    if (id == versionId) {
      return true;
    }
  }
  return false;
}

int CheckPanel(int32_t panel, PanelInfo* info) {
  const int status = ReadPanelInfo(info, panel);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't get panel link FPGA version: %s\n", StatusText(status, 0));
    return kExitDruxFailed;
  }
  if (!CarriesHdbt(info->versionId)) {
    platform::PrintError("ERROR: HDBT firmware is not supported on this panel.\n");
    return kExitNotSupported;
  }
  return kExitOk;
}

int CheckCompatibility(const PanelInfo& info, uint32_t fileVersion) {
  const bool needsNew = info.linkFpgaMajor >= kNewLinkMajor && info.linkFpgaMinor >= kNewLinkMinor;
  if (needsNew && fileVersion < kFirstNewFirmware) {
    platform::PrintError("ERROR: Incompatible versions - file version 1.xx is required.\n");
    return kExitVersionConflict;
  }
  if (!needsNew && fileVersion >= kFirstNewFirmware) {
    platform::PrintError("ERROR: Incompatible versions - file version 0.xx is required.\n");
    return kExitVersionConflict;
  }
  return kExitOk;
}

}  // namespace

int ReadPanelModuleFpgaHeader(int32_t panel, uint32_t* version) {
  if (int result = SelectPanelModuleFunctions(panel); result != kExitOk) {
    return result;
  }
  uint8_t reply[kImageHeaderSize] = {};
  uint8_t errorByte = 0;
  const int status = ReadPanelModuleHeaderReply(kHdbtModuleDevice, reply, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't get panel module FPGA header: %s\n",
                         StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  const ImageHeader header = DecodeImageHeader(reply);
  if (!ReadImageVersion(header, version)) {
    platform::PrintError("ERROR: The FPGA firmware does not contain a valid version entry.\n");
    return kExitInvalidData;
  }
  platform::Print("FPGA ID: %.4s\n", header.id);
  platform::Print("FPGA version: %d.%02d\n", int(*version / 100), int(*version % 100));
  platform::Print("FPGA CRC state: %s\n", ModuleFpgaStateOf(header).crcError ? "error" : "OK");
  return kExitOk;
}

int CheckHdbtFile(const char* fileName, uint32_t versionId, uint32_t* version) {
  if (IsXmlHeaderFileName(fileName, kUsage)) {
    if (!CarriesHdbt(versionId)) {
      platform::PrintError(
          "ERROR: Can't check XML file: panel version ID '%04x' is not supported.\n",
          unsigned(versionId));
      return kExitTypeMismatch;
    }
    return CheckXmlHeader(fileName, 0, kImageSize, kXmlDeviceId, '#', 0, kUsage, 0, version);
  }
  if (!CarriesHdbt(versionId)) {
    platform::PrintError("ERROR: Can't check file: panel version ID '%04x' is not supported.\n",
                         unsigned(versionId));
    return kExitTypeMismatch;
  }
  return CheckImageFile(ImageKind::HdbtFirmware, fileName, kImageSize, kImageId, version);
}

int ShowHdbtFirmware(int32_t panel) {
  platform::Print("\n-- Link HDBT firmware of panel %d --\n\n", panel);
  PanelInfo info{};
  if (int result = CheckPanel(panel, &info); result != kExitOk) {
    return result;
  }
  uint32_t version = 0;
  return ReadPanelModuleFpgaHeader(panel, &version);
}

int UpdateHdbtFirmware(const FeatureSet& features, const char* fileName, int32_t panel,
                       uint8_t verify, uint8_t yes) {
  platform::Print("Update HDBT firmware of panel %d ...\n", panel);
  PanelInfo info{};
  if (int result = CheckPanel(panel, &info); result != kExitOk) {
    return result;
  }
  const char* name =
      PromptFileName(features, "FPGA", fileName != nullptr ? fileName : kDefaultName, false, 0);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t runningVersion = 0;
  if (int result = ReadPanelModuleFpgaHeader(panel, &runningVersion); result != kExitOk) {
    return result;
  }
  uint32_t fileVersion = 0;
  if (int result = CheckHdbtFile(name, info.versionId, &fileVersion); result != kExitOk) {
    return result;
  }
  if (int result = CheckCompatibility(info, fileVersion); result != kExitOk) {
    return result;
  }
  if (!ConfirmVersion(runningVersion, fileVersion, yes)) {
    return kExitCancelled;
  }
  if (verify != 0) {
    platform::Print("Verify of data is not supported - verify is skipped.\n");
  }
  const int result = UpdateAreaFromFile(kWriteCommand, 0, kHdbtModuleDevice, 0, name, 0, 1, 0);
  return NoticePowerCycle(uint32_t(panel), kNoModule, result);
}

}  // namespace drux
