// The simulated controller's 32-bit registers, reached byte by byte through its I/O ports the
// way a host program does, lowest byte first.
#pragma once

#include <cstdint>

#include "sim/sim.h"

namespace simtest {

inline uint32_t ReadReg(uint16_t port) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    value |= uint32_t(sim::PortRead(uint16_t(port + i))) << (8 * i);
  }
  return value;
}

inline void WriteReg(uint16_t port, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    sim::PortWrite(uint16_t(port + i), uint8_t(value >> (8 * i)));
  }
}

}  // namespace simtest
