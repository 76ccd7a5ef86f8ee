// Command 0x22: a request to a panel (write, target 3, address 0, device = panel, 16 bytes).
// Byte 0 says what the panel is to do: 0 lifts and 1 sets the write protection of its flash,
// 2 reboots the panel (its link receiver then runs the image in its flash or link module),
// 8 reboots its link converter. The model counts the requests and keeps byte 0 of the last.
// A panel that is not connected or lies beyond the channel count answers 0x85.
#include "sim/commands/commands.h"
#include "sim/devices/fpga_module.h"
#include "sim/devices/panel_receiver.h"

namespace sim::internal {

namespace {

constexpr uint8_t kUnprotect = 0;
constexpr uint8_t kProtect = 1;
constexpr uint8_t kRebootPanel = 2;

void ApplyRequest(Machine& machine, int panel, uint8_t request) {
  PanelConfig& config = machine.config.panels[panel];
  if (request == kUnprotect || request == kProtect) {
    config.flashProtected = request == kProtect;
    machine.configDirty = true;
  }
  // The FPGA modules take over what they were sent; the receiver runs what they then run.
  StartPanelFpgaModules(machine, panel, request);
  if (request == kRebootPanel) {
    RestartPanel(machine, panel);
  }
}

}  // namespace

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
  ApplyRequest(machine, panel, request[0]);
  return error;
}

}  // namespace sim::internal
