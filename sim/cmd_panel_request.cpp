// Command 0x22: a request to a panel (write, target 3, address 0, device = panel, 16 bytes).
// Byte 0 says what the panel is to do (2 reboot the panel, 8 reboot its link converter, others
// for its link receiver FPGA); the model counts the requests and keeps byte 0 of the last.
// A reboot starts the FPGA modules concerned, which take over a pending update.
// A panel that is not connected or lies beyond the channel count answers 0x85.
#include "sim/commands.h"
#include "sim/fpga_module.h"

namespace sim::internal {

uint8_t RunPanelRequest(Machine& machine, CommandCall& call) {
  if (call.read || call.target != 3 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  const MachineConfig& config = machine.config;
  int panel = call.device;
  if (uint32_t(panel) >= config.panelChannels || !config.panels[panel].connected) {
    return kErrorDeviceMissing;
  }
  uint8_t request[16];
  uint8_t error = TransferPayload(machine, call, request, sizeof request);
  PanelRequests& requests = machine.panelRequests[panel];
  ++requests.count;
  requests.lastRequest = request[0];
  machine.stateDirty = true;
  StartPanelFpgaModules(machine, panel, request[0]);
  return error;
}

}  // namespace sim::internal
