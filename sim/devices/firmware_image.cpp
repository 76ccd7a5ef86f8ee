#include "sim/devices/firmware_image.h"

#include "controller/registers.h"
#include "sim/core/command_call.h"
#include "sim/devices/fpga_image.h"

namespace sim::internal {
namespace {

constexpr uint32_t kHeaderOffset = 16;
constexpr uint32_t kHeaderSize = 16;
// The code part of the image; the rest of the area up to the CRC stays erased.
constexpr uint32_t kCodeEnd = 0x20000;
constexpr uint16_t kCrcStart = 0xFFFF;
constexpr uint8_t kFirstPcType = 14;  // EX41
constexpr uint8_t kLastPcType = 24;   // VP20
constexpr uint8_t kLastSmallFlashPcType = 17;

// Image CRCs as the FPGA images have them: one CRC-16 for every image of the simulator.
uint16_t Crc(uint16_t crc, const uint8_t* bytes, size_t length) {
  return Crc16(crc, bytes, length);
}

// "EX4F", "VP6F" ...: the model's letters and first digit.
void FirmwareId(uint8_t pcType, char* id) {
  const char* model = PcModelName(pcType);
  id[0] = model[0];
  id[1] = model[1];
  id[2] = model[2];
  id[3] = 'F';
}

struct ImageRecipe {
  uint32_t size;
  uint8_t header[kHeaderSize];
};

ImageRecipe MakeRecipe(uint8_t pcType, uint32_t size, uint32_t version, uint32_t counter) {
  ImageRecipe recipe{};
  recipe.size = size;
  uint8_t* h = recipe.header;
  FirmwareId(pcType, reinterpret_cast<char*>(h));
  for (int i = 3; i >= 0; --i) {
    h[4 + i] = uint8_t('0' + version % 10);
    version /= 10;
  }
  PutWord32(h + 8, counter);
  PutWord16(h + 12, 0);
  const uint16_t crc = Crc(kCrcStart, h, 14);
  h[14] = uint8_t(crc >> 8);
  h[15] = uint8_t(crc);
  return recipe;
}

// Code bytes that look like code: a fixed pseudo-random sequence.
uint8_t CodeByte(uint32_t index) {
  uint32_t x = index * 2654435761u;
  x ^= x >> 15;
  return uint8_t(x >> 8);
}

// Byte `index` of the image without its CRC.
uint8_t ImageByte(const ImageRecipe& recipe, uint32_t index) {
  if (index >= kHeaderOffset && index < kHeaderOffset + kHeaderSize) {
    return recipe.header[index - kHeaderOffset];
  }
  return index < kCodeEnd ? CodeByte(index) : 0xFF;
}

uint16_t ImageCrc(const ImageRecipe& recipe) {
  uint8_t chunk[256];
  uint16_t crc = kCrcStart;
  const uint32_t dataEnd = recipe.size - 2;
  for (uint32_t at = 0; at < dataEnd; at += sizeof chunk) {
    uint32_t length = dataEnd - at < sizeof chunk ? dataEnd - at : uint32_t(sizeof chunk);
    for (uint32_t i = 0; i < length; ++i) {
      chunk[i] = ImageByte(recipe, at + i);
    }
    crc = Crc(crc, chunk, length);
  }
  return crc;
}

// Writes the image bytes that fall into [offset, offset + length) of an area whose image
// starts at imageStart.
void FillImage(const ImageRecipe& recipe, uint32_t imageStart, uint32_t offset, uint8_t* bytes,
               uint32_t length) {
  const uint64_t imageEnd = uint64_t(imageStart) + recipe.size;
  const uint64_t from = offset > imageStart ? offset : imageStart;
  const uint64_t to = uint64_t(offset) + length < imageEnd ? uint64_t(offset) + length : imageEnd;
  if (from >= to) {
    return;
  }
  bool withCrc = to > imageEnd - 2;
  const uint16_t crc = withCrc ? ImageCrc(recipe) : 0;
  for (uint64_t at = from; at < to; ++at) {
    const uint32_t index = uint32_t(at - imageStart);
    uint8_t value = ImageByte(recipe, index);
    if (index == recipe.size - 2) {
      value = uint8_t(crc >> 8);
    } else if (index == recipe.size - 1) {
      value = uint8_t(crc);
    }
    bytes[at - offset] = value;
  }
}

uint32_t VersionOf(uint16_t firmwareVersion) {
  return uint32_t(firmwareVersion >> 8) * 100 + (firmwareVersion & 0xFF);
}

bool ReadVersionText(const uint8_t* text, uint32_t* version) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    value = value * 10 + uint32_t(text[i] - '0');
  }
  *version = value;
  return true;
}

bool IdleImageIntact(Machine& machine, uint32_t start, uint32_t size) {
  uint8_t chunk[4096];
  uint16_t crc = kCrcStart;
  for (uint32_t at = 0; at < size; at += sizeof chunk) {
    const uint32_t length = size - at < sizeof chunk ? size - at : uint32_t(sizeof chunk);
    if (!AreaCopyOut(machine, Area::Flash, 0, start + at, chunk, length)) {
      return false;
    }
    crc = Crc(crc, chunk, length);
  }
  return crc == 0;
}

}  // namespace

bool FirmwareLayoutOf(uint8_t pcType, FirmwareLayout* layout) {
  if (pcType < kFirstPcType || pcType > kLastPcType) {
    return false;
  }
  *layout = pcType <= kLastSmallFlashPcType ? FirmwareLayout{0x100000, 0x100000, 0x200000}
                                            : FirmwareLayout{0x300000, 0x300000, 0x600000};
  return true;
}

uint32_t RunningFirmwareStart(const MachineConfig& config, const FirmwareLayout& layout) {
  return (config.systemFlags & drux::kSystemDruxHighArea) != 0 ? layout.highStart : layout.lowStart;
}

uint32_t IdleFirmwareStart(const MachineConfig& config, const FirmwareLayout& layout) {
  return (config.systemFlags & drux::kSystemDruxHighArea) != 0 ? layout.lowStart : layout.highStart;
}

bool HasDefaultFirmware(const MachineConfig& config) {
  FirmwareLayout layout;
  return FirmwareLayoutOf(config.pcType, &layout);
}

bool DefaultFirmwareCovers(const MachineConfig& config, uint32_t offset, uint32_t length) {
  FirmwareLayout layout;
  if (!FirmwareLayoutOf(config.pcType, &layout)) {
    return false;
  }
  const uint64_t start = RunningFirmwareStart(config, layout);
  return offset < start + layout.imageSize && uint64_t(offset) + length > start;
}

void FillDefaultFirmware(const MachineConfig& config, uint32_t offset, uint8_t* bytes,
                         uint32_t length) {
  FirmwareLayout layout;
  if (!FirmwareLayoutOf(config.pcType, &layout)) {
    return;
  }
  const ImageRecipe recipe = MakeRecipe(config.pcType, layout.imageSize,
                                        VersionOf(config.firmwareVersion), config.updateCounter);
  FillImage(recipe, RunningFirmwareStart(config, layout), offset, bytes, length);
}

void TakeOverUpdatedFirmware(Machine& machine) {
  MachineConfig& config = machine.config;
  FirmwareLayout layout;
  if (!FirmwareLayoutOf(config.pcType, &layout)) {
    return;
  }
  const uint32_t idle = IdleFirmwareStart(config, layout);
  uint8_t header[kHeaderSize];
  uint32_t version = 0;
  if (!AreaCopyOut(machine, Area::Flash, 0, idle + kHeaderOffset, header, sizeof header) ||
      Crc(kCrcStart, header, sizeof header) != 0 || !ReadVersionText(header + 4, &version) ||
      GetWord32(header + 8) <= config.updateCounter ||
      !IdleImageIntact(machine, idle, layout.imageSize)) {
    return;
  }
  config.systemFlags ^= drux::kSystemDruxHighArea;
  config.systemFlags &= ~drux::kSystemDruxCrcError;
  config.updateCounter = GetWord32(header + 8);
  config.firmwareVersion = uint16_t((version / 100) << 8 | (version % 100));
  machine.configDirty = true;
}

uint16_t ImageCrc(uint16_t crc, const uint8_t* bytes, size_t length) {
  return Crc(crc, bytes, length);
}

bool ReadImageVersionText(const uint8_t* text, uint32_t* version) {
  return ReadVersionText(text, version);
}

}  // namespace sim::internal
