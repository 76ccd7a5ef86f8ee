// A minimal host for the simulator tests: drives the port block byte by byte the way the
// program's protocol does (claim, window, command word, poll, fetch, release), independent of
// the program's own controller code.
#pragma once

#include <cstdint>
#include <cstring>

#include "controller/registers.h"
#include "sim/sim.h"
#include "tests/support/sim_port_registers.h"

namespace simtest {

inline uint32_t Word(uint8_t code, uint16_t address, uint8_t device, uint8_t target, bool read) {
  return uint32_t(code) << 24 | uint32_t(target & 0xF) << 20 | uint32_t(device & 0xF) << 16 |
         (read ? 1u << 14 : 0u) | (address & 0x3FFFu);
}

struct Outcome {
  int status;  // 0 finished, -2 locked, -3 failed, 1 still working after the poll bound
  uint8_t errorByte;
  int polls;
};

inline uint16_t WindowBase(uint32_t size) {
  return size <= drux::kSmallWindowSize ? drux::kPortSmallWindow : drux::kPortLargeWindow;
}

inline Outcome Run(uint8_t code, uint16_t address, uint8_t device, uint8_t target, bool read,
                   uint8_t* data, uint32_t size, int maxPolls = 4) {
  Outcome outcome{0, 0, 0};
  uint32_t status = ReadReg(drux::kPortCommandStatus);
  if ((status & drux::kStatusLockBit) != 0) {
    outcome.status = -2;
    return outcome;
  }
  WriteReg(drux::kPortCommandStatus, status | drux::kStatusLockBit);
  if (!read) {
    for (uint32_t i = 0; i < size; ++i) {
      sim::PortWrite(uint16_t(WindowBase(size) + i), data[i]);
    }
  }
  WriteReg(drux::kPortCommand, Word(code, address, device, target, read));
  outcome.status = 1;
  while (outcome.status == 1 && outcome.polls < maxPolls) {
    ++outcome.polls;
    uint8_t state = sim::PortRead(drux::kPortCommandState) & 7;
    outcome.errorByte = sim::PortRead(drux::kPortCommandStatus);
    if (state == drux::kStateFinished) {
      outcome.status = 0;
    } else if (state == drux::kStateFailed) {
      outcome.status = -3;
    }
  }
  if (outcome.status == 0 && read) {
    for (uint32_t i = 0; i < size; ++i) {
      data[i] = sim::PortRead(uint16_t(WindowBase(size) + i));
    }
  }
  WriteReg(drux::kPortCommandStatus, ReadReg(drux::kPortCommandStatus) & ~drux::kStatusHostBits);
  return outcome;
}

inline Outcome Read(uint8_t code, uint16_t address, uint8_t device, uint8_t target, uint8_t* data,
                    uint32_t size) {
  return Run(code, address, device, target, true, data, size);
}

inline Outcome Write(uint8_t code, uint16_t address, uint8_t device, uint8_t target,
                     const uint8_t* data, uint32_t size) {
  return Run(code, address, device, target, false, const_cast<uint8_t*>(data), size);
}

}  // namespace simtest
