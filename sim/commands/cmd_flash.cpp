// Commands 0xA0-0xAF (16-byte blocks) and 0xE0-0xE3 (256-byte blocks): the controller flash
// (device 0) and the link transmitter flash (device 3), target 0, read and write. The block
// index is the address plus the code's extension above bit 13.
#include "sim/commands/commands.h"
#include "sim/devices/fpga_module.h"

namespace sim::internal {

namespace {

uint8_t RunFlash(Machine& machine, CommandCall& call, uint32_t blockSize) {
  if (call.target != 0) {
    return kErrorInvalidParameter;
  }
  Area area;
  FpgaUnit transmitter;
  if (call.device == kTransmitterDevice && TransmitterUnit(machine, &transmitter)) {
    // Writes into the idle copy count as an update of the transmitter.
    return FpgaFlashBlock(machine, call, transmitter, blockSize);
  }
  if (call.device == 0) {
    area = Area::Flash;
  } else if (call.device == 3) {
    area = Area::LinkFlash;
  } else {
    return kErrorInvalidParameter;
  }
  uint32_t index = (uint32_t(call.extension) << 14) | call.address;
  uint64_t offset = uint64_t(index) * blockSize;
  if (offset + blockSize > AreaSizeOf(machine.config, area)) {
    return kErrorInvalidParameter;
  }
  return TransferAreaBlock(machine, call, area, 0, uint32_t(offset), blockSize);
}

}  // namespace

uint8_t RunFlashSmallBlocks(Machine& machine, CommandCall& call) {
  return RunFlash(machine, call, 16);
}

uint8_t RunFlashLargeBlocks(Machine& machine, CommandCall& call) {
  return RunFlash(machine, call, 256);
}

}  // namespace sim::internal
