#include "firmware/pc_identity.h"

#include <cstring>

#include "controller/byte_fields.h"
#include "controller/command.h"

namespace drux {
namespace {

constexpr uint32_t kCommandPcIdentity = 0x12;
constexpr uint32_t kPcIdentityTarget = 1;
constexpr uint32_t kDeviceIdDevice = 1;
constexpr uint32_t kParentDevice = 2;
constexpr uint32_t kParentIdAddress = 0x40;
constexpr uint32_t kModelPartSizes[] = {16, 16, 8};
constexpr uint32_t kModelFirstAddress = 0x10;
constexpr size_t kModelLength = 40;

uint32_t ReadIdWord(uint32_t device, uint32_t address, uint32_t size) {
  uint8_t record[16] = {};
  uint8_t errorByte = 0;
  if (ReadCommand(kCommandPcIdentity, address, device, kPcIdentityTarget, record, size,
                  &errorByte) != kStatusOk) {
    return 0;
  }
  return LoadLittleEndian32(record);
}

}  // namespace

uint32_t ReadPcDeviceId() {
  return ReadIdWord(kDeviceIdDevice, 0, 16);
}

uint32_t ReadPcParentDeviceId() {
  return ReadIdWord(kParentDevice, kParentIdAddress, 8);
}

const char* ReadPcModelNumber() {
  static char model[kModelLength + 1];
  uint32_t address = kModelFirstAddress;
  size_t offset = 0;
  for (uint32_t size : kModelPartSizes) {
    uint8_t errorByte = 0;
    if (ReadCommand(kCommandPcIdentity, address, kParentDevice, kPcIdentityTarget,
                    reinterpret_cast<uint8_t*>(model + offset), size, &errorByte) != kStatusOk) {
      model[0] = '\0';
      return model;
    }
    offset += size;
    address += 0x10;
  }
  model[kModelLength] = '\0';
  return model;
}

}  // namespace drux
