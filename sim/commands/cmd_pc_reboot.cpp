// Command 0x50: reboot of the PC through the controller (write, target 1, device 3, address 0,
// no payload). The machine goes through a power cycle.
#include "sim/commands/commands.h"

namespace sim::internal {

uint8_t RunPcReboot(Machine& machine, CommandCall& call) {
  if (call.read || call.target != 1 || call.device != 3 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  PowerCycle(machine);
  return kErrorNone;
}

}  // namespace sim::internal
