// A power cycle of the simulated machine, as a PC reboot through the controller causes it: the
// controller restarts, forgets its selection of a panel for module functions and starts a
// firmware update that it received; the link transmitter starts and takes over its update.
#include "sim/core/machine.h"
#include "sim/devices/firmware_image.h"
#include "sim/devices/fpga_module.h"

namespace sim {

namespace internal {

void PowerCycle(Machine& machine) {
  ++machine.pcReboots;
  StartDevices(machine);
}

void StartDevices(Machine& machine) {
  machine.modulePanel = -1;
  ApplyBiosSettingsWord(machine);
  TakeOverUpdatedFirmware(machine);
  StartTransmitter(machine);
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
