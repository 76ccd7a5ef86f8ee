// Injected faults: a lock that nobody releases, busy answers that count down, a fixed error
// byte, commands that never finish and a power cut. Text form: "lock", "busy <cmd> <count>",
// "error <cmd> <byte>", "hang <cmd>", "powercut <cmd>" with <cmd> a command code as written or
// "any", and an optional last word "read" or "write" that limits the fault to that direction.
#include <cstring>

#include "platform/format.h"
#include "sim/core/machine.h"

namespace sim {

namespace {

constexpr uint8_t kErrorDeviceBusy = 0x84;

bool CommandMatches(const Fault& fault, uint8_t code, bool read) {
  bool direction =
      fault.direction == FaultDirection::Any || (fault.direction == FaultDirection::Read) == read;
  return direction && (fault.command == kAnyCommand || fault.command == int(code));
}

void RemoveFault(internal::Machine& machine, int index) {
  for (int i = index; i + 1 < machine.faultCount; ++i) {
    machine.faults[i] = machine.faults[i + 1];
  }
  --machine.faultCount;
  machine.faultsDirty = true;
}

// Splits the text into at most `capacity` words separated by spaces.
int SplitWords(char* text, char** words, int capacity) {
  int count = 0;
  char* p = text;
  while (*p != 0) {
    while (*p == ' ' || *p == '\t') {
      *p++ = 0;
    }
    if (*p == 0) {
      break;
    }
    if (count == capacity) {
      return capacity + 1;
    }
    words[count++] = p;
    while (*p != 0 && *p != ' ' && *p != '\t') {
      ++p;
    }
  }
  return count;
}

bool ParseCommandCode(const char* text, int* command) {
  if (internal::TextEquals(text, "any")) {
    *command = kAnyCommand;
    return true;
  }
  uint32_t code = 0;
  if (!internal::ParseNumber(text, &code) || code > 0xFF) {
    return false;
  }
  *command = int(code);
  return true;
}

bool ValidFault(const Fault& fault) {
  if (fault.kind == FaultKind::LockHeld) {
    return true;
  }
  if (fault.command < kAnyCommand || fault.command > 0xFF) {
    return false;
  }
  if (fault.direction != FaultDirection::Any && fault.direction != FaultDirection::Read &&
      fault.direction != FaultDirection::Write) {
    return false;
  }
  if (fault.after != 0 && fault.kind != FaultKind::ErrorByte &&
      fault.kind != FaultKind::NeverFinishes && fault.kind != FaultKind::PowerCut) {
    return false;
  }
  return fault.kind != FaultKind::Busy || fault.count > 0;
}

const char* DirectionSuffix(FaultDirection direction) {
  switch (direction) {
    case FaultDirection::Read:
      return " read";
    case FaultDirection::Write:
      return " write";
    case FaultDirection::Any:
      break;
  }
  return "";
}

// Optional last words "--after <n>"; they leave the word count.
bool TakeAfter(char** words, int* count, uint32_t* after) {
  *after = 0;
  if (*count < 3 || !internal::TextEquals(words[*count - 2], "--after")) {
    return true;
  }
  if (!internal::ParseNumber(words[*count - 1], after)) {
    return false;
  }
  *count -= 2;
  return true;
}

void AppendAfter(const Fault& fault, char* buffer, size_t capacity, size_t length) {
  if (fault.after != 0 && length < capacity) {
    platform::FormatString(buffer + length, capacity - length, " --after %u",
                           unsigned(fault.after));
  }
}

// An optional last word "read" or "write"; it leaves the word count.
FaultDirection TakeDirection(char** words, int* count) {
  if (*count < 2) {
    return FaultDirection::Any;
  }
  const char* last = words[*count - 1];
  if (internal::TextEquals(last, "read")) {
    --*count;
    return FaultDirection::Read;
  }
  if (internal::TextEquals(last, "write")) {
    --*count;
    return FaultDirection::Write;
  }
  return FaultDirection::Any;
}

}  // namespace

namespace internal {

bool LockFaultActive(const Machine& machine) {
  for (int i = 0; i < machine.faultCount; ++i) {
    if (machine.faults[i].kind == FaultKind::LockHeld) {
      return true;
    }
  }
  return false;
}

FaultOutcome ApplyCommandFault(Machine& machine, uint8_t code, bool read, uint8_t* errorByte) {
  for (int i = 0; i < machine.faultCount; ++i) {
    Fault& fault = machine.faults[i];
    if (fault.kind == FaultKind::LockHeld || !CommandMatches(fault, code, read)) {
      continue;
    }
    if (fault.after > 0) {
      --fault.after;
      machine.faultsDirty = true;
      continue;
    }
    switch (fault.kind) {
      case FaultKind::NeverFinishes:
        *errorByte = 0;
        return FaultOutcome::Hang;
      case FaultKind::ErrorByte:
        *errorByte = fault.errorByte;
        return FaultOutcome::Fail;
      case FaultKind::Busy:
        *errorByte = kErrorDeviceBusy;
        machine.faultsDirty = true;
        if (--fault.count == 0) {
          RemoveFault(machine, i);
        }
        return FaultOutcome::Fail;
      case FaultKind::PowerCut:
        RemoveFault(machine, i);  // the power comes back once
        return FaultOutcome::PowerCut;
      case FaultKind::LockHeld:
        break;
    }
  }
  return FaultOutcome::None;
}

}  // namespace internal

bool AddFault(const Fault& fault) {
  internal::Machine& machine = internal::LoadedMachine();
  if (!ValidFault(fault) || machine.faultCount >= kMaxFaults) {
    return false;
  }
  machine.faults[machine.faultCount++] = fault;
  machine.faultsDirty = true;
  return true;
}

void ClearFaults() {
  internal::Machine& machine = internal::LoadedMachine();
  machine.faultCount = 0;
  machine.faultsDirty = true;
}

int FaultCount() {
  return internal::LoadedMachine().faultCount;
}

Fault FaultAt(int index) {
  internal::Machine& machine = internal::LoadedMachine();
  if (index < 0 || index >= machine.faultCount) {
    return Fault{};
  }
  return machine.faults[index];
}

size_t FormatFault(const Fault& fault, char* buffer, size_t capacity) {
  char command[8];
  if (fault.command == kAnyCommand) {
    internal::CopyText(command, sizeof command, "any");
  } else {
    platform::FormatString(command, sizeof command, "0x%02x", unsigned(fault.command) & 0xFF);
  }
  switch (fault.kind) {
    case FaultKind::LockHeld:
      return platform::FormatString(buffer, capacity, "lock");
    case FaultKind::Busy:
      return platform::FormatString(buffer, capacity, "busy %s %u%s", command,
                                    unsigned(fault.count), DirectionSuffix(fault.direction));
    case FaultKind::ErrorByte: {
      size_t length =
          platform::FormatString(buffer, capacity, "error %s 0x%02x%s", command,
                                 unsigned(fault.errorByte), DirectionSuffix(fault.direction));
      AppendAfter(fault, buffer, capacity, length);
      return std::strlen(buffer);
    }
    case FaultKind::NeverFinishes: {
      size_t length = platform::FormatString(buffer, capacity, "hang %s%s", command,
                                             DirectionSuffix(fault.direction));
      AppendAfter(fault, buffer, capacity, length);
      return std::strlen(buffer);
    }
    case FaultKind::PowerCut: {
      size_t length = platform::FormatString(buffer, capacity, "powercut %s%s", command,
                                             DirectionSuffix(fault.direction));
      AppendAfter(fault, buffer, capacity, length);
      return std::strlen(buffer);
    }
  }
  return platform::FormatString(buffer, capacity, "?");
}

bool ParseFault(const char* text, Fault* fault) {
  char copy[96];
  if (std::strlen(text) >= sizeof copy) {
    return false;
  }
  internal::CopyText(copy, sizeof copy, text);
  char* words[6];
  int count = SplitWords(copy, words, 6);
  if (count == 0 || count > 6) {
    return false;
  }
  Fault parsed{FaultKind::LockHeld, kAnyCommand, 0, 0};
  uint32_t number = 0;
  bool lock = internal::TextEquals(words[0], "lock");
  if (!lock) {
    if (!TakeAfter(words, &count, &parsed.after)) {
      return false;
    }
    parsed.direction = TakeDirection(words, &count);
  }
  if (lock) {
    if (count != 1) {
      return false;
    }
  } else if (internal::TextEquals(words[0], "busy")) {
    parsed.kind = FaultKind::Busy;
    if (count != 3 || !ParseCommandCode(words[1], &parsed.command) ||
        !internal::ParseNumber(words[2], &parsed.count)) {
      return false;
    }
  } else if (internal::TextEquals(words[0], "error")) {
    parsed.kind = FaultKind::ErrorByte;
    if (count != 3 || !ParseCommandCode(words[1], &parsed.command) ||
        !internal::ParseNumber(words[2], &number) || number > 0xFF) {
      return false;
    }
    parsed.errorByte = uint8_t(number);
  } else if (internal::TextEquals(words[0], "hang")) {
    parsed.kind = FaultKind::NeverFinishes;
    if (count != 2 || !ParseCommandCode(words[1], &parsed.command)) {
      return false;
    }
  } else if (internal::TextEquals(words[0], "powercut")) {
    parsed.kind = FaultKind::PowerCut;
    if (count != 2 || !ParseCommandCode(words[1], &parsed.command)) {
      return false;
    }
  } else {
    return false;
  }
  if (!ValidFault(parsed)) {
    return false;
  }
  *fault = parsed;
  return true;
}

}  // namespace sim
