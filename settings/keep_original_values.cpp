// Update that keeps the module's original values: the display block read from the module, the
// serial number and hardware revision from its identity fields, put into the file's record.
#include "settings/keep_original_values.h"

#include <cstring>

#include "controller/block_access.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/display_block.h"
#include "settings/factory_record.h"
#include "settings/module_settings_common.h"
#include "transfer/notices.h"

namespace drux {

namespace {

int ReadOriginalDisplayBlock(const ModuleAreaInfo& area, uint8_t* block) {
  uint8_t errorByte = 0;
  const int status = ReadArea(ModuleMemoryArea(area, 0, kDisplayBlockSize), block, &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return kExitOk;
}

// A module identity text, cut to the capacity of its FACT field.
void CopyIdentityText(char* field, size_t capacity, const char* text) {
  size_t length = 0;
  while (length + 1 < capacity && text[length] != '\0') {
    field[length] = text[length];
    ++length;
  }
  field[length] = '\0';
}

// Serial number and hardware revision (texts with their NUL) into the record's FACT header.
int TakeOriginalIdentity(uint8_t* record, size_t available, const char* serialNumber,
                         const char* hardwareRevision) {
  uint8_t* fact = FindFactHeader(record, available);
  if (fact == nullptr) {
    return kExitInvalidData;
  }
  if (int result = CheckRecordLimits(record, available); result != kExitOk) {
    return result;
  }
  platform::Print("Use original serial number: %s\n", serialNumber);
  std::memcpy(fact + kFactSerialNumberOffset, serialNumber, std::strlen(serialNumber) + 1);
  platform::Print("Use original hardware revision: %s\n", hardwareRevision);
  std::memcpy(fact + kFactHardwareRevisionOffset, hardwareRevision,
              std::strlen(hardwareRevision) + 1);
  FixRecordChecksum(record, available);
  return kExitOk;
}

}  // namespace

int WriteKeepingOriginalValues(int32_t panel, int32_t module, const ModuleAreaInfo& area) {
  if (HoldsDisplayBlockOnly(panel, module, area)) {
    platform::PrintError("ERROR: Can't keep original values for this module.\n");
    return kExitNotSupported;
  }
  const bool displayPrefixed = HasDisplayBlock(panel, module);
  uint8_t displayBlock[kDisplayBlockSize];
  if (displayPrefixed) {
    if (int result = ReadOriginalDisplayBlock(area, displayBlock); result != kExitOk) {
      return result;
    }
  }
  char serialNumber[kFactSerialNumberCapacity];
  char hardwareRevision[kFactHardwareRevisionCapacity];
  CopyIdentityText(serialNumber, sizeof serialNumber, ReadModuleSerialNumber(panel, module));
  CopyIdentityText(hardwareRevision, sizeof hardwareRevision,
                   ReadModuleHardwareRevision(panel, module));
  if (displayPrefixed) {
    platform::Print("Use original EDID\n");
    std::memcpy(SettingsWorkBuffer(), displayBlock, kDisplayBlockSize);
  }

  const uint32_t length = area.size < kSettingsWorkBufferSize ? area.size : kSettingsWorkBufferSize;
  const uint32_t offset = RecordOffset(panel, module);
  if (int result = TakeOriginalIdentity(SettingsWorkBuffer() + offset, length - offset,
                                        serialNumber, hardwareRevision);
      result != kExitOk) {
    return result;
  }
  uint8_t errorByte = 0;
  int result = kExitOk;
  const int status = WriteArea(ModuleMemoryArea(area, 0, length), SettingsWorkBuffer(), &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't write data: %s\n", StatusText(status, errorByte));
    result = kExitDruxFailed;
  }
  return NoticePowerCycle(uint32_t(panel), uint32_t(module), result);
}

}  // namespace drux
