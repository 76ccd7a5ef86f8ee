// The check of an image in a device's flash before it is saved: CRC over the whole image and
// the byte sum that becomes the XML header's Chk.
#include "controller/block_access.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "firmware/image_checks.h"
#include "platform/platform.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

constexpr uint16_t kCrcStart = 0xFFFF;
constexpr uint32_t kStep = 256;
constexpr uint32_t kLargeBlockCommands[] = {0xB8, 0xD8, 0xE0, 0xE8};
// A panel's FPGA flash beyond the 14-bit block addresses is reached through index registers.
constexpr uint32_t kPanelDataCommand = 0x20;
constexpr uint32_t kPanelFlashTarget = 3;
constexpr uint64_t kDirectAddressLimit = 0x40000;

bool UsesLargeBlocks(uint32_t command) {
  for (uint32_t code : kLargeBlockCommands) {
    if (code == command) {
      return true;
    }
  }
  return false;
}

void PrintReadFailure(AreaCheckKind kind, int status, uint8_t errorByte) {
  if (kind == AreaCheckKind::Converter) {
    platform::PrintError("ERROR: Can't read data: %s.\n", StatusText(status, errorByte));
  } else {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
  }
}

}  // namespace

int CheckAreaImage(AreaCheckKind kind, uint32_t command, uint32_t target, uint32_t device,
                   uint32_t start, uint32_t size, bool checkCrc, uint16_t* checksum) {
  if (kind != AreaCheckKind::DruxFirmware) {
    platform::Print("Check %ld bytes FPGA data: ", long(size));
    platform::Flush(platform::Stream::Out);
  }
  MemoryArea area{};
  area.command = uint16_t(command);
  area.target = uint16_t(target);
  area.device = uint16_t(device);
  area.size = kStep;
  area.largeBlocks = UsesLargeBlocks(command) ? 1 : 0;
  area.indirect = command == kPanelDataCommand && target == kPanelFlashTarget &&
                          uint64_t(start) + size > kDirectAddressLimit
                      ? 1
                      : 0;
  uint8_t data[kStep];
  uint16_t crc = kCrcStart;
  uint16_t sum = 0;
  for (uint32_t position = 0; position < size; position += kStep) {
    ShowProgress(int32_t(position), int32_t(size));
    area.start = start + position;
    uint8_t errorByte = 0;
    if (int status = ReadArea(area, data, &errorByte); status != 0) {
      PrintReadFailure(kind, status, errorByte);
      return kExitDruxFailed;
    }
    if (checkCrc) {
      crc = Crc16(crc, data, sizeof data);
    }
    for (uint8_t byte : data) {
      sum = uint16_t(sum + byte);
    }
  }
  ShowProgress(int32_t(size), int32_t(size));
  if (checkCrc && crc != 0) {
    platform::PrintError("ERROR: Invalid CRC.\n");
    return kExitInvalidData;
  }
  *checksum = uint16_t(-sum);
  return kExitOk;
}

}  // namespace drux
