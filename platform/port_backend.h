// What a port backend gives the platform layer besides PortIn8 and PortOut8. The backend is
// either the hardware (platform/uefi/ports_real.cpp) or the simulated controller, which binds
// itself to these functions from its own folder (sim/hosted, sim/uefi): the platform layer
// never includes the simulator.
#pragma once

namespace platform {

// Called by Exit before the process ends, so that the backend can finish its work (the
// simulator writes its state back). False when that failed.
bool FinishPortBackend();

}  // namespace platform
