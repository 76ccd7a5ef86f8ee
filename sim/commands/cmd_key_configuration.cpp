// Command 0x20, target 1, device 2: the key configuration area, 16-byte blocks, block index =
// address, read and write. Other device numbers of target 1 hold nothing.
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr uint32_t kBlockSize = 16;
constexpr uint8_t kKeyConfigurationDevice = 2;

}  // namespace

uint8_t RunKeyConfiguration(Machine& machine, CommandCall& call) {
  if (call.device != kKeyConfigurationDevice) {
    return kErrorInvalidParameter;
  }
  uint64_t offset = uint64_t(call.address) * kBlockSize;
  if (offset + kBlockSize > AreaSizeOf(machine.config, Area::KeyConfiguration)) {
    return kErrorInvalidParameter;
  }
  return TransferAreaBlock(machine, call, Area::KeyConfiguration, 0, uint32_t(offset), kBlockSize);
}

}  // namespace sim::internal
