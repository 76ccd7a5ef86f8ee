// Port access on a real machine under Linux: first the lock between our programs, then the
// permission for the register block. Nothing touches a port before both are held: without the
// permission the first port instruction would kill the process.
#include <sys/io.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/hosted/hosted_backend.h"

namespace platform {
namespace {

constexpr const char* kLockFile = "/run/lock/drux.lock";
// The register block, ports 0x4000-0x4193.
constexpr unsigned long kFirstPort = 0x4000;
constexpr unsigned long kPortCount = 0x194;

}  // namespace

PortAccess AcquirePorts() {
  const PortAccess access = hosted::LockController(kLockFile);
  if (access != PortAccess::Ready) {
    return access;
  }
  if (::ioperm(kFirstPort, kPortCount, 1) != 0) {
    const int error = errno;
    std::fflush(stdout);
    std::fprintf(stderr,
                 "ERROR: No access to the DRUX I/O ports (run as root, with CAP_SYS_RAWIO, "
                 "on a kernel that allows ioperm): %s\n",
                 std::strerror(error));
    return PortAccess::Failed;
  }
  hosted::CatchInterrupts();
  return PortAccess::Ready;
}

}  // namespace platform
