// Commands of the simulated controller: one handler per data type, found through one table.
#pragma once

#include <cstdint>

#include "sim/core/command_call.h"

namespace sim::internal {

// Returns kErrorNone or the error byte of the failure.
using CommandHandler = uint8_t (*)(Machine& machine, CommandCall& call);

struct CommandEntry {
  uint8_t base;
  uint8_t codes;  // base code plus its address extensions
  CommandHandler handler;
};

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
