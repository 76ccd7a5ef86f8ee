// What Info, Save and Update of the DRUX firmware check before they act: the running version,
// a firmware file, and the firmware copy in flash.
#include <cstring>

#include "controller/block_access.h"
#include "controller/controller_info.h"
#include "controller/status_text.h"
#include "firmware/drux_firmware.h"
#include "firmware/drux_firmware_layout.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "frontend/exit_codes.h"
#include "platform/platform.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr uint32_t kControllerTarget = 1;
constexpr uint32_t kControllerDevice = 1;
constexpr uint32_t kLargeBlockSize = 256;

bool UsesLargeBlocks(uint32_t command) {
  return command == 0xB8 || command == 0xE0;
}

MemoryArea FirmwareArea(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                        uint32_t size) {
  MemoryArea area{};
  area.command = uint16_t(command);
  area.target = uint16_t(target);
  area.device = uint16_t(device);
  area.start = start;
  area.size = size;
  area.largeBlocks = UsesLargeBlocks(command) ? 1 : 0;
  return area;
}

int ReadAreaHeader(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                   uint8_t* header) {
  uint8_t block[kLargeBlockSize];
  uint8_t errorByte = 0;
  int status = 0;
  if (UsesLargeBlocks(command)) {
    status =
        ReadArea(FirmwareArea(command, target, device, start, kLargeBlockSize), block, &errorByte);
    std::memcpy(header, block + kImageHeaderOffset, kImageHeaderSize);
  } else {
    status = ReadArea(
        FirmwareArea(command, target, device, start + kImageHeaderOffset, kImageHeaderSize), header,
        &errorByte);
  }
  if (status != 0) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return kExitOk;
}

}  // namespace

int ReadActiveDruxVersion(uint32_t* version) {
  ControllerVersion controller{};
  uint8_t errorByte = 0;
  const int status =
      ReadControllerVersion(&controller, kControllerTarget, kControllerDevice, &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't get DRUX firmware version: %s\n",
                         StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  const uint32_t major = controller.version >> 8;
  const uint32_t minor = controller.version & 0xFF;
  platform::Print("DRUX version: %d.%02d\n", int(major), int(minor));
  platform::Print("DRUX booted from: %s area\n", DruxStartedFromHighArea() ? "high" : "low");
  platform::Print("DRUX CRC state: %s\n", DruxCrcError() ? "error" : "OK");
  platform::Print("DRUX update counter: %lu\n", static_cast<unsigned long>(DruxUpdateCounter()));
  *version = major * 100 + minor;
  return kExitOk;
}

int CheckDruxFirmwareFile(const char* fileName, uint32_t fileId, uint32_t* version) {
  const DruxFirmwareLayout* layout = DruxFirmwareLayoutOfPc();
  if (IsXmlHeaderFileName(fileName, "fw")) {
    if (layout == nullptr) {
      platform::PrintError("ERROR: Can't check XML file: the PC type is not supported.\n");
      return kExitTypeMismatch;
    }
    return CheckXmlHeaderOfDevice(fileName, 0, long(layout->imageSize), fileId, '_', 0, "fw", 0,
                                  version);
  }
  if (layout == nullptr) {
    platform::PrintError("ERROR: Can't check file: the PC type is not supported.\n");
    return kExitTypeMismatch;
  }
  if (layout->idPrefix == nullptr) {
    platform::PrintError(
        "WARNING: Files without XML header are not checked for match with PC type.\n");
  }
  return CheckImageFile(ImageKind::DruxFirmware, fileName, long(layout->imageSize),
                        layout->idPrefix, version);
}

int CheckDruxFirmwareArea(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                          uint32_t size, const char* idPrefix, uint32_t* version,
                          uint16_t* checksum) {
  *checksum = 0;
  uint8_t bytes[kImageHeaderSize];
  if (int result = ReadAreaHeader(command, target, device, start, bytes); result != kExitOk) {
    return result;
  }
  const ImageHeader header = DecodeImageHeader(bytes);
  if (idPrefix != nullptr && !ImageHeaderHasId(header, idPrefix)) {
    platform::PrintError("ERROR: DRUX firmware not found.\n");
    return kExitInvalidData;
  }
  if (!IsImageHeaderValid(bytes)) {
    platform::PrintError("ERROR: DRUX firmware has invalid header CRC.\n");
    return kExitInvalidData;
  }
  if (!ReadImageVersion(header, version)) {
    platform::PrintError("ERROR: The DRUX firmware does not contain a valid version entry.\n");
    return kExitInvalidData;
  }
  platform::Print("DRUX ID: %.4s\n", header.id);
  platform::Print("DRUX version: %d.%02d\n", int(*version / 100), int(*version % 100));
  platform::Print("DRUX update counter: %lu\n", static_cast<unsigned long>(header.updateCounter));
  platform::Print("Check DRUX firmware: ");
  platform::Flush(platform::Stream::Out);
  return CheckAreaImage(AreaCheckKind::DruxFirmware, command, target, device, start, size, true,
                        checksum);
}

}  // namespace drux
