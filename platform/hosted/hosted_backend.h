// Pieces that the Linux backends (simulated and real ports) share beyond the platform API.
#pragma once

#include "platform/platform.h"

namespace platform::hosted {

// Environment setting that names the lock file instead of the backend's default (tests).
inline constexpr const char* kLockFileVariable = "DRUX_LOCK_FILE";
// How long a program waits for another one that holds the lock.
inline constexpr int kLockWaitMilliseconds = 2000;

// Holds an exclusive flock on the lock file (DRUX_LOCK_FILE, else defaultPath) until the
// process ends. Failed: printed perror style.
PortAccess LockController(const char* defaultPath);

// From here on SIGINT and SIGTERM only set the flag that InterruptRequested reports.
void CatchInterrupts();

// Files opened for writing are remembered until closed, so that an interrupted run can remove
// the ones it had not finished (a save's temporary file), whatever their names.
void RememberWrittenFile(File* file, const char* name);
void ForgetWrittenFile(File* file);
void RemoveUnfinishedFiles();

}  // namespace platform::hosted
