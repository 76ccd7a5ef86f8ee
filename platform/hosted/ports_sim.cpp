// Hosted I/O ports: the register block of the simulated DRUX controller.
#include "platform/platform.h"
#include "sim/sim.h"

namespace platform {

uint8_t PortIn8(uint16_t port) {
  return sim::PortRead(port);
}

void PortOut8(uint16_t port, uint8_t value) {
  sim::PortWrite(port, value);
}

}  // namespace platform
