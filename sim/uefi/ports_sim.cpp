// UEFI I/O ports of the test images: the simulated controller instead of the hardware. Its
// machine lives in memory, or in the directory that the shell variable DRUXSIM_DIR names, so
// that several runs of one script share it.
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

namespace sim {

// A UEFI image has no other way out than the image exit; the program's own steps after the
// cut command do not run all the same.
void EndRunAfterPowerCut() {
  platform::Exit(kPowerCutExitCode);
}

}  // namespace sim
