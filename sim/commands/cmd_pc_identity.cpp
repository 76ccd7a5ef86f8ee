// Command 0x12: identity data of the PC (target 1).
//   device 0, address 0: user serial ID record, 8 bytes, read and write: bytes 0-3 the
//                        controller's own word, bytes 4-7 the user serial ID (little-endian)
//   device 1, address 0: PC device ID record, 16 bytes, read: the ID in bytes 0-3
//   device 2, addresses 0x10, 0x20, 0x30: PC model number, 16 bytes each, read
//   device 2, address 0x40: PC parent device ID record, 16 bytes, read: the ID in bytes 0-3
// Anything else answers 0x83. A write keeps all 8 bytes as written.
#include <cstring>

#include "sim/commands/commands.h"

namespace sim::internal {

namespace {

constexpr uint32_t kUserSerialIdRecordSize = 8;
constexpr uint32_t kIdentityRecordSize = 16;

uint8_t RunUserSerialId(Machine& machine, CommandCall& call) {
  MachineConfig& config = machine.config;
  uint8_t record[kUserSerialIdRecordSize];
  PutWord32(record, config.userSerialIdHead);
  PutWord32(record + 4, config.userSerialId);
  uint8_t error = TransferPayload(machine, call, record, sizeof record);
  if (!call.read && error == kErrorNone) {
    config.userSerialIdHead = GetWord32(record);
    config.userSerialId = GetWord32(record + 4);
    machine.configDirty = true;
  }
  return error;
}

// The 16-byte read-only records of devices 1 and 2; false for an address without one.
bool ReadOnlyRecord(const MachineConfig& config, uint8_t device, uint16_t address,
                    uint8_t* record) {
  std::memset(record, 0, kIdentityRecordSize);
  if (device == 1 && address == 0) {
    PutWord32(record, config.pcDeviceId);
    return true;
  }
  if (device != 2) {
    return false;
  }
  switch (address) {
    case 0x10:
    case 0x20:
    case 0x30: {
      // The model number's 40 characters and its terminator fill the three records from the
      // front; what lies beyond them reads as zero.
      size_t offset = size_t(address - 0x10);
      size_t available = sizeof config.pcModelNumber - offset;
      size_t length = available < kIdentityRecordSize ? available : kIdentityRecordSize;
      std::memcpy(record, config.pcModelNumber + offset, length);
      return true;
    }
    case 0x40:
      PutWord32(record, config.pcParentId);
      return true;
    default:
      return false;
  }
}

}  // namespace

uint8_t RunPcIdentity(Machine& machine, CommandCall& call) {
  if (call.target != 1) {
    return kErrorInvalidParameter;
  }
  if (call.device == 0 && call.address == 0) {
    return RunUserSerialId(machine, call);
  }
  uint8_t record[kIdentityRecordSize];
  if (!call.read || !ReadOnlyRecord(machine.config, call.device, call.address, record)) {
    return kErrorInvalidParameter;
  }
  return TransferPayload(machine, call, record, sizeof record);
}

}  // namespace sim::internal
