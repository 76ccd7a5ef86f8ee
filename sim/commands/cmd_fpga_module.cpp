// Commands of the flash-backed FPGA modules (fpga_module.h):
//   0x6A        FPGA header of a PC module: the link transmitter, device 3
//   0x7A        FPGA header of module D of the panel selected with 0x7F
//   0xC0-0xC7   flash of module D, 16-byte blocks        0xE8-0xEF  the same, 256-byte blocks
//   0xD0-0xD7   running image of module D, 16-byte blocks (read)
//   0xD8-0xDF   update image of module D, 256-byte blocks
// The transmitter's flash and update image are 0xA0/0xE0 and 0xB0/0xB8 with device 3
// (cmd_flash.cpp, cmd_firmware_update.cpp). All use target 0.
#include "sim/commands/commands.h"
#include "sim/devices/fpga_module.h"

namespace sim::internal {

namespace {

using BlockTransfer = uint8_t (*)(Machine&, CommandCall&, const FpgaUnit&, uint32_t);

// Module D of the panel selected with 0x7F: 0x83 without a selection, 0x85 when the panel
// went away or the device has no FPGA.
uint8_t SelectedPanelUnit(Machine& machine, uint8_t device, FpgaUnit* unit) {
  const ModuleConfig* module = nullptr;
  const uint8_t error = SelectedPanelModule(machine, device, &module);
  if (error != kErrorNone) {
    return error;
  }
  return PanelFpgaUnit(machine, machine.modulePanel, device, unit) ? kErrorNone
                                                                   : kErrorDeviceMissing;
}

uint8_t RunPanelBlocks(Machine& machine, CommandCall& call, BlockTransfer transfer,
                       uint32_t blockSize) {
  if (call.target != 0) {
    return kErrorInvalidParameter;
  }
  FpgaUnit unit;
  const uint8_t error = SelectedPanelUnit(machine, call.device, &unit);
  return error != kErrorNone ? error : transfer(machine, call, unit, blockSize);
}

}  // namespace

uint8_t RunTransmitterHeader(Machine& machine, CommandCall& call) {
  if (call.device != kTransmitterDevice) {
    return kErrorInvalidParameter;
  }
  FpgaUnit unit;
  if (!TransmitterUnit(machine, &unit)) {
    return kErrorDeviceMissing;
  }
  return FpgaHeaderReply(machine, call, unit);
}

uint8_t RunPanelFpgaHeader(Machine& machine, CommandCall& call) {
  FpgaUnit unit;
  const uint8_t error = SelectedPanelUnit(machine, call.device, &unit);
  return error != kErrorNone ? error : FpgaHeaderReply(machine, call, unit);
}

uint8_t RunPanelFpgaFlashSmall(Machine& machine, CommandCall& call) {
  return RunPanelBlocks(machine, call, FpgaFlashBlock, 16);
}

uint8_t RunPanelFpgaFlashLarge(Machine& machine, CommandCall& call) {
  return RunPanelBlocks(machine, call, FpgaFlashBlock, 256);
}

uint8_t RunPanelFpgaRunning(Machine& machine, CommandCall& call) {
  return RunPanelBlocks(machine, call, FpgaRunningBlock, 16);
}

uint8_t RunPanelFpgaUpdate(Machine& machine, CommandCall& call) {
  return RunPanelBlocks(machine, call, FpgaUpdateBlock, 256);
}

}  // namespace sim::internal
