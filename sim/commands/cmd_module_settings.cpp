// Commands 0x63 (PC modules) and 0x73 (modules of the panel selected with 0x7F): the
// factory-settings EEPROMs, read and write, target 0, in 16-byte blocks. The device number
// picks one EEPROM of 2 KiB; the address is the block index within it.
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr uint32_t kBlockSize = 16;

uint8_t RunSettingsBlock(Machine& machine, CommandCall& call, Area area, int panel) {
  if (call.target != 0) {
    return kErrorInvalidParameter;
  }
  const uint32_t offset = uint32_t(call.address) * kBlockSize;
  if (call.device >= kSettingsDevices || offset + kBlockSize > kSettingsDeviceSize) {
    return kErrorInvalidParameter;
  }
  return TransferAreaBlock(machine, call, area, panel, call.device * kSettingsDeviceSize + offset,
                           kBlockSize);
}

}  // namespace

uint8_t RunModuleSettings(Machine& machine, CommandCall& call) {
  return RunSettingsBlock(machine, call, Area::ModuleSettings, 0);
}

uint8_t RunPanelModuleSettings(Machine& machine, CommandCall& call) {
  // Only a panel that is still reachable for module functions answers.
  const ModuleConfig* ignored = nullptr;
  const uint8_t error = SelectedPanelModule(machine, 0, &ignored);
  if (error != kErrorNone) {
    return error;
  }
  return RunSettingsBlock(machine, call, Area::PanelModuleSettings, machine.modulePanel);
}

}  // namespace sim::internal
