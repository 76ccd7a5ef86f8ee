// How a transfer addresses the controller: the area of the whole transfer and the reads of one
// chunk, rounded up to whole blocks.
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"

namespace drux::transfer {

namespace {

constexpr uint32_t kSmallBlock = 16;
constexpr uint32_t kLargeBlock = 256;

// The panel FPGA flash beyond the 14-bit block addresses is reached through index registers.
constexpr uint32_t kPanelDataCommand = 0x20;
constexpr uint32_t kPanelFlashTarget = 3;
// Compared as a signed size: a size with the top bit set counts as negative and stays direct.
constexpr int32_t kDirectAddressLimit = 0x40000;

constexpr uint32_t kLargeBlockCommands[] = {0xB8, 0xD8, 0xE0, 0xE8};

bool UsesLargeBlocks(uint32_t command) {
  for (uint32_t code : kLargeBlockCommands) {
    if (code == command) {
      return true;
    }
  }
  return false;
}

}  // namespace

MemoryArea TransferArea(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                        uint32_t totalSize) {
  MemoryArea area{};
  area.command = uint16_t(command);
  area.target = uint16_t(target);
  area.device = uint16_t(device);
  area.start = start;
  const bool beyondDirectAddresses = command == kPanelDataCommand && target == kPanelFlashTarget &&
                                     int32_t(totalSize) > kDirectAddressLimit;
  area.indirect = beyondDirectAddresses ? 1 : 0;
  area.largeBlocks = UsesLargeBlocks(command) ? 1 : 0;
  return area;
}

uint32_t BlockSize(const MemoryArea& area) {
  return area.largeBlocks != 0 ? kLargeBlock : kSmallBlock;
}

uint32_t RoundUp(uint32_t value, uint32_t multiple) {
  const uint32_t rest = value % multiple;
  return rest == 0 ? value : value + (multiple - rest);
}

int ReadDeviceChunk(const MemoryArea& area, uint32_t offset, uint32_t length) {
  MemoryArea chunk = area;
  chunk.start = area.start + offset;
  chunk.size = RoundUp(length, BlockSize(area));
  uint8_t errorByte = 0;
  const int status = ReadArea(chunk, DeviceBuffer(), &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return kExitOk;
}

}  // namespace drux::transfer
