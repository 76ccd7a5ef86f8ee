// Command 0x7F: selects the panel whose modules later module commands address (write, target 0,
// address 0, device = panel, no payload). A panel that is not connected, lies beyond the
// channel count or has no module functions answers 0x85.
#include "sim/commands.h"

namespace sim::internal {

uint8_t RunSelectPanelForModules(Machine& machine, CommandCall& call) {
  if (call.read || call.target != 0 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  const MachineConfig& config = machine.config;
  int panel = call.device;
  if (uint32_t(panel) >= config.panelChannels || !config.panels[panel].connected ||
      !config.panels[panel].moduleFunctions) {
    return kErrorDeviceMissing;
  }
  machine.modulePanel = int8_t(panel);
  return kErrorNone;
}

}  // namespace sim::internal
