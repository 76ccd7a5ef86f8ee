// Port access of the simulator build: the simulated controller is its machine directory, so
// the lock file sits beside it ("<directory>.lock"); programs on different simulated PCs do not
// wait for each other. The lock also keeps the machine's state files consistent: a program
// loads them at its first port access and writes them back at exit.
#include <cstdio>
#include <cstdlib>

#include "platform/hosted/hosted_backend.h"
#include "sim/sim.h"

namespace platform {

PortAccess AcquirePorts() {
  char path[4096];
  const char* directory = std::getenv(sim::kStateDirectoryVariable);
  const char* home = std::getenv("HOME");
  int length = 0;
  if (directory != nullptr && directory[0] != '\0') {
    length = std::snprintf(path, sizeof path, "%s.lock", directory);
  } else if (home != nullptr && home[0] != '\0') {
    length = std::snprintf(path, sizeof path, "%s/%s.lock", home, sim::kDefaultStateDirectoryName);
  }
  const bool named = length > 0 && size_t(length) < sizeof path;
  // Without a directory the machine lives in this process alone and needs no lock.
  if (named || std::getenv(hosted::kLockFileVariable) != nullptr) {
    const PortAccess access = hosted::LockController(named ? path : "");
    if (access != PortAccess::Ready) {
      return access;
    }
  }
  hosted::CatchInterrupts();
  return PortAccess::Ready;
}

}  // namespace platform
