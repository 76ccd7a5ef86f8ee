// Command 0x7F: selects the panel whose modules later module commands address (write, target 0,
// address 0, device = panel, no payload). A panel that is not connected, lies beyond the
// channel count or has no module functions answers 0x85. Commands 0x71 and 0x75 then reach the
// modules of the selected panel.
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

bool ReachableForModules(const MachineConfig& config, int panel) {
  return panel >= 0 && uint32_t(panel) < config.panelChannels && panel < kPanelChannels &&
         config.panels[panel].connected && config.panels[panel].moduleFunctions;
}

}  // namespace

uint8_t RunSelectPanelForModules(Machine& machine, CommandCall& call) {
  if (call.read || call.target != 0 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  int panel = call.device;
  if (!ReachableForModules(machine.config, panel)) {
    return kErrorDeviceMissing;
  }
  machine.modulePanel = int8_t(panel);
  return kErrorNone;
}

uint8_t SelectedPanelModule(Machine& machine, uint8_t module, const ModuleConfig** result) {
  if (machine.modulePanel < 0) {
    return kErrorInvalidParameter;
  }
  // The configuration may have changed since the selection (druxsim set between runs).
  if (!ReachableForModules(machine.config, machine.modulePanel)) {
    return kErrorDeviceMissing;
  }
  *result = &machine.config.panels[machine.modulePanel].modules[module & 0xF];
  return kErrorNone;
}

}  // namespace sim::internal
