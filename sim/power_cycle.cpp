// A power cycle of the simulated machine, as a PC reboot through the controller causes it: the
// controller restarts, forgets its selection of a panel for module functions and starts a
// firmware update that it received.
#include "sim/firmware_image.h"
#include "sim/machine.h"
#include "sim/panel_receiver.h"

namespace sim {

namespace internal {

void PowerCycle(Machine& machine) {
  ++machine.pcReboots;
  machine.modulePanel = -1;
  ApplyBiosSettingsWord(machine);
  TakeOverUpdatedFirmware(machine);
  for (int panel = 0; panel < kPanelChannels; ++panel) {
    if (machine.config.panels[panel].connected) {
      RestartPanel(machine, panel);
    }
  }
  machine.stateDirty = true;
}

}  // namespace internal

uint32_t PcRebootCount() {
  return internal::LoadedMachine().pcReboots;
}

PanelRequests PanelRequestsOf(int panel) {
  if (panel < 0 || panel >= kPanelChannels) {
    return PanelRequests{0, 0};
  }
  return internal::LoadedMachine().panelRequests[panel];
}

}  // namespace sim
