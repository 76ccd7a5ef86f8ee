// Setting up, inspecting and starting the FPGA modules from outside the command protocol
// (druxsim and tests).
#include <cstring>

#include "sim/devices/fpga_module.h"
#include "sim/devices/panel_receiver.h"

namespace sim {

namespace {

bool ValidKind(const char* kind) {
  return kind != nullptr && std::strlen(kind) == 4;
}

void SetKind(internal::Machine& machine, int panel, int device, const char* kind) {
  MachineConfig& config = machine.config;
  char* target =
      panel == kTransmitterPanel ? config.transmitterKind : config.panels[panel].fpga[device].kind;
  internal::CopyText(target, 5, kind);
  machine.configDirty = true;
}

bool ValidUnitNumbers(int panel, int device) {
  if (panel == kTransmitterPanel) {
    return device == kTransmitterDevice;
  }
  return panel >= 0 && panel < kPanelChannels && device >= 0 && device < kPanelFpgaDevices;
}

}  // namespace

bool FpgaModuleStatus(int panel, int device, FpgaStatus* status) {
  internal::Machine& machine = internal::LoadedMachine();
  internal::FpgaUnit unit;
  if (!internal::AnyFpgaUnit(machine, panel, device, &unit)) {
    return false;
  }
  *status = FpgaStatus{};
  internal::CopyText(status->kind, sizeof status->kind, unit.kind);
  status->runsHigh = (*unit.flags & unit.highBit) != 0;
  status->crcError = (*unit.flags & unit.crcBit) != 0;
  status->updatePending = *unit.updatePending;
  uint8_t reply[kImageHeaderSize];
  if (!internal::FpgaHeaderBytes(machine, unit, reply)) {
    return true;
  }
  status->headerValid = Crc16(0xFFFF, reply, sizeof reply) == 0;
  std::memcpy(status->id, reply, 4);
  std::memcpy(status->versionText, reply + 4, 4);
  status->counter = internal::GetWord32(reply + 8);
  return true;
}

bool FpgaCopyRange(int panel, int device, FpgaCopy copy, uint32_t* start, uint32_t* size) {
  internal::FpgaUnit unit;
  if (!internal::AnyFpgaUnit(internal::LoadedMachine(), panel, device, &unit)) {
    return false;
  }
  switch (copy) {
    case FpgaCopy::Low:
      *start = unit.layout.lowStart;
      break;
    case FpgaCopy::High:
      *start = unit.layout.highStart;
      break;
    case FpgaCopy::Running:
      *start = internal::RunningCopyStart(unit);
      break;
    case FpgaCopy::Idle:
      *start = internal::IdleCopyStart(unit);
      break;
  }
  *size = unit.layout.imageSize;
  return true;
}

bool SetUpFpgaModule(int panel, int device, const char* kind, uint32_t version, uint32_t counter,
                     bool high) {
  internal::Machine& machine = internal::LoadedMachine();
  if (!ValidUnitNumbers(panel, device) || !ValidKind(kind)) {
    return false;
  }
  SetKind(machine, panel, device, kind);
  internal::FpgaUnit unit;
  if (!internal::AnyFpgaUnit(machine, panel, device, &unit)) {
    return false;
  }
  *unit.flags = high ? (*unit.flags | unit.highBit) : (*unit.flags & ~unit.highBit);
  *unit.flags &= ~unit.crcBit;
  *unit.updatePending = false;
  machine.stateDirty = true;
  ImageRecipe recipe;
  recipe.format = unit.layout.format;
  std::memcpy(recipe.id, kind, 4);
  SetRecipeVersion(recipe, version);
  recipe.counter = counter;
  recipe.size = unit.layout.imageSize;
  recipe.seed = DefaultImageSeed(recipe);
  return internal::CopyImageIn(machine, recipe, unit.area, unit.areaPanel,
                               internal::RunningCopyStart(unit));
}

void RemoveFpgaModule(int panel, int device) {
  internal::Machine& machine = internal::LoadedMachine();
  internal::FpgaUnit unit;
  if (!internal::AnyFpgaUnit(machine, panel, device, &unit)) {
    return;
  }
  *unit.flags &= ~(unit.highBit | unit.crcBit);
  *unit.updatePending = false;
  SetKind(machine, panel, device, "");
  machine.stateDirty = true;
}

void NoteFpgaFlashWrite(int panel, int device, uint32_t offset, uint32_t length) {
  internal::Machine& machine = internal::LoadedMachine();
  internal::FpgaUnit unit;
  if (!internal::AnyFpgaUnit(machine, panel, device, &unit)) {
    return;
  }
  const uint64_t idle = internal::IdleCopyStart(unit);
  if (offset < idle + unit.layout.imageSize && uint64_t(offset) + length > idle) {
    *unit.updatePending = true;
    machine.stateDirty = true;
  }
}

void PowerCycleAll() {
  internal::Machine& machine = internal::LoadedMachine();
  internal::StartDevices(machine);
  for (int panel = 0; panel < kPanelChannels; ++panel) {
    for (int device = 0; device < kPanelFpgaDevices; ++device) {
      internal::FpgaUnit unit;
      if (internal::PanelFpgaUnit(machine, panel, device, &unit)) {
        internal::StartFpgaModule(machine, unit);
      }
    }
    if (machine.config.panels[panel].connected) {
      internal::RestartPanel(machine, panel);
    }
  }
}

}  // namespace sim

namespace sim::internal {

bool CopyImageIn(Machine& machine, const ImageRecipe& recipe, Area area, int areaPanel,
                 uint32_t start) {
  constexpr uint32_t kWritePiece = 0x10000;
  auto* piece = static_cast<uint8_t*>(Allocate(kWritePiece));
  if (piece == nullptr) {
    return false;
  }
  bool ok = true;
  for (uint32_t at = 0; ok && at < recipe.size; at += kWritePiece) {
    const uint32_t length = recipe.size - at < kWritePiece ? recipe.size - at : kWritePiece;
    FillImage(recipe, at, piece, length);
    ok = AreaCopyIn(machine, area, areaPanel, start + at, piece, length);
  }
  Release(piece);
  return ok;
}

}  // namespace sim::internal
