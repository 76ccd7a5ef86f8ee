// The end of a program run whose power was cut: the simulated machine is saved, the console
// keeps what it already showed, and the process leaves through _exit, so that no exit path of
// the program runs (no release of the interface, no removal of unfinished files, no flush of
// file buffers that the flash of a real PC would never have seen either).
#include <unistd.h>
#include <cstdio>

#include "sim/sim.h"

namespace sim {

void EndRunAfterPowerCut() {
  const bool saved = Persist();
  std::fflush(stdout);
  std::fprintf(stderr, "druxsim: power cut%s\n",
               saved ? "" : " (the simulated PC's state could not be saved)");
  std::fflush(stderr);
  ::_exit(kPowerCutExitCode);
}

}  // namespace sim
