// Commands 0xB0-0xB3 (16-byte blocks) and 0xB8-0xBB (256-byte blocks), target 0, device 0:
// the update area of the controller's own firmware, which is the flash copy that does not run;
// with device 3 the update image of the link transmitter (fpga_module.h).
// Reads give the update area back for the verify. Block index = address plus the code's
// extension above bit 13. The copies switch at the next power cycle (firmware_image.cpp).
#include "sim/commands/commands.h"
#include "sim/devices/firmware_image.h"
#include "sim/devices/fpga_module.h"

namespace sim::internal {
namespace {

uint8_t RunFirmwareUpdate(Machine& machine, CommandCall& call, uint32_t blockSize) {
  FpgaUnit transmitter;
  if (call.device == kTransmitterDevice) {
    return TransmitterUnit(machine, &transmitter)
               ? FpgaUpdateBlock(machine, call, transmitter, blockSize)
               : kErrorDeviceMissing;
  }
  FirmwareLayout layout;
  if (call.target != 0 || call.device != 0 || !FirmwareLayoutOf(machine.config.pcType, &layout)) {
    return kErrorInvalidParameter;
  }
  const uint64_t offset = ((uint64_t(call.extension) << 14) | call.address) * blockSize;
  if (offset + blockSize > layout.imageSize) {
    return kErrorInvalidParameter;
  }
  const uint32_t start = IdleFirmwareStart(machine.config, layout);
  return TransferAreaBlock(machine, call, Area::Flash, 0, start + uint32_t(offset), blockSize);
}

}  // namespace

uint8_t RunDruxUpdateSmall(Machine& machine, CommandCall& call) {
  return RunFirmwareUpdate(machine, call, 16);
}

uint8_t RunDruxUpdateLarge(Machine& machine, CommandCall& call) {
  return RunFirmwareUpdate(machine, call, 256);
}

}  // namespace sim::internal
