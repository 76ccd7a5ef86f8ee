// Identity and firmware version of the controller (command 0x10).
#include "controller/byte_fields.h"
#include "controller/command.h"
#include "controller/controller_info.h"
#include "controller/registers.h"

namespace drux {

namespace {

constexpr uint32_t kCommandVersion = 0x10;

}  // namespace

int ReadControllerVersion(ControllerVersion* record, uint32_t target, uint32_t device,
                          uint8_t* errorByte) {
  uint8_t reply[4] = {};
  const int status =
      ReadCommand(kCommandVersion, 0, device, target, reply, sizeof reply, errorByte);
  if (status != kStatusOk) {
    return status;
  }
  const uint32_t word = LoadLittleEndian32(reply);
  for (int letter = 0; letter < 4; ++letter) {
    record->id[letter] = IdLetter(word, letter);
  }
  record->id[4] = '\0';
  record->version = ((word >> 8) & 0xF) * 256 + (word & 0xFF);
  return kStatusOk;
}

}  // namespace drux
