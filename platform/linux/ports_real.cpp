// Linux I/O ports: the DRUX register block itself, through the processor's port instructions.
// Usable only after AcquirePorts has obtained the permission for the range.
#include "platform/platform.h"

namespace platform {

uint8_t PortIn8(uint16_t port) {
  uint8_t value = 0;
  asm volatile("inb %1, %0" : "=a"(value) : "Nd"(port));
  return value;
}

void PortOut8(uint16_t port, uint8_t value) {
  asm volatile("outb %0, %1" : : "a"(value), "Nd"(port));
}

}  // namespace platform
