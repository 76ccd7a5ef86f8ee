// Register primitives: every wider register is a run of single-byte port accesses, lowest
// port first, because the controller decodes the block byte by byte.
#include "controller/registers.h"

#include "platform/platform.h"

namespace drux {

uint32_t ReadRegister(uint16_t port) {
  uint32_t value = 0;
  for (int byte = 0; byte < 4; ++byte) {
    value |= uint32_t(platform::PortIn8(uint16_t(port + byte))) << (8 * byte);
  }
  return value;
}

void WriteRegister(uint16_t port, uint32_t value) {
  for (int byte = 0; byte < 4; ++byte) {
    platform::PortOut8(uint16_t(port + byte), uint8_t(value >> (8 * byte)));
  }
}

uint8_t ReadRegisterByte(uint16_t port) {
  return platform::PortIn8(port);
}

void WriteRegisterByte(uint16_t port, uint8_t value) {
  platform::PortOut8(port, value);
}

}  // namespace drux
