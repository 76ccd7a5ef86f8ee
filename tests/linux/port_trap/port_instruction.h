// The port instructions the harness serves. Our programs reach the register block one byte at a
// time through DX; any other instruction that faults is a wrong access, and the run must end
// rather than let it pass.
#pragma once

#include <cstddef>
#include <cstdint>

namespace port_trap {

inline constexpr uint16_t kFirstPort = 0x4000;
inline constexpr uint16_t kLastPort = 0x4193;

enum class PortDirection : uint8_t { In, Out, Unserved };

struct PortInstruction {
  PortDirection direction;
  uint8_t length;  // bytes the program's instruction pointer steps over
};

// Decodes the bytes at the faulting instruction: inb %dx,%al (0xEC) and outb %al,%dx (0xEE).
PortInstruction DecodePortInstruction(const uint8_t* bytes, size_t count);

bool InRegisterBlock(uint16_t port);

}  // namespace port_trap
