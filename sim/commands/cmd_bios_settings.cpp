// Command 0x66: the BIOS settings word that the controller keeps for the PC's firmware
// (target 0, device 0, address 0x700).
//   read, 8 bytes:  bytes 0-3 the controller's own word, bytes 4-7 the settings word
//                   (little-endian); 0x85 while no word was ever stored
//   write, 4 bytes: the settings word; the controller's own word stays
// Anything else answers 0x83. The effective settings register 0x4190 follows the word only when
// the PC starts again (see ApplyBiosSettingsWord).
#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr uint16_t kBiosSettingsAddress = 0x700;
constexpr uint32_t kReadSize = 8;
constexpr uint32_t kWriteSize = 4;

}  // namespace

uint8_t RunBiosSettings(Machine& machine, CommandCall& call) {
  if (call.target != 0 || call.device != 0 || call.address != kBiosSettingsAddress) {
    return kErrorInvalidParameter;
  }
  MachineConfig& config = machine.config;
  if (call.read) {
    if (!config.biosWordStored) {
      return kErrorDeviceMissing;
    }
    uint8_t answer[kReadSize];
    PutWord32(answer, config.biosWordHead);
    PutWord32(answer + 4, config.biosWord);
    return TransferPayload(machine, call, answer, sizeof answer);
  }
  uint8_t word[kWriteSize];
  uint8_t error = TransferPayload(machine, call, word, sizeof word);
  if (error == kErrorNone) {
    config.biosWord = GetWord32(word);
    config.biosWordStored = true;
    machine.configDirty = true;
  }
  return error;
}

}  // namespace sim::internal
