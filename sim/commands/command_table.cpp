// The command table of the simulated controller: a new data type adds a handler file and a
// line here.
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr CommandEntry kCommands[] = {
    {0x10, 1, RunControllerIdentity},
    {0x12, 1, RunPcIdentity},
    {0x19, 1, RunRestartScanCodes},
    {0x20, 1, RunPanelData},
    {0x22, 1, RunPanelRequest},
    {0x30, 1, RunPanelStatistics},
    {0x50, 1, RunPcReboot},
    {0x61, 1, RunModuleIdentity},
    {0x63, 1, RunModuleSettings},
    {0x65, 1, RunModuleStatistics},
    {0x66, 1, RunBiosSettings},
    {0x67, 1, RunSystemData},
    {0x6A, 1, RunTransmitterHeader},
    {0x71, 1, RunPanelModuleIdentity},
    {0x73, 1, RunPanelModuleSettings},
    {0x75, 1, RunPanelModuleStatistics},
    {0x7A, 1, RunPanelFpgaHeader},
    {0x7F, 1, RunSelectPanelForModules},
    {0xA0, 16, RunFlashSmallBlocks},
    {0xB0, 4, RunDruxUpdateSmall},
    {0xB8, 4, RunDruxUpdateLarge},
    {0xC0, 8, RunPanelFpgaFlashSmall},
    {0xD0, 8, RunPanelFpgaRunning},
    {0xD8, 8, RunPanelFpgaUpdate},
    {0xE0, 4, RunFlashLargeBlocks},
    {0xE8, 8, RunPanelFpgaFlashLarge},
};

}  // namespace

uint8_t ExecuteCommand(Machine& machine, CommandCall& call) {
  for (const CommandEntry& entry : kCommands) {
    if (call.code >= entry.base && call.code - entry.base < entry.codes) {
      call.extension = uint8_t(call.code - entry.base);
      return entry.handler(machine, call);
    }
  }
  return kErrorUnknownCommand;
}

}  // namespace sim::internal
