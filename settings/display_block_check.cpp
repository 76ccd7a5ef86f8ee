// Check and show of a display block: EDID, then the internal data with the panel's identity.
#include "controller/byte_fields.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/display_block.h"
#include "settings/panel_factory_settings.h"

namespace drux {

namespace {

// First failed check with its message, or 0.
int CheckDisplayBlockParts(const uint8_t* block, bool fileHint) {
  if (!HasEdidHeader(block)) {
    platform::PrintError("ERROR: Factory settings do not contain EDID.\n");
    return kExitInvalidData;
  }
  if (!EdidChecksumValid(block)) {
    platform::PrintError("ERROR: Invalid checksum of EDID.");
    return kExitInvalidData;
  }
  if (!HasInternalDataMarker(block)) {
    platform::PrintError("ERROR: Factory settings do not contain Keltrom internal data.\n");
    return kExitInvalidData;
  }
  if (!InternalDataChecksumValid(block)) {
    platform::PrintError("ERROR: Invalid checksum of Keltrom internal data.\n");
    // A PC module's record sums to 0, not to 0xAA: a likely mix-up of files.
    if (fileHint) {
      platform::PrintError("       Maybe these are factory settings for a PC.\n");
    }
    return kExitInvalidData;
  }
  return kExitOk;
}

}  // namespace

int CheckDisplayBlock(const uint8_t* block, bool fileHint, uint32_t* deviceId, uint32_t* version) {
  if (int result = CheckDisplayBlockParts(block, fileHint); result != kExitOk) {
    return result;
  }
  const uint32_t id = LoadBigEndian32(block + kDisplayDeviceIdOffset);
  platform::Print(" Model number: %.40s\n",
                  reinterpret_cast<const char*>(block + kDisplayModelNumberOffset));
  platform::Print(" Serial number: %.11s\n",
                  reinterpret_cast<const char*>(block + kDisplaySerialNumberOffset));
  platform::Print(" Hardware revision: %.4s\n",
                  reinterpret_cast<const char*>(block + kDisplayHardwareRevisionOffset));
  platform::Print(" Device ID: 0x%08lx\n", static_cast<unsigned long>(id));
  platform::Print(" Compatibility ID: 0x%04x\n",
                  unsigned(LoadBigEndian16(block + kDisplayCompatibilityIdOffset)));
  if (deviceId != nullptr) {
    *deviceId = id;
  }
  if (version != nullptr) {
    *version = block[kDisplayVersionOffset];
  }
  return kExitOk;
}

}  // namespace drux
