#include "sim/devices/panel_receiver.h"

#include <cstring>

#include "sim/core/command_call.h"
#include "sim/devices/firmware_image.h"
#include "sim/devices/fpga_module.h"

namespace sim::internal {
namespace {

constexpr uint32_t kSmall = 0x40000;
constexpr uint32_t kMedium = 0xA0000;
constexpr uint32_t kLarge = 0x300000;
constexpr uint32_t kHeaderOffset = 16;
constexpr uint32_t kBlock = 16;
constexpr uint16_t kCrcStart = 0xFFFF;

constexpr ReceiverType kTypes[] = {
    {0x722C, "KVNR", kSmall, true, false},   {0xE05D, "KVN8", kSmall, true, false},
    {0x0DE0, "KVNR", kMedium, false, false}, {0xE035, "KVN9", kMedium, false, false},
    {0x725C, "KR3D", kMedium, false, false}, {0x7238, "KR3E", kMedium, false, false},
    {0xB261, "KR4D", kLarge, false, true},   {0xB25D, "KR4K", kLarge, false, true},
};

bool IsTrailer(const uint8_t* block) {
  return block[0] == 0xFF && block[1] == 0xFF && std::memcmp(block + 12, "FPGA", 4) == 0;
}

// Digits from byte 6 up to the first other character.
uint32_t TrailerVersion(const uint8_t* block) {
  uint32_t version = 0;
  for (int i = 6; i < 12 && block[i] >= '0' && block[i] <= '9'; ++i) {
    version = version * 10 + uint32_t(block[i] - '0');
  }
  return version;
}

bool OldFormatImage(Machine& machine, int panel, uint32_t size, uint32_t* version, char* id) {
  uint8_t block[kBlock];
  uint8_t sum = 0;
  for (uint32_t at = 0; at < size; at += kBlock) {
    if (!AreaCopyOut(machine, Area::PanelFlash, panel, at, block, kBlock)) {
      return false;
    }
    for (uint8_t byte : block) {
      sum = uint8_t(sum + byte);
    }
    if (IsTrailer(block)) {
      std::memcpy(id, block + 2, 4);
      *version = TrailerVersion(block);
      return sum == 0;
    }
  }
  return false;
}

bool NewFormatImage(Machine& machine, int panel, uint32_t size, uint32_t* version, char* id) {
  uint8_t chunk[4096];
  uint16_t crc = kCrcStart;
  for (uint32_t at = 0; at < size; at += sizeof chunk) {
    const uint32_t length = size - at < sizeof chunk ? size - at : uint32_t(sizeof chunk);
    if (!AreaCopyOut(machine, Area::PanelFlash, panel, at, chunk, length)) {
      return false;
    }
    if (at == 0) {
      if (ImageCrc(kCrcStart, chunk + kHeaderOffset, 16) != 0 ||
          !ReadImageVersionText(chunk + kHeaderOffset + 4, version)) {
        return false;
      }
      std::memcpy(id, chunk + kHeaderOffset, 4);
    }
    crc = ImageCrc(crc, chunk, length);
  }
  return crc == 0;
}

void TakeOver(PanelConfig& panel, const ReceiverType& running, uint32_t version, const char* id) {
  panel.linkFpgaMajor = uint8_t((version / 100) & 0xF);
  panel.linkFpgaMinor = uint8_t(version % 100);
  if (std::memcmp(running.id, id, 4) != 0) {
    char text[5] = {id[0], id[1], id[2], id[3], 0};
    if (const ReceiverType* other = ReceiverTypeOfImage(text, running.imageSize)) {
      panel.versionId = other->versionId;
    }
  }
}

// The link module's running copy, when it started without a CRC error.
bool LinkModuleImage(Machine& machine, int panel, uint32_t* version, char* id) {
  FpgaUnit unit;
  uint8_t header[16];
  if (!PanelFpgaUnit(machine, panel, kLinkModuleDevice, &unit) ||
      (*unit.flags & unit.crcBit) != 0 || !FpgaHeaderBytes(machine, unit, header) ||
      ImageCrc(kCrcStart, header, sizeof header) != 0 ||
      !ReadImageVersionText(header + 4, version)) {
    return false;
  }
  std::memcpy(id, header, 4);
  return true;
}

}  // namespace

const ReceiverType* ReceiverTypeOf(uint16_t versionId) {
  for (const ReceiverType& type : kTypes) {
    if (type.versionId == versionId) {
      return &type;
    }
  }
  return nullptr;
}

const ReceiverType* ReceiverTypeOfImage(const char* id, uint32_t imageSize) {
  for (const ReceiverType& type : kTypes) {
    if (std::memcmp(type.id, id, 4) == 0 && type.imageSize == imageSize) {
      return &type;
    }
  }
  return nullptr;
}

bool RunsFromPanelFlash(const PanelConfig& panel) {
  const ReceiverType* type = ReceiverTypeOf(panel.versionId);
  if (type == nullptr || type->largeModule) {
    return false;
  }
  return type->imageSize == kSmall || !panel.moduleFunctions ||
         type->versionId == kPanelFlashDevicePanel;
}

bool PanelFlashImage(Machine& machine, int panel, const ReceiverType& type, uint32_t* version,
                     char* id) {
  return type.oldFormat ? OldFormatImage(machine, panel, type.imageSize, version, id)
                        : NewFormatImage(machine, panel, type.imageSize, version, id);
}

bool IsReceiverUnit(const PanelConfig& panel, int device) {
  const ReceiverType* type = ReceiverTypeOf(panel.versionId);
  if (type == nullptr) {
    return false;
  }
  if (panel.versionId == kPanelFlashDevicePanel) {
    return device == 0;
  }
  return device == kLinkModuleDevice && !RunsFromPanelFlash(panel);
}

void RestartPanel(Machine& machine, int panel) {
  PanelConfig& config = machine.config.panels[panel];
  const ReceiverType* type = ReceiverTypeOf(config.versionId);
  if (type == nullptr) {
    return;
  }
  uint32_t version = 0;
  char id[4] = {};
  if (RunsFromPanelFlash(config)) {
    if (!PanelFlashImage(machine, panel, *type, &version, id)) {
      return;
    }
  } else if (!LinkModuleImage(machine, panel, &version, id)) {
    return;
  }
  TakeOver(config, *type, version, id);
  machine.configDirty = true;
}

}  // namespace sim::internal

namespace sim {

namespace {

// Old-format images end early: the trailer scan stops where the data ends.
constexpr uint32_t kOldFormatDataSize = 0x30000;

}  // namespace

bool SetUpPanelReceiver(int panel, uint32_t counter, bool high) {
  internal::Machine& machine = internal::LoadedMachine();
  if (panel < 0 || panel >= kPanelChannels) {
    return false;
  }
  PanelConfig& config = machine.config.panels[panel];
  const internal::ReceiverType* type = internal::ReceiverTypeOf(config.versionId);
  if (type == nullptr) {
    return false;
  }
  const uint32_t version = config.linkFpgaMajor * 100u + config.linkFpgaMinor;
  if (config.versionId == internal::kPanelFlashDevicePanel) {
    internal::CopyText(config.fpga[0].kind, sizeof config.fpga[0].kind, type->id);
  }
  machine.configDirty = true;
  if (!internal::RunsFromPanelFlash(config)) {
    return SetUpFpgaModule(panel, internal::kLinkModuleDevice, type->id, version, counter, high);
  }
  ImageRecipe recipe;
  recipe.format = type->oldFormat ? ImageFormat::InfoTrailer : ImageFormat::HeaderAtStart;
  std::memcpy(recipe.id, type->id, 4);
  SetRecipeVersion(recipe, version);
  recipe.counter = counter;
  recipe.size = type->oldFormat ? kOldFormatDataSize : type->imageSize;
  recipe.seed = DefaultImageSeed(recipe);
  return internal::CopyImageIn(machine, recipe, Area::PanelFlash, panel, 0);
}

const char* PanelReceiverSource(int panel) {
  if (panel < 0 || panel >= kPanelChannels) {
    return nullptr;
  }
  const PanelConfig& config = internal::LoadedMachine().config.panels[panel];
  if (internal::ReceiverTypeOf(config.versionId) == nullptr) {
    return nullptr;
  }
  return internal::RunsFromPanelFlash(config) ? "panel flash" : "link module";
}

}  // namespace sim
