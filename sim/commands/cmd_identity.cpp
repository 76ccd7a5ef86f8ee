// Command 0x10: identification letters and firmware version of the controller itself
// (target 1, device 1, read, 4 bytes).
#include "controller/registers.h"
#include "sim/commands/commands.h"

namespace sim::internal {

uint8_t RunControllerIdentity(Machine& machine, CommandCall& call) {
  if (!call.read || call.target != 1 || call.device != 1 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  const MachineConfig& config = machine.config;
  uint32_t word = drux::EncodeIdLetters(config.id[0], config.id[1], config.id[2], config.id[3]) |
                  (config.firmwareVersion & 0x0FFF);
  uint8_t reply[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
  return TransferPayload(machine, call, reply, sizeof reply);
}

}  // namespace sim::internal
