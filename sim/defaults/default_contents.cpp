// What the factory left in the EEPROMs of the default machine: a new user's first run should
// meet a believable PC, not erased memory. The system unit carries one of the devices whose
// parent device ID druxsvcadmin corrects, still with the parent ID it left the factory with;
// the fan kit a plain record; each connected panel its display block (and, on a panel with
// modules, an extended record behind it); the controller its key configuration and its own
// firmware, the link transmitter and the converter their FPGA images. Identity texts come from
// the modules' identity data, so that every read of the same module tells the same story.
// Machines made by CreateMachine stay erased.
#include <cstring>

#include "sim/core/machine.h"
#include "sim/devices/factory_settings_image.h"
#include "sim/devices/firmware_image.h"
#include "sim/devices/fpga_module.h"
#include "sim/devices/panel_settings.h"

namespace sim::internal {

namespace {

constexpr int kSystemUnit = 0;
constexpr int kFanKit = 8;
constexpr int kLinkTransmitter = 3;
// Areas of an EX64: both modules keep their records in EEPROM device 0.
constexpr uint32_t kSystemUnitStart = 0;
constexpr uint32_t kFanKitStart = 1280;
constexpr uint32_t kLinkTransmitterStart = 3 * kSettingsDeviceSize;  // EEPROM 3 at 0
constexpr uint16_t kBuiltInDisplay = 0x5886;
constexpr uint32_t kFeatureKeyConfiguration = 1u << 16;

// The system unit's device needs parent 0xEF98; the factory wrote its sibling's 0xEF97.
constexpr uint32_t kSystemUnitDeviceId = 0xF0BE;
constexpr uint32_t kSystemUnitFactoryParentId = 0xEF97;
constexpr uint32_t kFanKitDeviceId = 0xE2A1;
constexpr uint32_t kLinkTransmitterDeviceId = 0xF1C3;
constexpr uint32_t kPanelDeviceId = 0xD315;

void TakeIdentity(FactoryRecordFields& fields, const ModuleConfig& module) {
  SetRecordText(fields.hardwareRevision, sizeof fields.hardwareRevision, module.hardwareRevision);
  SetRecordText(fields.serialNumber, sizeof fields.serialNumber, module.serialNumber);
  SetRecordText(fields.modelNumber, sizeof fields.modelNumber, module.modelNumber);
}

// Copies the part of an image at `imageStart` that falls into the bytes [offset, offset+length).
void CopyOverlap(const uint8_t* image, uint32_t imageStart, size_t imageLength, uint32_t offset,
                 uint8_t* bytes, uint32_t length) {
  uint64_t from = imageStart > offset ? imageStart : offset;
  uint64_t imageEnd = uint64_t(imageStart) + imageLength;
  uint64_t bytesEnd = uint64_t(offset) + length;
  uint64_t to = imageEnd < bytesEnd ? imageEnd : bytesEnd;
  if (from < to) {
    std::memcpy(bytes + (from - offset), image + (from - imageStart), size_t(to - from));
  }
}

void FillModuleRecord(const FactoryRecordFields& fields, uint32_t start, uint32_t offset,
                      uint8_t* bytes, uint32_t length) {
  uint8_t record[128];
  size_t recordBytes = BuildFactoryRecord(fields, record, sizeof record);
  CopyOverlap(record, start, recordBytes, offset, bytes, length);
}

void FillModuleSettings(const MachineConfig& config, uint32_t offset, uint8_t* bytes,
                        uint32_t length) {
  if (config.modules[kSystemUnit].fitted) {
    FactoryRecordFields fields;
    fields.deviceId = kSystemUnitDeviceId;
    fields.compatibilityId = 0x0003;
    fields.parentDeviceId = kSystemUnitFactoryParentId;
    fields.parentCompatibilityId = 0x0001;
    fields.version = 0x15;
    TakeIdentity(fields, config.modules[kSystemUnit]);
    FillModuleRecord(fields, kSystemUnitStart, offset, bytes, length);
  }
  if (config.modules[kFanKit].fitted) {
    FactoryRecordFields fields;
    fields.deviceId = kFanKitDeviceId;
    fields.compatibilityId = 0x0001;
    fields.version = 0x11;
    TakeIdentity(fields, config.modules[kFanKit]);
    FillModuleRecord(fields, kFanKitStart, offset, bytes, length);
  }
  if (config.modules[kLinkTransmitter].fitted) {
    FactoryRecordFields fields;
    fields.deviceId = kLinkTransmitterDeviceId;
    fields.compatibilityId = 0x0004;
    fields.version = 0x12;
    TakeIdentity(fields, config.modules[kLinkTransmitter]);
    FillModuleRecord(fields, kLinkTransmitterStart, offset, bytes, length);
  }
}

// Panels whose modules keep factory settings (devices 0-3 of the panel's EEPROMs); modules 0
// and 2 begin with a display block, their record follows it.
constexpr uint16_t kPanelsWithModuleAreas[] = {0x0DE0, 0x7238, 0x725C, 0xABCD,
                                               0xB25D, 0xB261, 0xE035};
constexpr int kPanelModuleAreas = 4;
constexpr uint32_t kDisplayBlockLength = 256;

bool HasModuleAreas(const PanelConfig& panel) {
  for (uint16_t id : kPanelsWithModuleAreas) {
    if (panel.connected && panel.versionId == id) {
      return true;
    }
  }
  return false;
}

void FillPanelModuleSettings(const PanelConfig& panel, uint32_t offset, uint8_t* bytes,
                             uint32_t length) {
  for (int module = 0; module < kPanelModuleAreas; ++module) {
    if (!panel.modules[module].fitted) {
      continue;
    }
    FactoryRecordFields fields;
    fields.deviceId = module == 0 ? kPanelDeviceId : panel.modules[module].id;
    fields.compatibilityId = 0x0001;
    fields.version = 0x10;
    TakeIdentity(fields, panel.modules[module]);
    uint32_t start = uint32_t(module) * kSettingsDeviceSize;
    // 0x7238 keeps only the display block in module 0.
    if (module == 0 && panel.versionId == 0x7238) {
      continue;
    }
    if (module == 0 || module == 2) {
      uint8_t block[kDisplayBlockBytes];
      BuildDisplayBlock(fields, block);
      CopyOverlap(block, start, sizeof block, offset, bytes, length);
      start += kDisplayBlockLength;
    }
    FillModuleRecord(fields, start, offset, bytes, length);
  }
}

bool HasDisplayBlock(const PanelConfig& panel) {
  return panel.connected && panel.versionId != kBuiltInDisplay;
}

}  // namespace

bool HasDefaultContents(const MachineConfig& config, Area area, int panel) {
  if (area == Area::ModuleSettings) {
    return config.modules[kSystemUnit].fitted || config.modules[kFanKit].fitted ||
           config.modules[kLinkTransmitter].fitted;
  }
  if (area == Area::Flash) {
    return HasDefaultFirmware(config);
  }
  if (area == Area::PanelDisplay && panel >= 0 && panel < kPanelChannels) {
    return HasDisplayBlock(config.panels[panel]);
  }
  if (area == Area::PanelModuleSettings && panel >= 0 && panel < kPanelChannels) {
    return HasModuleAreas(config.panels[panel]);
  }
  if (area == Area::KeyConfiguration) {
    return (config.featureRegister & kFeatureKeyConfiguration) != 0;
  }
  if (area == Area::LinkFlash || area == Area::PanelFpgaFlash) {
    return FpgaDefaultCovers(config, area, panel, 0, AreaSizeOf(config, area));
  }
  return false;
}

bool DefaultContentsCover(const MachineConfig& config, Area area, int panel, uint32_t offset,
                          uint32_t length) {
  if (area == Area::Flash) {
    return DefaultFirmwareCovers(config, offset, length);
  }
  if (area == Area::LinkFlash || area == Area::PanelFpgaFlash) {
    return FpgaDefaultCovers(config, area, panel, offset, length);
  }
  return HasDefaultContents(config, area, panel);
}

void FillDefaultContents(const MachineConfig& config, Area area, int panel, uint32_t offset,
                         uint8_t* bytes, uint32_t length) {
  if (!HasDefaultContents(config, area, panel)) {
    return;
  }
  if (area == Area::ModuleSettings) {
    FillModuleSettings(config, offset, bytes, length);
  } else if (area == Area::Flash) {
    FillDefaultFirmware(config, offset, bytes, length);
  } else if (area == Area::KeyConfiguration) {
    FillKeyConfiguration(config, offset, bytes, length);
  } else if (area == Area::LinkFlash || area == Area::PanelFpgaFlash) {
    FillFpgaDefaultImage(config, area, panel, offset, bytes, length);
  } else if (area == Area::PanelModuleSettings) {
    FillPanelModuleSettings(config.panels[panel], offset, bytes, length);
  } else {
    FillPanelSettings(config.panels[panel], offset, bytes, length);
  }
}

}  // namespace sim::internal
