// The command handshake of the simulated controller: the command status register (error byte,
// state, interface lock, controller-owned bits 12-31), the command register whose fourth byte
// starts a command, and the record of the host's protocol violations.
#include <cstdarg>

#include "controller/registers.h"
#include "platform/format.h"
#include "sim/core/command_call.h"

namespace sim {

namespace internal {

namespace {

uint8_t PatternByte(int byteIndex) {
  return uint8_t(kStatusPattern >> (8 * byteIndex));
}

void StartCommand(Machine& machine) {
  uint32_t word = machine.commandLatch;
  CommandCall call{};
  call.code = uint8_t(word >> drux::kCommandCodeShift);
  call.address = uint16_t(word & drux::kCommandAddressMask);
  call.read = (word & drux::kCommandReadFlag) != 0;
  call.device = uint8_t((word >> drux::kCommandDeviceShift) & 0xF);
  call.target = uint8_t((word >> drux::kCommandTargetShift) & 0xF);

  if ((machine.statusLow & drux::kStatusLockBit) == 0) {
    RecordViolation(machine, "command word 0x%08x written while the host does not hold the lock",
                    unsigned(word));
  }
  if (CommandState(machine) != 0) {
    RecordViolation(machine,
                    "command word 0x%08x written before the previous command was released "
                    "(state %u)",
                    unsigned(word), unsigned(CommandState(machine)));
  }
  if ((word & 0x8000) != 0) {
    RecordViolation(machine, "command word 0x%08x has the reserved bit 15 set", unsigned(word));
  }

  uint8_t error = kErrorNone;
  uint8_t state = drux::kStateFinished;
  LogEntry entry{};
  entry.code = call.code;
  entry.address = call.address;
  entry.device = call.device;
  entry.target = call.target;
  // Write payloads were moved before the command word; read replies are counted as the host
  // fetches them.
  entry.size = uint16_t(machine.windowWritesBeforeCommand);
  entry.read = call.read;
  switch (ApplyCommandFault(machine, call.code, call.read, &error)) {
    case FaultOutcome::PowerCut:
      SettleReplyBytes(machine);
      CutPower(machine, entry);
    case FaultOutcome::Hang:
      state = kStateWorking;
      break;
    case FaultOutcome::Fail:
      state = drux::kStateFailed;
      break;
    case FaultOutcome::None:
      error = ExecuteCommand(machine, call);
      state = error == kErrorNone ? drux::kStateFinished : drux::kStateFailed;
      break;
  }
  machine.statusLow = (machine.statusLow & drux::kStatusLockBit) | (uint32_t(state) << 8) | error;
  machine.windowViolationReported = false;

  SettleReplyBytes(machine);
  entry.state = state;
  entry.errorByte = error;
  AppendLog(machine, entry);
  machine.windowWritesBeforeCommand = 0;
  machine.replyBeingFetched = call.read;
}

}  // namespace

void RecordViolation(Machine& machine, const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::FormatStringV(machine.lastViolation, sizeof machine.lastViolation, format, args);
  va_end(args);
  ++machine.violationCount;
  machine.stateDirty = true;
}

uint32_t StatusRegister(const Machine& machine) {
  uint32_t value = kStatusPattern | (machine.statusLow & drux::kStatusHostBits);
  if (LockFaultActive(machine)) {
    value |= drux::kStatusLockBit;
  }
  return value;
}

uint8_t ReadStatusByte(Machine& machine, int byteIndex) {
  return uint8_t(StatusRegister(machine) >> (8 * byteIndex));
}

void WriteStatusByte(Machine& machine, int byteIndex, uint8_t value) {
  if (byteIndex == 1 && LockFaultActive(machine)) {
    RecordViolation(machine, "status register written while another party holds the lock");
  }
  if (byteIndex == 0) {
    machine.statusLow = (machine.statusLow & ~0xFFu) | value;
    machine.statusWriteFlagged = false;  // a register write starts with its lowest byte
    return;
  }
  uint8_t keep = byteIndex == 1 ? 0xF0 : 0xFF;
  if ((value & keep) != (PatternByte(byteIndex) & keep) && !machine.statusWriteFlagged) {
    machine.statusWriteFlagged = true;
    RecordViolation(machine, "host changed bits 12-31 of the status register (0x%02x to 0x%04x)",
                    unsigned(value), unsigned(drux::kPortCommandStatus + byteIndex));
  }
  if (byteIndex == 1) {
    machine.statusLow = (machine.statusLow & 0xFFu) | (uint32_t(value & 0x0F) << 8);
    if (CommandState(machine) == 0) {
      SettleReplyBytes(machine);  // released: the reply is over
      machine.replyBeingFetched = false;
    }
  }
}

void WriteCommandByte(Machine& machine, int byteIndex, uint8_t value) {
  uint32_t shift = 8u * uint32_t(byteIndex);
  machine.commandLatch = (machine.commandLatch & ~(0xFFu << shift)) | (uint32_t(value) << shift);
  if (byteIndex == 3) {
    StartCommand(machine);
  }
}

}  // namespace internal

uint32_t CommandStatusValue() {
  return internal::StatusRegister(internal::LoadedMachine());
}

void ResetCommandInterface() {
  internal::Machine& machine = internal::LoadedMachine();
  machine.statusLow = 0;
  machine.stateDirty = true;
}

uint32_t ProtocolViolationCount() {
  return internal::LoadedMachine().violationCount;
}

const char* LastProtocolViolation() {
  return internal::LoadedMachine().lastViolation;
}

void ClearProtocolViolations() {
  internal::Machine& machine = internal::LoadedMachine();
  machine.violationCount = 0;
  machine.lastViolation[0] = 0;
  machine.stateDirty = true;
}

}  // namespace sim
