// Command 0x20, target 4 on a connected panel (device = panel, 16-byte blocks, block index =
// address, read and write): the panel's own factory settings at the start of its display area.
// A panel with modules keeps its display block and an extended record in 2 KiB, any other panel
// the display block alone; blocks beyond answer 0x83.
#include "sim/commands/commands.h"
#include "sim/devices/panel_settings.h"

namespace sim::internal {

namespace {

constexpr uint32_t kBlockSize = 16;

}  // namespace

uint8_t RunPanelSettings(Machine& machine, CommandCall& call) {
  const int panel = call.device;
  const uint64_t offset = uint64_t(call.address) * kBlockSize;
  if (offset + kBlockSize > PanelSettingsBytes(machine.config.panels[panel])) {
    return kErrorInvalidParameter;
  }
  return TransferAreaBlock(machine, call, Area::PanelDisplay, panel, uint32_t(offset), kBlockSize);
}

}  // namespace sim::internal
