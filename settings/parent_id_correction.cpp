// Parent device ID correction of a factory-settings record.
#include "settings/parent_id_correction.h"

#include "controller/byte_fields.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/factory_record.h"

namespace drux {

namespace {

struct ParentIdCorrection {
  uint32_t deviceId;
  uint32_t parentDeviceId;
};

constexpr ParentIdCorrection kCorrections[] = {
    {0xF0BD, 0xEF97},
    {0xF0BE, 0xEF98},
    {0xF0BF, 0xEF89},
    {0xF0C0, 0xEF8A},
};

const ParentIdCorrection* CorrectionFor(uint32_t deviceId) {
  for (const ParentIdCorrection& correction : kCorrections) {
    if (correction.deviceId == deviceId) {
      return &correction;
    }
  }
  return nullptr;
}

// The checks before the record may be changed; prints the failure.
int CheckChangeableRecord(const uint8_t* record, size_t available) {
  if (IsErasedRecord(record)) {
    platform::PrintError("ERROR: No factory settings found.\n");
    return kExitNoDevice;
  }
  if (!HasHeadTag(record)) {
    platform::PrintError("ERROR: Invalid header.\n");
    return kExitInvalidData;
  }
  // Static data beyond the bytes read count as a bad checksum too.
  if (!StaticChecksumValid(record, available)) {
    platform::PrintError("ERROR: Invalid checksum of static data (%d bytes).\n",
                         int(ReadHeadHeader(record).staticLength));
    return kExitInvalidData;
  }
  return kExitOk;
}

}  // namespace

int CorrectParentDeviceId(uint8_t* record, size_t available) {
  if (int result = CheckChangeableRecord(record, available); result != kExitOk) {
    return result;
  }
  uint8_t* fact = FindFactHeader(record, available);
  if (fact == nullptr) {
    return kExitInvalidData;
  }
  const uint32_t deviceId = LoadLittleEndian32(fact + kFactDeviceIdOffset);
  const uint32_t parentDeviceId = LoadLittleEndian32(fact + kFactParentDeviceIdOffset);
  platform::Print("Device ID: 0x%08lx\n", static_cast<unsigned long>(deviceId));
  platform::Print("Parent device ID: 0x%08lx\n", static_cast<unsigned long>(parentDeviceId));
  const ParentIdCorrection* correction = CorrectionFor(deviceId);
  if (correction == nullptr) {
    platform::Print("Device is not affected.\n");
    return kExitCancelled;
  }
  if (parentDeviceId == correction->parentDeviceId) {
    platform::Print("Parent device ID is OK.\n");
    return kExitCancelled;
  }
  // Only a record that is going to change needs a checksum byte that can be renewed.
  if (int result = CheckRecordLimits(record, available); result != kExitOk) {
    return result;
  }
  StoreLittleEndian32(fact + kFactParentDeviceIdOffset, correction->parentDeviceId);
  platform::Print("New parent device ID: 0x%08lx\n",
                  static_cast<unsigned long>(correction->parentDeviceId));
  FixRecordChecksum(record, available);
  return kExitOk;
}

}  // namespace drux
