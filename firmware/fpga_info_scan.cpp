// Finds the info trailer of an old-format FPGA image in a device area, block by block.
#include "controller/block_access.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "firmware/fpga_info_trailer.h"
#include "firmware/image_checks.h"
#include "platform/platform.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

constexpr uint32_t kModuleDataCommand = 0x20;

}  // namespace

int ScanFpgaInfo(uint32_t target, uint32_t device, uint32_t start, uint32_t size,
                 uint32_t* dataSize, char* type, uint32_t* version, uint16_t* checksum) {
  platform::Print("Check %ld bytes FPGA data: ", long(size));
  platform::Flush(platform::Stream::Out);
  if (checksum != nullptr) {
    *checksum = 0;
  }
  MemoryArea area{};
  area.command = uint16_t(kModuleDataCommand);
  area.target = uint16_t(target);
  area.device = uint16_t(device);
  area.size = kFpgaInfoTrailerSize;
  uint16_t sum = 0;
  uint8_t sum8 = 0;
  bool found = false;
  uint32_t offset = 0;
  for (; offset < size; offset += kFpgaInfoTrailerSize) {
    ShowProgress(int32_t(offset), int32_t(size));
    uint8_t block[kFpgaInfoTrailerSize];
    area.start = start + offset;
    uint8_t errorByte = 0;
    if (int status = ReadArea(area, block, &errorByte); status != 0) {
      platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
      return kExitDruxFailed;
    }
    for (uint8_t byte : block) {
      sum = uint16_t(sum + byte);
      sum8 = uint8_t(sum8 + byte);
    }
    if (IsFpgaInfoTrailer(block)) {
      if (sum8 != 0) {
        platform::PrintError("ERROR: Invalid checksum.\n");
        return kExitInvalidData;
      }
      *dataSize = offset + kFpgaInfoTrailerSize;
      FpgaInfoTrailerType(block, type);
      *version = FpgaInfoTrailerVersion(block);
      found = true;
      break;
    }
  }
  ShowProgress(int32_t(offset), int32_t(size));
  if (offset < size) {
    // The progress line ends without "Done" when the trailer stops the scan early.
    platform::Print("\n");
  }
  if (!found) {
    platform::PrintError("ERROR: FPGA info not found (old firmware).\n");
    return kExitInvalidData;
  }
  if (checksum != nullptr) {
    *checksum = uint16_t(-sum);
  }
  platform::Print("File type: %s\n", type);
  platform::Print("File version: %d.%02d\n", int(*version / 100), int(*version % 100));
  platform::Print("FPGA data size: %ld bytes\n", long(*dataSize));
  return kExitOk;
}

}  // namespace drux
