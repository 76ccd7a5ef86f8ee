// Command 0x67: the system data store, target 0, device 0, read and write in 16-byte blocks.
// The address is the block index: block 0 holds the information block (data length), the
// data follows from block 1. The store keeps whatever is written, like the flash areas.
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr uint32_t kBlockSize = 16;

}  // namespace

uint8_t RunSystemData(Machine& machine, CommandCall& call) {
  if (call.target != 0 || call.device != 0) {
    return kErrorInvalidParameter;
  }
  const uint32_t offset = uint32_t(call.address) * kBlockSize;
  if (offset + kBlockSize > AreaSizeOf(machine.config, Area::SystemData)) {
    return kErrorInvalidParameter;
  }
  return TransferAreaBlock(machine, call, Area::SystemData, 0, offset, kBlockSize);
}

}  // namespace sim::internal
