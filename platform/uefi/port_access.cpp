// UEFI port access: the shell runs one program at a time, the ports need no permission and
// there is no Ctrl-C that the program would have to clean up after.
#include "platform/platform.h"

namespace platform {

PortAccess AcquirePorts() {
  return PortAccess::Ready;
}

bool InterruptRequested() {
  return false;
}

}  // namespace platform
