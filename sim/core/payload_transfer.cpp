// The payload of a command: it moves through the small window (up to 16 bytes) or the large
// one, from a reply buffer or a memory area and back.
#include <cstring>

#include "sim/core/command_call.h"

namespace sim::internal {

uint8_t* PayloadWindow(Machine& machine, uint32_t size) {
  return size <= sizeof machine.smallWindow ? machine.smallWindow : machine.largeWindow;
}

uint8_t TransferPayload(Machine& machine, CommandCall& call, uint8_t* bytes, uint32_t size) {
  uint8_t* window = PayloadWindow(machine, size);
  if (call.read) {
    std::memcpy(window, bytes, size);
  } else {
    std::memcpy(bytes, window, size);
  }
  return kErrorNone;
}

uint8_t TransferAreaBlock(Machine& machine, CommandCall& call, Area area, int panel,
                          uint32_t offset, uint32_t size) {
  uint8_t* window = PayloadWindow(machine, size);
  bool ok = call.read ? AreaCopyOut(machine, area, panel, offset, window, size)
                      : AreaCopyIn(machine, area, panel, offset, window, size);
  return ok ? kErrorNone : kErrorInvalidParameter;
}

}  // namespace sim::internal
