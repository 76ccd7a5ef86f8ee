// Exit codes of every handler, driver and of the program itself.
#pragma once

namespace drux {

enum ExitCode : int {
  kExitOk = 0,
  kExitInvalidArgument = 1,
  kExitFileOpen = 2,
  kExitFileRead = 3,
  kExitFileWrite = 4,
  kExitFileGeneral = 5,
  kExitDruxFailed = 6,
  kExitCancelled = 7,
  kExitVersionConflict = 8,
  kExitInvalidData = 9,
  kExitVerify = 10,
  kExitNotConnected = 11,
  kExitNoDevice = 12,
  kExitTypeMismatch = 13,
  kExitRestartFailed = 14,
  kExitNotSupported = 15,
  kExitRebootNeeded = 16,
};

}  // namespace drux
