#include "sim/devices/fpga_module.h"

#include <cstring>

#include "controller/registers.h"
#include "sim/devices/panel_receiver.h"

namespace sim::internal {

namespace {

constexpr uint16_t kCrcStart = 0xFFFF;
constexpr uint32_t kCheckPiece = 4096;
constexpr uint16_t kStateHigh = 1u << 0;
constexpr uint16_t kStateCrcError = 1u << 1;
constexpr uint8_t kRequestPanelReboot = 2;
constexpr uint8_t kRequestConverterReboot = 8;

struct KindLayout {
  const char* kind;
  FpgaLayout layout;
};

// Every kind not listed here has the layout of the first KVN generation. Further modules (the
// panels' link receivers, an HDBaseT module with its header at the end, old images with an
// info trailer) add their rows; the model takes everything else from the layout.
constexpr FpgaLayout kKvnLayout{0x80000, 0x120000, 0xA0000, ImageFormat::HeaderAtStart};
constexpr FpgaLayout kKvn4Layout{0x100000, 0x500000, 0x300000, ImageFormat::HeaderAtStart};
constexpr KindLayout kLayouts[] = {
    {"V4K4", kKvn4Layout},
    {"V5K4", kKvn4Layout},
    {"V6K4", kKvn4Layout},
    {"KR4B", {0x100000, 0x400000, 0x300000, ImageFormat::HeaderAtStart}},
    // Link modules of the 3 MiB link receivers, and the HDBaseT module (header at the end).
    {"KR4D", {0x300000, 0x600000, 0x300000, ImageFormat::HeaderAtStart}},
    {"KR4K", {0x300000, 0x600000, 0x300000, ImageFormat::HeaderAtStart}},
    {"VRTP", {0x100000, 0x400000, 0x210000, ImageFormat::HeaderAtEnd}},
};
// Device 0 of a panel with version ID 0x0DE0 runs the receiver image that the compatible
// flash commands write: its one copy is the panel flash from 0.
constexpr FpgaLayout kPanelFlashLayout{0, 0, 0xA0000, ImageFormat::HeaderAtStart};

// Factory images of the default machine.
constexpr uint32_t kFactoryTransmitterVersion = 102;
constexpr uint32_t kFactoryTransmitterCounter = 3;
constexpr uint32_t kFactoryPanelVersion = 105;
constexpr uint32_t kFactoryPanelCounter = 2;

// A panel's link receiver runs the version that the panel reports.
uint32_t FactoryPanelVersion(const MachineConfig& config, int key) {
  const PanelConfig& panel = config.panels[key / kPanelFpgaDevices];
  if (IsReceiverUnit(panel, key % kPanelFpgaDevices)) {
    return panel.linkFpgaMajor * 100u + panel.linkFpgaMinor;
  }
  return kFactoryPanelVersion;
}

bool KindEquals(const char* a, const char* b) {
  return std::memcmp(a, b, 4) == 0;
}

uint32_t BlockOffset(const CommandCall& call, uint32_t blockSize) {
  return ((uint32_t(call.extension) << 14) | call.address) * blockSize;
}

bool ValidPanelUnit(const MachineConfig& config, int panel, int device) {
  return panel >= 0 && panel < kPanelChannels && device >= 0 && device < kPanelFpgaDevices &&
         config.panels[panel].fpga[device].kind[0] != 0;
}

uint32_t TransmitterRunningStart(const MachineConfig& config, const FpgaLayout& layout) {
  return (config.systemFlags & drux::kSystemLinkHighArea) != 0 ? layout.highStart : layout.lowStart;
}

uint32_t PanelRunningStart(const FpgaUnitConfig& unit, const FpgaLayout& layout) {
  return (unit.flags & kFpgaRunsHigh) != 0 ? layout.highStart : layout.lowStart;
}

void MarkChanged(Machine& machine) {
  machine.configDirty = true;
  machine.stateDirty = true;
}

// The info trailer of an old-format image: the first 16-byte block from the copy's start
// with 0xFFFF and "FPGA"; its end, or 0 when there is none.
uint32_t FindTrailerEnd(Machine& machine, const FpgaUnit& unit, uint32_t start, uint8_t* trailer) {
  for (uint32_t at = 0; at + kInfoTrailerSize <= unit.layout.imageSize; at += kInfoTrailerSize) {
    if (!AreaCopyOut(machine, unit.area, unit.areaPanel, start + at, trailer, kInfoTrailerSize)) {
      return 0;
    }
    if (trailer[0] == 0xFF && trailer[1] == 0xFF && std::memcmp(trailer + 12, "FPGA", 4) == 0) {
      return at + kInfoTrailerSize;
    }
  }
  return 0;
}

// The header that an old-format image implies: type, version from the trailer's digits.
void HeaderFromTrailer(const uint8_t* trailer, uint8_t* header) {
  std::memset(header, 0, kImageHeaderSize);
  std::memcpy(header, trailer + 2, 4);
  uint32_t version = 0;
  for (int i = 6; i < 12 && trailer[i] >= '0' && trailer[i] <= '9'; ++i) {
    version = version * 10 + uint32_t(trailer[i] - '0');
  }
  for (int i = 3; i >= 0; --i) {
    header[4 + i] = uint8_t('0' + version % 10);
    version /= 10;
  }
}

// The running copy's image header; false when there is none to read.
bool RunningHeader(Machine& machine, const FpgaUnit& unit, uint8_t* header) {
  const uint32_t start = RunningCopyStart(unit);
  switch (unit.layout.format) {
    case ImageFormat::HeaderAtStart:
      return AreaCopyOut(machine, unit.area, unit.areaPanel, start + kImageHeaderOffset, header,
                         kImageHeaderSize);
    case ImageFormat::HeaderAtEnd:
      return AreaCopyOut(machine, unit.area, unit.areaPanel,
                         start + unit.layout.imageSize - kImageHeaderSize, header,
                         kImageHeaderSize);
    case ImageFormat::InfoTrailer: {
      uint8_t trailer[kInfoTrailerSize];
      if (FindTrailerEnd(machine, unit, start, trailer) == 0) {
        std::memset(header, 0xFF, kImageHeaderSize);
        return true;
      }
      HeaderFromTrailer(trailer, header);
      const uint16_t crc = Crc16(kCrcStart, header, 14);
      header[14] = uint8_t(crc >> 8);
      header[15] = uint8_t(crc);
      return true;
    }
  }
  return false;
}

bool CrcOfRangeIsZero(Machine& machine, const FpgaUnit& unit, uint32_t start, uint32_t size) {
  uint8_t piece[kCheckPiece];
  uint16_t crc = kCrcStart;
  for (uint32_t at = 0; at < size; at += kCheckPiece) {
    const uint32_t length = size - at < kCheckPiece ? size - at : kCheckPiece;
    if (!AreaCopyOut(machine, unit.area, unit.areaPanel, start + at, piece, length)) {
      return false;
    }
    crc = Crc16(crc, piece, length);
  }
  return crc == 0;
}

bool SumOfRangeIsZero(Machine& machine, const FpgaUnit& unit, uint32_t start, uint32_t size) {
  uint8_t piece[kCheckPiece];
  uint8_t sum = 0;
  for (uint32_t at = 0; at < size; at += kCheckPiece) {
    const uint32_t length = size - at < kCheckPiece ? size - at : kCheckPiece;
    if (!AreaCopyOut(machine, unit.area, unit.areaPanel, start + at, piece, length)) {
      return false;
    }
    for (uint32_t i = 0; i < length; ++i) {
      sum = uint8_t(sum + piece[i]);
    }
  }
  return sum == 0;
}

void SetFlag(const FpgaUnit& unit, uint32_t bit, bool on) {
  *unit.flags = on ? (*unit.flags | bit) : (*unit.flags & ~bit);
}

bool RunsHigh(const FpgaUnit& unit) {
  return (*unit.flags & unit.highBit) != 0;
}

// A range of `size` bytes at `start` of the flash touches the idle copy.
bool TouchesIdleCopy(const FpgaUnit& unit, uint32_t start, uint32_t size) {
  const uint64_t idle = IdleCopyStart(unit);
  return start < idle + unit.layout.imageSize && uint64_t(start) + size > idle;
}

}  // namespace

const FpgaLayout& LayoutOfKind(const char* kind) {
  for (const KindLayout& entry : kLayouts) {
    if (KindEquals(entry.kind, kind)) {
      return entry.layout;
    }
  }
  return kKvnLayout;
}

bool TransmitterUnit(Machine& machine, FpgaUnit* unit) {
  MachineConfig& config = machine.config;
  if (config.transmitterKind[0] == 0) {
    return false;
  }
  *unit = FpgaUnit{Area::LinkFlash,
                   0,
                   LayoutOfKind(config.transmitterKind),
                   config.transmitterKind,
                   &config.systemFlags,
                   drux::kSystemLinkHighArea,
                   drux::kSystemLinkCrcError,
                   &machine.transmitterUpdatePending};
  return true;
}

bool PanelFpgaUnit(Machine& machine, int panel, int device, FpgaUnit* unit) {
  if (!ValidPanelUnit(machine.config, panel, device)) {
    return false;
  }
  FpgaUnitConfig& config = machine.config.panels[panel].fpga[device];
  const bool onPanelFlash =
      device == 0 && machine.config.panels[panel].versionId == kPanelFlashDevicePanel;
  *unit = FpgaUnit{onPanelFlash ? Area::PanelFlash : Area::PanelFpgaFlash,
                   onPanelFlash ? panel : PanelFpgaKey(panel, device),
                   onPanelFlash ? kPanelFlashLayout : LayoutOfKind(config.kind),
                   config.kind,
                   &config.flags,
                   kFpgaRunsHigh,
                   kFpgaCrcError,
                   &machine.panelFpgaUpdatePending[panel][device]};
  return true;
}

bool AnyFpgaUnit(Machine& machine, int panel, int device, FpgaUnit* unit) {
  if (panel == kTransmitterPanel) {
    return device == kTransmitterDevice && TransmitterUnit(machine, unit);
  }
  return PanelFpgaUnit(machine, panel, device, unit);
}

uint32_t RunningCopyStart(const FpgaUnit& unit) {
  return RunsHigh(unit) ? unit.layout.highStart : unit.layout.lowStart;
}

uint32_t IdleCopyStart(const FpgaUnit& unit) {
  return RunsHigh(unit) ? unit.layout.lowStart : unit.layout.highStart;
}

bool FpgaHeaderBytes(Machine& machine, const FpgaUnit& unit, uint8_t* reply) {
  if (!RunningHeader(machine, unit, reply)) {
    return false;
  }
  const bool valid = Crc16(kCrcStart, reply, kImageHeaderSize) == 0;
  uint16_t state = RunsHigh(unit) ? kStateHigh : 0;
  if ((*unit.flags & unit.crcBit) != 0) {
    state |= kStateCrcError;
  }
  PutWord16(reply + 12, state);
  if (valid) {
    const uint16_t crc = Crc16(kCrcStart, reply, 14);
    reply[14] = uint8_t(crc >> 8);
    reply[15] = uint8_t(crc);
  }
  return true;
}

uint8_t FpgaHeaderReply(Machine& machine, CommandCall& call, const FpgaUnit& unit) {
  if (!call.read || call.target != 0 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  uint8_t reply[kImageHeaderSize];
  if (!FpgaHeaderBytes(machine, unit, reply)) {
    return kErrorInvalidParameter;
  }
  return TransferPayload(machine, call, reply, sizeof reply);
}

uint8_t FpgaFlashBlock(Machine& machine, CommandCall& call, const FpgaUnit& unit,
                       uint32_t blockSize) {
  const uint64_t offset = uint64_t(BlockOffset(call, blockSize));
  if (call.target != 0 || offset + blockSize > AreaSizeOf(machine.config, unit.area)) {
    return kErrorInvalidParameter;
  }
  if (!call.read && TouchesIdleCopy(unit, uint32_t(offset), blockSize)) {
    *unit.updatePending = true;
    machine.stateDirty = true;
  }
  return TransferAreaBlock(machine, call, unit.area, unit.areaPanel, uint32_t(offset), blockSize);
}

uint8_t FpgaUpdateBlock(Machine& machine, CommandCall& call, const FpgaUnit& unit,
                        uint32_t blockSize) {
  const uint32_t offset = BlockOffset(call, blockSize);
  if (call.target != 0 || uint64_t(offset) + blockSize > unit.layout.imageSize) {
    return kErrorInvalidParameter;
  }
  if (!call.read) {
    *unit.updatePending = true;
    machine.stateDirty = true;
  }
  const uint32_t copy = *unit.updatePending ? IdleCopyStart(unit) : RunningCopyStart(unit);
  return TransferAreaBlock(machine, call, unit.area, unit.areaPanel, copy + offset, blockSize);
}

uint8_t FpgaRunningBlock(Machine& machine, CommandCall& call, const FpgaUnit& unit,
                         uint32_t blockSize) {
  const uint32_t offset = BlockOffset(call, blockSize);
  if (!call.read || call.target != 0 || uint64_t(offset) + blockSize > unit.layout.imageSize) {
    return kErrorInvalidParameter;
  }
  return TransferAreaBlock(machine, call, unit.area, unit.areaPanel,
                           RunningCopyStart(unit) + offset, blockSize);
}

bool FpgaCopyIntact(Machine& machine, const FpgaUnit& unit, uint32_t start) {
  const uint32_t size = unit.layout.imageSize;
  uint8_t header[kImageHeaderSize];
  switch (unit.layout.format) {
    case ImageFormat::HeaderAtStart:
    case ImageFormat::HeaderAtEnd: {
      const uint32_t at = unit.layout.format == ImageFormat::HeaderAtStart
                              ? kImageHeaderOffset
                              : size - kImageHeaderSize;
      return AreaCopyOut(machine, unit.area, unit.areaPanel, start + at, header, sizeof header) &&
             Crc16(kCrcStart, header, sizeof header) == 0 &&
             CrcOfRangeIsZero(machine, unit, start, size);
    }
    case ImageFormat::InfoTrailer: {
      const uint32_t end = FindTrailerEnd(machine, unit, start, header);
      return end != 0 && SumOfRangeIsZero(machine, unit, start, end);
    }
  }
  return false;
}

void StartFpgaModule(Machine& machine, const FpgaUnit& unit) {
  if (*unit.updatePending && FpgaCopyIntact(machine, unit, IdleCopyStart(unit))) {
    SetFlag(unit, unit.highBit, !RunsHigh(unit));
  }
  *unit.updatePending = false;
  SetFlag(unit, unit.crcBit, !FpgaCopyIntact(machine, unit, RunningCopyStart(unit)));
  MarkChanged(machine);
}

void StartTransmitter(Machine& machine) {
  FpgaUnit unit;
  if (TransmitterUnit(machine, &unit)) {
    StartFpgaModule(machine, unit);
  }
}

void StartPanelFpgaModules(Machine& machine, int panel, uint8_t request) {
  for (int device = 0; device < kPanelFpgaDevices; ++device) {
    const bool converter = device == kConverterDevice;
    const bool starts =
        converter ? request == kRequestConverterReboot : request == kRequestPanelReboot;
    FpgaUnit unit;
    if (starts && PanelFpgaUnit(machine, panel, device, &unit)) {
      StartFpgaModule(machine, unit);
    }
  }
}

bool FpgaDefaultCovers(const MachineConfig& config, Area area, int panel, uint32_t offset,
                       uint32_t length) {
  const char* kind = nullptr;
  uint32_t start = 0;
  if (area == Area::LinkFlash && config.transmitterKind[0] != 0) {
    kind = config.transmitterKind;
    start = TransmitterRunningStart(config, LayoutOfKind(kind));
  } else if (area == Area::PanelFpgaFlash &&
             ValidPanelUnit(config, panel / kPanelFpgaDevices, panel % kPanelFpgaDevices)) {
    const FpgaUnitConfig& unit =
        config.panels[panel / kPanelFpgaDevices].fpga[panel % kPanelFpgaDevices];
    kind = unit.kind;
    start = PanelRunningStart(unit, LayoutOfKind(kind));
  } else {
    return false;
  }
  const uint64_t end = uint64_t(start) + LayoutOfKind(kind).imageSize;
  return offset < end && uint64_t(offset) + length > start;
}

void FillFpgaDefaultImage(const MachineConfig& config, Area area, int panel, uint32_t offset,
                          uint8_t* bytes, uint32_t length) {
  if (!FpgaDefaultCovers(config, area, panel, offset, length)) {
    return;
  }
  const bool transmitter = area == Area::LinkFlash;
  const FpgaUnitConfig* unit =
      transmitter ? nullptr
                  : &config.panels[panel / kPanelFpgaDevices].fpga[panel % kPanelFpgaDevices];
  const char* kind = transmitter ? config.transmitterKind : unit->kind;
  const FpgaLayout& layout = LayoutOfKind(kind);
  const uint32_t start =
      transmitter ? TransmitterRunningStart(config, layout) : PanelRunningStart(*unit, layout);
  ImageRecipe recipe;
  recipe.format = layout.format;
  std::memcpy(recipe.id, kind, 4);
  SetRecipeVersion(recipe,
                   transmitter ? kFactoryTransmitterVersion : FactoryPanelVersion(config, panel));
  recipe.counter = transmitter ? kFactoryTransmitterCounter : kFactoryPanelCounter;
  recipe.size = layout.imageSize;
  recipe.seed = DefaultImageSeed(recipe);
  // The part of the image that falls into [offset, offset + length).
  const uint32_t from = offset > start ? offset - start : 0;
  const uint32_t skip = offset < start ? start - offset : 0;
  FillImage(recipe, from, bytes + skip, length - skip);
}

}  // namespace sim::internal
