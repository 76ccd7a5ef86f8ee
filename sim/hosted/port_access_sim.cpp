// Port access of the simulator build: the simulated controller is its machine directory, so
// the lock file lives there (drux.lock) and programs on different simulated PCs do not wait for
// each other. The lock also keeps the machine's state consistent: a program loads the state
// files at its first port access and writes them back at exit.
#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>

#include "platform/hosted/hosted_backend.h"
#include "sim/sim.h"

namespace platform {
namespace {

constexpr const char* kLockFileName = "drux.lock";

// The machine directory as the simulator picks it; false when the machine lives in memory.
bool MachineDirectory(char* path, size_t capacity) {
  const char* directory = std::getenv(sim::kStateDirectoryVariable);
  const char* home = std::getenv("HOME");
  int length = 0;
  if (directory != nullptr && directory[0] != '\0') {
    length = std::snprintf(path, capacity, "%s", directory);
  } else if (home != nullptr && home[0] != '\0') {
    length = std::snprintf(path, capacity, "%s/%s", home, sim::kDefaultStateDirectoryName);
  }
  return length > 0 && size_t(length) < capacity;
}

}  // namespace

PortAccess AcquirePorts() {
  char directory[4096];
  char lockFile[4096 + 16];
  const char* chosen = "";
  if (MachineDirectory(directory, sizeof directory)) {
    ::mkdir(directory, 0777);  // a directory without a machine is the default machine
    std::snprintf(lockFile, sizeof lockFile, "%s/%s", directory, kLockFileName);
    chosen = lockFile;
  }
  // A machine in memory belongs to this process alone.
  if (chosen[0] != '\0' || std::getenv(hosted::kLockFileVariable) != nullptr) {
    const PortAccess access = hosted::LockController(chosen);
    if (access != PortAccess::Ready) {
      return access;
    }
  }
  hosted::CatchInterrupts();
  return PortAccess::Ready;
}

}  // namespace platform
