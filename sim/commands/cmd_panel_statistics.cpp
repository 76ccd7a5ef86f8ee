// Command 0x30: the statistics record of a panel (read, target 3, address 0, device = panel,
// 4 bytes: backlight cycles then backlight hours, 16 bits little-endian each). A panel that is
// not connected or lies beyond the channel count answers 0x85.
#include "sim/commands/commands.h"

namespace sim::internal {

uint8_t RunPanelStatistics(Machine& machine, CommandCall& call) {
  if (!call.read || call.target != 3 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  const MachineConfig& config = machine.config;
  int panel = call.device;
  if (uint32_t(panel) >= config.panelChannels || !config.panels[panel].connected) {
    return kErrorDeviceMissing;
  }
  uint8_t record[4];
  PutWord16(record, config.panels[panel].backlightCycles);
  PutWord16(record + 2, config.panels[panel].backlightHours);
  return TransferPayload(machine, call, record, sizeof record);
}

}  // namespace sim::internal
