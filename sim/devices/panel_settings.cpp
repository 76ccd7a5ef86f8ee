// Panel types with modules, and the factory settings that the default machine's panels left
// the factory with.
#include "sim/devices/panel_settings.h"

#include <cstring>

#include "sim/devices/factory_settings_image.h"

namespace sim {

namespace {

constexpr uint16_t kPanelsWithModules[] = {0x0DE0, 0x7238, 0x725C, 0xABCD, 0xB25D, 0xB261, 0xE035};
constexpr uint32_t kDisplayOnlyBytes = 256;

constexpr uint32_t kPanelDeviceId = 0xD315;
constexpr uint16_t kPanelCompatibilityId = 0x0002;
constexpr uint8_t kDisplayVersion = 3;
constexpr uint8_t kExtendedRecordVersion = 0x12;

// Copies the part of `image` (placed at imageStart) that falls into [offset, offset + length).
void CopyOverlap(const uint8_t* image, uint32_t imageStart, size_t imageLength, uint32_t offset,
                 uint8_t* bytes, uint32_t length) {
  const uint64_t from = imageStart > offset ? imageStart : offset;
  const uint64_t imageEnd = uint64_t(imageStart) + imageLength;
  const uint64_t bytesEnd = uint64_t(offset) + length;
  const uint64_t to = imageEnd < bytesEnd ? imageEnd : bytesEnd;
  if (from < to) {
    std::memcpy(bytes + (from - offset), image + (from - imageStart), size_t(to - from));
  }
}

// The identity comes from the panel's module 0, as its identity commands tell it.
FactoryRecordFields PanelIdentity(const PanelConfig& panel) {
  FactoryRecordFields fields;
  fields.deviceId = kPanelDeviceId;
  fields.compatibilityId = kPanelCompatibilityId;
  SetRecordText(fields.hardwareRevision, sizeof fields.hardwareRevision,
                panel.modules[0].hardwareRevision);
  SetRecordText(fields.serialNumber, sizeof fields.serialNumber, panel.modules[0].serialNumber);
  SetRecordText(fields.modelNumber, sizeof fields.modelNumber, panel.modules[0].modelNumber);
  return fields;
}

}  // namespace

bool PanelTypeHasModules(uint16_t versionId) {
  for (uint16_t id : kPanelsWithModules) {
    if (id == versionId) {
      return true;
    }
  }
  return false;
}

uint32_t PanelSettingsBytes(const PanelConfig& panel) {
  return PanelTypeHasModules(panel.versionId) ? kPanelSettingsWithModulesBytes : kDisplayOnlyBytes;
}

namespace internal {

void FillPanelSettings(const PanelConfig& panel, uint32_t offset, uint8_t* bytes, uint32_t length) {
  FactoryRecordFields fields = PanelIdentity(panel);
  fields.version = kDisplayVersion;
  uint8_t block[kDisplayBlockBytes];
  BuildDisplayBlock(fields, block);
  CopyOverlap(block, 0, sizeof block, offset, bytes, length);
  if (!PanelTypeHasModules(panel.versionId)) {
    return;
  }
  fields.version = kExtendedRecordVersion;
  uint8_t record[128];
  const size_t recordBytes = BuildFactoryRecord(fields, record, sizeof record);
  CopyOverlap(record, kDisplayBlockBytes, recordBytes, offset, bytes, length);
}

}  // namespace internal

}  // namespace sim
