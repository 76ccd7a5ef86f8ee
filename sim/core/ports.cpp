// The port block 0x4000-0x4193 of the simulated controller: every byte access of the host
// lands here and is counted. A bulk transfer makes hundreds of millions of these calls, so a
// read costs a count and a few compares; everything else is settled once per command.
#include "controller/registers.h"
#include "sim/core/machine.h"

namespace sim {

namespace {

using internal::Machine;

constexpr uint16_t kLargeWindowEnd = drux::kPortLargeWindow + drux::kLargeWindowSize;
constexpr uint16_t kSmallWindowEnd = drux::kPortSmallWindow + drux::kSmallWindowSize;

// Reads change nothing of the persisted state but the count, which Persist compares.
Machine& CountedMachine() {
  Machine& machine = internal::LoadedMachine();
  ++machine.accessCount;
  return machine;
}

bool InBlock(const Machine& machine, uint16_t port) {
  return machine.config.present && port >= drux::kPortFirst && port <= drux::kPortLast;
}

// The data window byte behind a port, or nullptr.
uint8_t* WindowByte(Machine& machine, uint16_t port) {
  uint8_t* byte = nullptr;
  if (port >= drux::kPortLargeWindow && port < kLargeWindowEnd) {
    byte = &machine.largeWindow[port - drux::kPortLargeWindow];
  } else if (port >= drux::kPortSmallWindow && port < kSmallWindowEnd) {
    byte = &machine.smallWindow[port - drux::kPortSmallWindow];
  }
  if (byte != nullptr && internal::CommandState(machine) == internal::kStateWorking &&
      !machine.windowViolationReported) {
    machine.windowViolationReported = true;
    internal::RecordViolation(machine,
                              "data window port 0x%04x accessed while command 0x%02x "
                              "is still running",
                              unsigned(port), unsigned(machine.commandLatch >> 24));
  }
  return byte;
}

const PanelConfig* SelectedPanel(const Machine& machine) {
  uint32_t panel = machine.panelSelect;
  if (panel >= uint32_t(kPanelChannels) || panel >= machine.config.panelChannels) {
    return nullptr;
  }
  return &machine.config.panels[panel];
}

uint32_t IdentificationRegister(const MachineConfig& config) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    value |= (uint32_t(config.id[i] - 'A') & 0x1F) << (27 - 5 * i);
  }
  return value;
}

uint32_t RegisterValue(const Machine& machine, uint16_t base) {
  const MachineConfig& config = machine.config;
  const PanelConfig* panel = SelectedPanel(machine);
  switch (base) {
    case drux::kPortIdentification:
      return IdentificationRegister(config);
    case drux::kPortCapability:
      return config.panelChannels == 1 ? drux::kCapabilityOnePanelChannel : 0;
    case drux::kPortCommand:
      return machine.commandLatch;
    case drux::kPortSystemStatus:
      return (config.systemFlags & ~drux::kSystemPcTypeMask) | config.pcType;
    case drux::kPortUpdateCounter:
      return config.updateCounter;
    case drux::kPortFeature:
      return config.featureRegister;
    case drux::kPortPanelInfo:
      return panel == nullptr
                 ? 0
                 : uint32_t(panel->versionId) << 16 | uint32_t(panel->linkFpgaMajor & 0xF) << 8 |
                       panel->linkFpgaMinor;
    case drux::kPortPanelLink:
      return panel != nullptr && panel->connected ? drux::kPanelLinkConnected : 0;
    case drux::kPortBiosSettings:
      return config.biosRegister;
    default:
      return 0;
  }
}

}  // namespace

uint8_t PortRead(uint16_t port) {
  Machine& machine = CountedMachine();
  if (!InBlock(machine, port)) {
    return 0xFF;
  }
  if (uint8_t* byte = WindowByte(machine, port)) {
    machine.replyBytes += machine.replyBeingFetched ? 1 : 0;
    return *byte;
  }
  if (port == drux::kPortPanelSelect) {
    return machine.panelSelect;
  }
  uint16_t base = uint16_t(port & ~3u);
  int byteIndex = port & 3;
  if (base == drux::kPortCommandStatus) {
    return internal::ReadStatusByte(machine, byteIndex);
  }
  return uint8_t(RegisterValue(machine, base) >> (8 * byteIndex));
}

void PortWrite(uint16_t port, uint8_t value) {
  Machine& machine = CountedMachine();
  machine.stateDirty = true;
  if (!InBlock(machine, port)) {
    return;
  }
  if (uint8_t* byte = WindowByte(machine, port)) {
    *byte = value;
    ++machine.windowWritesBeforeCommand;
    if (machine.replyBeingFetched) {
      internal::SettleReplyBytes(machine);
      machine.replyBeingFetched = false;
    }
    return;
  }
  if (port == drux::kPortPanelSelect) {
    machine.panelSelect = value;
    return;
  }
  uint16_t base = uint16_t(port & ~3u);
  int byteIndex = port & 3;
  if (base == drux::kPortCommandStatus) {
    internal::WriteStatusByte(machine, byteIndex, value);
  } else if (base == drux::kPortCommand) {
    internal::WriteCommandByte(machine, byteIndex, value);
  }
  // Every other register is read-only for the host.
}

uint64_t PortAccessCount() {
  return internal::LoadedMachine().accessCount;
}

void ClearPortAccessCount() {
  Machine& machine = internal::LoadedMachine();
  machine.accessCount = 0;
  machine.stateDirty = true;
}

}  // namespace sim
