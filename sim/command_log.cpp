// The command log: every executed command of this run, appended to log.txt at Persist, and
// the entries of earlier runs read back only when somebody asks for the log.
// Line format: "RD cmd=0xe0 addr=0x0000 dev=0 target=0 size=256 state=1 err=0x00"
// (RD = read command, WR = write command; numbers as shown, hexadecimal where 0x is written).
#include <cstring>

#include "platform/format.h"
#include "sim/machine.h"

namespace sim {

namespace internal {

namespace {

constexpr const char* kLogFile = "log.txt";

bool Grow(CommandLog& log, size_t needed) {
  if (needed <= log.capacity) {
    return true;
  }
  size_t capacity = log.capacity == 0 ? 256 : log.capacity;
  while (capacity < needed) {
    capacity *= 2;
  }
  auto* entries = static_cast<LogEntry*>(Allocate(capacity * sizeof(LogEntry)));
  if (entries == nullptr) {
    return false;
  }
  if (log.entries != nullptr) {
    std::memcpy(entries, log.entries, log.count * sizeof(LogEntry));
    Release(log.entries);
  }
  log.entries = entries;
  log.capacity = capacity;
  return true;
}

// Puts the entries of the log file in front of this run's entries.
void LoadPersistedLog(Machine& machine) {
  CommandLog& log = machine.log;
  if (log.persistedLoaded) {
    return;
  }
  log.persistedLoaded = true;
  char path[kPathCapacity];
  LineReader reader;
  if (!MachinePath(machine, kLogFile, path, sizeof path) || !OpenLines(reader, path)) {
    return;
  }
  CommandLog earlier;
  char line[128];
  while (NextLine(reader, line, sizeof line)) {
    LogEntry entry{};
    if (ParseLogEntry(line, &entry) && Grow(earlier, earlier.count + 1)) {
      earlier.entries[earlier.count++] = entry;
    }
  }
  CloseLines(reader);
  if (earlier.count > 0 && Grow(earlier, earlier.count + log.count)) {
    if (log.count > 0) {
      std::memcpy(earlier.entries + earlier.count, log.entries, log.count * sizeof(LogEntry));
    }
    size_t persisted = earlier.count;
    earlier.count += log.count;
    earlier.unsavedFrom = persisted + log.unsavedFrom;
    earlier.persistedLoaded = true;
    ReleaseLog(machine);
    log = earlier;
  } else if (earlier.entries != nullptr) {
    Release(earlier.entries);
  }
}

// Reads "name=<number>" at *text and moves behind it.
bool ReadField(const char** text, const char* name, uint32_t* value) {
  size_t nameLength = std::strlen(name);
  if (!StartsWith(*text, name) || (*text)[nameLength] != '=') {
    return false;
  }
  const char* start = *text + nameLength + 1;
  const char* end = start;
  while (*end != 0 && *end != ' ') {
    ++end;
  }
  char number[16];
  size_t length = size_t(end - start);
  if (length == 0 || length >= sizeof number) {
    return false;
  }
  std::memcpy(number, start, length);
  number[length] = 0;
  *text = *end == ' ' ? end + 1 : end;
  return ParseNumber(number, value);
}

}  // namespace

void AppendLog(Machine& machine, const LogEntry& entry) {
  CommandLog& log = machine.log;
  if (Grow(log, log.count + 1)) {
    log.entries[log.count++] = entry;
  }
}

void CountReplyByte(Machine& machine) {
  CommandLog& log = machine.log;
  if (log.count > log.unsavedFrom && log.entries[log.count - 1].size < 0xFFFF) {
    ++log.entries[log.count - 1].size;
  }
}

bool PersistLog(Machine& machine) {
  CommandLog& log = machine.log;
  if (!log.cleared && log.unsavedFrom >= log.count) {
    return true;
  }
  char path[kPathCapacity];
  if (!MachinePath(machine, kLogFile, path, sizeof path)) {
    return false;
  }
  platform::File* file = platform::OpenFile(
      path, log.cleared ? platform::FileMode::WriteBinary : platform::FileMode::AppendBinary);
  if (file == nullptr) {
    return false;
  }
  char buffer[4096];
  size_t used = 0;
  bool ok = true;
  for (size_t i = log.unsavedFrom; i < log.count && ok; ++i) {
    if (used + 96 > sizeof buffer) {
      ok = platform::WriteFile(file, buffer, used) == used;
      used = 0;
    }
    used += FormatLogEntry(log.entries[i], buffer + used, sizeof buffer - used - 1);
    buffer[used++] = '\n';
  }
  ok = ok && platform::WriteFile(file, buffer, used) == used;
  ok = platform::CloseFile(file) && ok;
  if (ok) {
    log.unsavedFrom = log.count;
    log.cleared = false;
  }
  return ok;
}

void ReleaseLog(Machine& machine) {
  if (machine.log.entries != nullptr) {
    Release(machine.log.entries);
  }
  machine.log = CommandLog{};
}

}  // namespace internal

size_t FormatLogEntry(const LogEntry& entry, char* buffer, size_t capacity) {
  return platform::FormatString(buffer, capacity,
                                "%s cmd=0x%02x addr=0x%04x dev=%u target=%u size=%u state=%u "
                                "err=0x%02x",
                                entry.read ? "RD" : "WR", unsigned(entry.code),
                                unsigned(entry.address), unsigned(entry.device),
                                unsigned(entry.target), unsigned(entry.size), unsigned(entry.state),
                                unsigned(entry.errorByte));
}

bool ParseLogEntry(const char* line, LogEntry* entry) {
  LogEntry parsed{};
  if (internal::StartsWith(line, "RD ")) {
    parsed.read = true;
  } else if (!internal::StartsWith(line, "WR ")) {
    return false;
  }
  const char* text = line + 3;
  uint32_t code = 0, address = 0, device = 0, target = 0, size = 0, state = 0, error = 0;
  if (!internal::ReadField(&text, "cmd", &code) || !internal::ReadField(&text, "addr", &address) ||
      !internal::ReadField(&text, "dev", &device) ||
      !internal::ReadField(&text, "target", &target) ||
      !internal::ReadField(&text, "size", &size) || !internal::ReadField(&text, "state", &state) ||
      !internal::ReadField(&text, "err", &error) || *text != 0) {
    return false;
  }
  if (code > 0xFF || address > 0x3FFF || device > 0xF || target > 0xF || size > 256 || state > 7 ||
      error > 0xFF) {
    return false;
  }
  parsed.code = uint8_t(code);
  parsed.address = uint16_t(address);
  parsed.device = uint8_t(device);
  parsed.target = uint8_t(target);
  parsed.size = uint16_t(size);
  parsed.state = uint8_t(state);
  parsed.errorByte = uint8_t(error);
  *entry = parsed;
  return true;
}

size_t LogSize() {
  internal::Machine& machine = internal::LoadedMachine();
  internal::LoadPersistedLog(machine);
  return machine.log.count;
}

LogEntry LogAt(size_t index) {
  internal::Machine& machine = internal::LoadedMachine();
  internal::LoadPersistedLog(machine);
  return index < machine.log.count ? machine.log.entries[index] : LogEntry{};
}

void ClearLog() {
  internal::Machine& machine = internal::LoadedMachine();
  machine.log.count = 0;
  machine.log.unsavedFrom = 0;
  machine.log.persistedLoaded = true;
  machine.log.cleared = !machine.inMemory;
}

}  // namespace sim
