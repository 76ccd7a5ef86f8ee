// Commands 0x61 (PC module) and 0x71 (module of the panel selected with 0x7F): identity fields
// of a module (target 0, device = module, read).
//   0x100 identification word (4 bytes, little-endian)   0x300 hardware revision (5 bytes)
//   0x400 serial number (12 bytes)   0x500/0x501/0x502 model number bytes 0-15/16-31/32-39
//   0x700 parent device ID (6 bytes: the word little-endian, then two zero bytes)
#include <cstring>

#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

uint8_t RunIdentityField(Machine& machine, CommandCall& call, const ModuleConfig& module) {
  uint8_t field[16] = {};
  uint32_t size = 0;
  switch (call.address) {
    case 0x100:
      PutWord32(field, module.id);
      size = 4;
      break;
    case 0x300:
      std::memcpy(field, module.hardwareRevision, 5);
      size = 5;
      break;
    case 0x400:
      std::memcpy(field, module.serialNumber, 12);
      size = 12;
      break;
    case 0x500:
    case 0x501:
    case 0x502:
      size = call.address == 0x502 ? 8 : 16;
      std::memcpy(field, module.modelNumber + 16 * (call.address - 0x500), size);
      break;
    case 0x700:
      PutWord32(field, module.parentId);
      size = 6;
      break;
    default:
      return kErrorInvalidParameter;
  }
  if (!module.fitted) {
    return kErrorDeviceMissing;
  }
  return TransferPayload(machine, call, field, size);
}

bool IsIdentityRead(const CommandCall& call) {
  return call.read && call.target == 0;
}

}  // namespace

uint8_t RunModuleIdentity(Machine& machine, CommandCall& call) {
  if (!IsIdentityRead(call)) {
    return kErrorInvalidParameter;
  }
  return RunIdentityField(machine, call, machine.config.modules[call.device]);
}

uint8_t RunPanelModuleIdentity(Machine& machine, CommandCall& call) {
  if (!IsIdentityRead(call)) {
    return kErrorInvalidParameter;
  }
  const ModuleConfig* module = nullptr;
  uint8_t error = SelectedPanelModule(machine, call.device, &module);
  if (error != kErrorNone) {
    return error;
  }
  return RunIdentityField(machine, call, *module);
}

}  // namespace sim::internal
