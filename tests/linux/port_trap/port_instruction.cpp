#include "tests/linux/port_trap/port_instruction.h"

namespace port_trap {
namespace {

constexpr uint8_t kInByteFromDx = 0xEC;
constexpr uint8_t kOutByteToDx = 0xEE;

}  // namespace

// No prefix is accepted: an operand-size or segment prefix would change what the instruction
// moves, and the programs never emit one.
PortInstruction DecodePortInstruction(const uint8_t* bytes, size_t count) {
  if (count == 0) {
    return {PortDirection::Unserved, 0};
  }
  switch (bytes[0]) {
    case kInByteFromDx:
      return {PortDirection::In, 1};
    case kOutByteToDx:
      return {PortDirection::Out, 1};
    default:
      return {PortDirection::Unserved, 0};
  }
}

bool InRegisterBlock(uint16_t port) {
  return port >= kFirstPort && port <= kLastPort;
}

}  // namespace port_trap
