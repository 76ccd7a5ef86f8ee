// The lock between our programs: the controller's own lock bit is tested and set with two
// separate port accesses, so two programs could both claim it. An flock on a file held for
// the whole run keeps a second program off the controller.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/hosted/hosted_backend.h"

namespace platform::hosted {
namespace {

constexpr int kRetryMilliseconds = 50;

void PrintLockError(const char* path, int error) {
  std::fflush(stdout);
  std::fprintf(stderr, "ERROR: Can't use the lock file %s: %s\n", path, std::strerror(error));
}

// The lock directory is world-writable and the program runs as root: a planted symbolic link
// must not make it create or clobber a file elsewhere, and a planted FIFO must not block the
// open. The file is never written, so it is opened read-only and never truncated.
int OpenLockFile(const char* path) {
  const int descriptor =
      ::open(path, O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    return -errno;
  }
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    return -EINVAL;
  }
  return descriptor;
}

void Pause(int milliseconds) {
  timespec pause{0, long(milliseconds) * 1000000L};
  ::nanosleep(&pause, nullptr);
}

}  // namespace

PortAccess LockController(const char* defaultPath) {
  const char* chosen = std::getenv(kLockFileVariable);
  const char* path = chosen != nullptr && chosen[0] != '\0' ? chosen : defaultPath;
  const int descriptor = OpenLockFile(path);
  if (descriptor < 0) {
    PrintLockError(path, -descriptor);
    return PortAccess::Failed;
  }
  // Held until the process ends; the kernel drops the lock with the descriptor.
  for (int waited = 0;; waited += kRetryMilliseconds) {
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
      return PortAccess::Ready;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      PrintLockError(path, errno);
      ::close(descriptor);
      return PortAccess::Failed;
    }
    if (waited >= kLockWaitMilliseconds) {
      ::close(descriptor);
      return PortAccess::Locked;
    }
    Pause(kRetryMilliseconds);
  }
}

}  // namespace platform::hosted
