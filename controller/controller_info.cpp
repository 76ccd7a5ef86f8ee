// Controller-level register queries: detection and the PC status bits. They take no lock and
// are valid at any time.
#include "controller/controller_info.h"

#include "controller/registers.h"

namespace drux {

namespace {

bool SystemStatusBit(uint32_t bit) {
  return (ReadRegister(kPortSystemStatus) & bit) != 0;
}

}  // namespace

int DetectController(int* variant) {
  const uint32_t id = ReadRegister(kPortIdentification);
  if (IdLetter(id, 0) != 'D' || IdLetter(id, 1) != 'R' || IdLetter(id, 2) != 'U') {
    return 0;
  }
  const char last = IdLetter(id, 3);
  if (last != 'X' && last != 'U') {
    return 0;
  }
  if (variant != nullptr) {
    *variant = last == 'U' ? 1 : 0;
  }
  return 1;
}

uint32_t PanelChannelCount() {
  return (ReadRegister(kPortCapability) & kCapabilityOnePanelChannel) != 0 ? 1 : 16;
}

bool KeyConfigurationAvailable() {
  return (ReadRegister(kPortFeature) & kFeatureKeyConfiguration) != 0;
}

uint8_t PcTypeCode() {
  return uint8_t(ReadRegister(kPortSystemStatus) & kSystemPcTypeMask);
}

bool DruxStartedFromHighArea() {
  return SystemStatusBit(kSystemDruxHighArea);
}

bool LinkStartedFromHighArea() {
  return SystemStatusBit(kSystemLinkHighArea);
}

bool LinkFpgaCrcError() {
  return SystemStatusBit(kSystemLinkCrcError);
}

bool DruxCrcError() {
  return SystemStatusBit(kSystemDruxCrcError);
}

uint32_t DruxUpdateCounter() {
  return ReadRegister(kPortUpdateCounter);
}

uint32_t BiosSettingsRegister() {
  return ReadRegister(kPortBiosSettings);
}

}  // namespace drux
