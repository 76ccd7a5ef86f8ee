// Check of a panel's extended record: a factory-settings record with its FACT header at offset
// 32, whose identity should match the display block in front of it.
#include "controller/byte_fields.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/display_block.h"
#include "settings/factory_record.h"
#include "settings/panel_factory_settings.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

constexpr size_t kExtendedFactOffset = 32;
constexpr size_t kModelNumberWidth = 40;
constexpr size_t kSerialNumberWidth = 11;
constexpr size_t kHardwareRevisionWidth = 4;

const char* Mismatch(bool differs) {
  return differs ? "-> MISMATCH!" : "";
}

// Texts are compared as far as they are shown: a field without its NUL must not drag the
// comparison into the next field.
bool TextsDiffer(const uint8_t* a, const uint8_t* b, size_t width) {
  for (size_t i = 0; i < width; ++i) {
    if (a[i] != b[i]) {
      return true;
    }
    if (a[i] == 0) {
      return false;
    }
  }
  return false;
}

void ShowTextField(const char* format, const uint8_t* fact, size_t factOffset, const uint8_t* block,
                   size_t blockOffset, size_t width) {
  platform::Print(format, reinterpret_cast<const char*>(fact + factOffset),
                  Mismatch(TextsDiffer(fact + factOffset, block + blockOffset, width)));
}

void ShowIdentityAgainstBlock(const uint8_t* fact, const uint8_t* block) {
  ShowTextField(" Model number: %.40s %s\n", fact, kFactModelNumberOffset, block,
                kDisplayModelNumberOffset, kModelNumberWidth);
  ShowTextField(" Serial number: %.11s %s\n", fact, kFactSerialNumberOffset, block,
                kDisplaySerialNumberOffset, kSerialNumberWidth);
  ShowTextField(" Hardware revision: %.4s %s\n", fact, kFactHardwareRevisionOffset, block,
                kDisplayHardwareRevisionOffset, kHardwareRevisionWidth);
  // The record keeps its IDs little-endian, the display block big-endian.
  const uint32_t deviceId = LoadLittleEndian32(fact + kFactDeviceIdOffset);
  platform::Print(" Device ID: 0x%08lx %s\n", static_cast<unsigned long>(deviceId),
                  Mismatch(deviceId != LoadBigEndian32(block + kDisplayDeviceIdOffset)));
  const uint16_t compatibilityId = LoadLittleEndian16(fact + kFactCompatibilityIdOffset);
  platform::Print(
      " Compatibility ID: 0x%04x %s\n", unsigned(compatibilityId),
      Mismatch(compatibilityId != LoadBigEndian16(block + kDisplayCompatibilityIdOffset)));
}

}  // namespace

int CheckExtendedRecord(const uint8_t* record, size_t length, const uint8_t* displayBlock) {
  if (IsErasedRecord(record)) {
    platform::PrintError("ERROR: No factory settings available.\n");
    return kExitNoDevice;
  }
  if (!HasHeadTag(record)) {
    platform::PrintError("ERROR: Invalid header.\n");
    return kExitInvalidData;
  }
  const HeadHeader head = ReadHeadHeader(record);
  // The static data must lie within the bytes given: a write leaves the panel's old bytes
  // behind a short file, so a sum that counted zeros there would not hold on the panel.
  if (head.staticLength > length || Checksum8(record, head.staticLength) != 0) {
    platform::PrintError("ERROR: Invalid checksum of static data (%d bytes).\n",
                         int(head.staticLength));
    return kExitInvalidData;
  }
  platform::Print(" Version: %u.%02u\n", unsigned(head.versionByte >> 4),
                  unsigned(head.versionByte & 0x0F));
  const uint8_t* fact = record + kExtendedFactOffset;
  if (!HasFactTag(fact)) {
    platform::PrintError("WARNING: FACT header not found - location not at offset 0x20?\n");
    return kExitInvalidData;
  }
  ShowIdentityAgainstBlock(fact, displayBlock);
  return kExitOk;
}

}  // namespace drux
