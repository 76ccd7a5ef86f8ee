// A command as the handshake hands it on, and what answering it takes: the controller's error
// bytes, the payload windows and the little-endian fields of replies. The command handlers
// (sim/commands) and the devices that answer commands use it; the command table defines
// ExecuteCommand, through which the handshake runs every command.
#pragma once

#include <cstdint>

#include "sim/core/machine.h"

namespace sim::internal {

// Controller error bytes that the model answers with.
inline constexpr uint8_t kErrorNone = 0x00;
inline constexpr uint8_t kErrorUnknownCommand = 0x81;
inline constexpr uint8_t kErrorInvalidParameter = 0x83;
inline constexpr uint8_t kErrorDeviceBusy = 0x84;
inline constexpr uint8_t kErrorDeviceMissing = 0x85;

struct CommandCall {
  uint8_t code;       // as written
  uint8_t extension;  // code - base: block index bits above bit 13
  uint16_t address;
  uint8_t device;
  uint8_t target;
  bool read;
};

// Runs the command of the table entry that covers the code (unknown: kErrorUnknownCommand).
uint8_t ExecuteCommand(Machine& machine, CommandCall& call);

// The window that carries a payload of `size` bytes: small up to 16 bytes, else large.
uint8_t* PayloadWindow(Machine& machine, uint32_t size);
// Moves a payload of the command's natural size: a read command copies `bytes` into the
// window, a write command copies the window into `bytes`.
uint8_t TransferPayload(Machine& machine, CommandCall& call, uint8_t* bytes, uint32_t size);
// Same for a memory area range (pages loaded or marked dirty as needed).
uint8_t TransferAreaBlock(Machine& machine, CommandCall& call, Area area, int panel,
                          uint32_t offset, uint32_t size);

// Little-endian fields of a reply.
inline void PutWord16(uint8_t* bytes, uint16_t word) {
  bytes[0] = uint8_t(word);
  bytes[1] = uint8_t(word >> 8);
}
inline void PutWord32(uint8_t* bytes, uint32_t word) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = uint8_t(word >> (8 * i));
  }
}
inline uint32_t GetWord32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

}  // namespace sim::internal
