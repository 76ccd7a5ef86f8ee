// Command 0x20 on a panel (device = panel, 16-byte blocks, read and write); target 1 is the
// key configuration (cmd_key_configuration.cpp), target 4 the panel's factory settings
// (cmd_panel_settings.cpp):
//   target 3: the panel's FPGA flash (4 MiB). Every address is the block of that index but two:
//             the block index register 0x3FF1 (4 bytes, little-endian) selects the block that
//             address 0x3FF2 reads or writes (no auto-increment); blocks 0x3FF1 and 0x3FF2 are
//             reached only that way. While the panel's write protection is set (command 0x22),
//             a write of a flash block fails with 0x85.
// A panel that is not connected (or beyond the channel count) answers 0x85.
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr uint32_t kBlockSize = 16;
constexpr uint16_t kIndexRegister = 0x3FF1;
constexpr uint16_t kIndirectData = 0x3FF2;

uint8_t RunIndexRegister(Machine& machine, CommandCall& call, int panel) {
  uint8_t bytes[4];
  uint32_t& index = machine.panelIndirectIndex[panel];
  for (int i = 0; i < 4; ++i) {
    bytes[i] = uint8_t(index >> (8 * i));
  }
  uint8_t error = TransferPayload(machine, call, bytes, sizeof bytes);
  if (!call.read) {
    index = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
            uint32_t(bytes[3]) << 24;
  }
  return error;
}

uint8_t RunBlock(Machine& machine, CommandCall& call, Area area, int panel, uint32_t index) {
  if (area == Area::PanelFlash && !call.read && machine.config.panels[panel].flashProtected) {
    return kErrorDeviceMissing;
  }
  uint64_t offset = uint64_t(index) * kBlockSize;
  if (offset + kBlockSize > AreaSizeOf(machine.config, area)) {
    return kErrorInvalidParameter;
  }
  return TransferAreaBlock(machine, call, area, panel, uint32_t(offset), kBlockSize);
}

}  // namespace

uint8_t RunPanelData(Machine& machine, CommandCall& call) {
  if (call.target == 1) {
    return RunKeyConfiguration(machine, call);
  }
  if (call.target != 3 && call.target != 4) {
    return kErrorInvalidParameter;
  }
  int panel = call.device;
  if (uint32_t(panel) >= machine.config.panelChannels || !machine.config.panels[panel].connected) {
    return kErrorDeviceMissing;
  }
  if (call.target == 4) {
    return RunPanelSettings(machine, call);
  }
  if (call.address == kIndexRegister) {
    return RunIndexRegister(machine, call, panel);
  }
  if (call.address == kIndirectData) {
    return RunBlock(machine, call, Area::PanelFlash, panel, machine.panelIndirectIndex[panel]);
  }
  return RunBlock(machine, call, Area::PanelFlash, panel, call.address);
}

}  // namespace sim::internal
