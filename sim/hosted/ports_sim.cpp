// Hosted I/O ports: the register block of the simulated DRUX controller. The simulator binds
// itself to the platform's port functions; at exit it saves its state.
#include "platform/platform.h"
#include "platform/port_backend.h"
#include "sim/sim.h"

namespace platform {

uint8_t PortIn8(uint16_t port) {
  return sim::PortRead(port);
}

void PortOut8(uint16_t port, uint8_t value) {
  sim::PortWrite(port, value);
}

bool FinishPortBackend() {
  return sim::Persist();
}

}  // namespace platform
