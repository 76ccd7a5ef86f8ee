// Commands of the simulated controller: one handler per data type, found through one table.
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

// Returns kErrorNone or the error byte of the failure.
using CommandHandler = uint8_t (*)(Machine& machine, CommandCall& call);

struct CommandEntry {
  uint8_t base;
  uint8_t codes;  // base code plus its address extensions
  CommandHandler handler;
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

// The module of the panel chosen with command 0x7F: 0x83 when no panel was chosen, 0x85 when
// that panel can no longer be reached for module functions.
uint8_t SelectedPanelModule(Machine& machine, uint8_t module, const ModuleConfig** result);

// Handlers, one file each.
uint8_t RunControllerIdentity(Machine& machine, CommandCall& call);     // 0x10
uint8_t RunPcIdentity(Machine& machine, CommandCall& call);             // 0x12
uint8_t RunPanelData(Machine& machine, CommandCall& call);              // 0x20
uint8_t RunKeyConfiguration(Machine& machine, CommandCall& call);       // 0x20, target 1
uint8_t RunPanelSettings(Machine& machine, CommandCall& call);          // 0x20, target 4
uint8_t RunRestartScanCodes(Machine& machine, CommandCall& call);       // 0x19
uint8_t RunPanelRequest(Machine& machine, CommandCall& call);           // 0x22
uint8_t RunPanelStatistics(Machine& machine, CommandCall& call);        // 0x30
uint8_t RunPcReboot(Machine& machine, CommandCall& call);               // 0x50
uint8_t RunBiosSettings(Machine& machine, CommandCall& call);           // 0x66
uint8_t RunModuleIdentity(Machine& machine, CommandCall& call);         // 0x61
uint8_t RunModuleSettings(Machine& machine, CommandCall& call);         // 0x63
uint8_t RunModuleStatistics(Machine& machine, CommandCall& call);       // 0x65
uint8_t RunSystemData(Machine& machine, CommandCall& call);             // 0x67
uint8_t RunPanelModuleIdentity(Machine& machine, CommandCall& call);    // 0x71
uint8_t RunPanelModuleSettings(Machine& machine, CommandCall& call);    // 0x73
uint8_t RunPanelModuleStatistics(Machine& machine, CommandCall& call);  // 0x75
uint8_t RunSelectPanelForModules(Machine& machine, CommandCall& call);  // 0x7F
uint8_t RunFlashSmallBlocks(Machine& machine, CommandCall& call);       // 0xA0-0xAF
uint8_t RunFlashLargeBlocks(Machine& machine, CommandCall& call);       // 0xE0-0xE3
uint8_t RunDruxUpdateSmall(Machine& machine, CommandCall& call);        // 0xB0-0xB3
uint8_t RunDruxUpdateLarge(Machine& machine, CommandCall& call);        // 0xB8-0xBB
uint8_t RunTransmitterHeader(Machine& machine, CommandCall& call);      // 0x6A
uint8_t RunPanelFpgaHeader(Machine& machine, CommandCall& call);        // 0x7A
uint8_t RunPanelFpgaFlashSmall(Machine& machine, CommandCall& call);    // 0xC0-0xC7
uint8_t RunPanelFpgaRunning(Machine& machine, CommandCall& call);       // 0xD0-0xD7
uint8_t RunPanelFpgaUpdate(Machine& machine, CommandCall& call);        // 0xD8-0xDF
uint8_t RunPanelFpgaFlashLarge(Machine& machine, CommandCall& call);    // 0xE8-0xEF

}  // namespace sim::internal
