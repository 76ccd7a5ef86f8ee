// The command log: every executed command of this run, appended to log.txt at Persist, and
// the entries of earlier runs read back only when somebody asks for the log.
// Line format: "RD cmd=0xe0 addr=0x0000 dev=0 target=0 size=256 state=1 err=0x00"
// (RD = read command, WR = write command; numbers as shown, hexadecimal where 0x is written).
// The log keeps the most recent kLogKeptEntries commands and counts all of them. A bulk
// transfer logs over 100,000 commands, so the file may grow to twice the kept entries before
// it is cut back: appends stay cheap and the file stays bounded.
#include <cstring>

#include "platform/format.h"
#include "sim/core/machine.h"

namespace sim {

namespace internal {

namespace {

constexpr const char* kLogFile = "log.txt";
constexpr const char* kLogRewriteFile = "log.txt.new";
constexpr size_t kLogFileLimit = 2 * kLogKeptEntries;

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

// Forgets the oldest entries in memory (the log keeps the newest ones only). Unsaved entries
// that go leave the log file's entries out of date: the next Persist rewrites it.
void DropOldest(CommandLog& log, size_t dropped) {
  std::memmove(log.entries, log.entries + dropped, (log.count - dropped) * sizeof(LogEntry));
  log.count -= dropped;
  if (log.unsavedFrom >= dropped) {
    log.unsavedFrom -= dropped;
  } else {
    log.unsavedFrom = 0;
    log.unsavedDropped = true;
  }
}

bool AddEntry(CommandLog& log, const LogEntry& entry) {
  if (log.count >= kLogFileLimit) {
    DropOldest(log, log.count - kLogKeptEntries);
  }
  if (!Grow(log, log.count + 1)) {
    return false;
  }
  log.entries[log.count++] = entry;
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
    log.fileLines = log.fileLines < 0 ? 0 : log.fileLines;
    return;
  }
  CommandLog earlier;
  size_t lines = 0;
  char line[128];
  while (NextLine(reader, line, sizeof line)) {
    ++lines;
    LogEntry entry{};
    if (ParseLogEntry(line, &entry)) {
      AddEntry(earlier, entry);
    }
  }
  CloseLines(reader);
  if (log.fileLines < 0) {  // a directory of a version that did not count them
    log.total += lines;
  }
  log.fileLines = long(lines);
  if (earlier.count > 0 && Grow(earlier, earlier.count + log.count)) {
    if (log.count > 0) {
      std::memcpy(earlier.entries + earlier.count, log.entries, log.count * sizeof(LogEntry));
    }
    size_t persisted = earlier.count;
    earlier.count += log.count;
    earlier.unsavedFrom = persisted + log.unsavedFrom;
    earlier.persistedLoaded = true;
    earlier.total = log.total;
    earlier.fileLines = log.fileLines;
    earlier.unsavedDropped = log.unsavedDropped;
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

// Entries [from, to) as lines into the file.
bool WriteEntries(platform::File* file, const CommandLog& log, size_t from, size_t to) {
  char buffer[4096];
  size_t used = 0;
  bool ok = true;
  for (size_t i = from; i < to && ok; ++i) {
    if (used + 96 > sizeof buffer) {
      ok = platform::WriteFile(file, buffer, used) == used;
      used = 0;
    }
    used += FormatLogEntry(log.entries[i], buffer + used, sizeof buffer - used - 1);
    buffer[used++] = '\n';
  }
  return ok && platform::WriteFile(file, buffer, used) == used;
}

// This run's entries behind those of the file (or instead of them after a clear).
bool AppendToLogFile(Machine& machine) {
  CommandLog& log = machine.log;
  char path[kPathCapacity];
  if (!MachinePath(machine, kLogFile, path, sizeof path)) {
    return false;
  }
  platform::File* file = platform::OpenFile(
      path, log.cleared ? platform::FileMode::WriteBinary : platform::FileMode::AppendBinary);
  if (file == nullptr) {
    return false;
  }
  bool ok = WriteEntries(file, log, log.unsavedFrom, log.count);
  ok = platform::CloseFile(file) && ok;
  if (ok) {
    log.fileLines = (log.cleared ? 0 : log.fileLines) + long(log.count - log.unsavedFrom);
  }
  return ok;
}

// The file cut back to the newest kept entries, through a new file that replaces it.
bool RewriteLogFile(Machine& machine) {
  CommandLog& log = machine.log;
  if (!log.unsavedDropped && !log.cleared && log.count - log.unsavedFrom < kLogKeptEntries) {
    LoadPersistedLog(machine);  // the newest entries of the file are among those kept
  }
  char path[kPathCapacity];
  char rewrite[kPathCapacity];
  if (!MachinePath(machine, kLogFile, path, sizeof path) ||
      !MachinePath(machine, kLogRewriteFile, rewrite, sizeof rewrite)) {
    return false;
  }
  platform::File* file = platform::OpenFile(rewrite, platform::FileMode::WriteBinary);
  if (file == nullptr) {
    return false;
  }
  const size_t from = log.count > kLogKeptEntries ? log.count - kLogKeptEntries : 0;
  bool ok = WriteEntries(file, log, from, log.count);
  ok = platform::CloseFile(file) && ok;
  ok = ok && platform::RenameFile(rewrite, path);
  if (!ok) {
    platform::DeleteFile(rewrite);
    return false;
  }
  log.fileLines = long(log.count - from);
  return true;
}

}  // namespace

void AppendLog(Machine& machine, const LogEntry& entry) {
  if (AddEntry(machine.log, entry)) {
    ++machine.log.total;
  }
}

void SettleReplyBytes(Machine& machine) {
  CommandLog& log = machine.log;
  if (machine.replyBytes != 0 && log.count > log.unsavedFrom) {
    const uint32_t size = log.entries[log.count - 1].size + machine.replyBytes;
    log.entries[log.count - 1].size = uint16_t(size < 0xFFFF ? size : 0xFFFF);
  }
  machine.replyBytes = 0;
}

bool PersistLog(Machine& machine) {
  CommandLog& log = machine.log;
  SettleReplyBytes(machine);
  if (!log.cleared && !log.unsavedDropped && log.unsavedFrom >= log.count) {
    return true;
  }
  if (log.fileLines < 0 && !log.cleared) {
    LoadPersistedLog(machine);  // counts the lines of the file
  }
  const size_t before = log.cleared || log.fileLines < 0 ? 0 : size_t(log.fileLines);
  const bool fits = before + (log.count - log.unsavedFrom) <= kLogFileLimit;
  const bool ok = !log.unsavedDropped && fits ? AppendToLogFile(machine) : RewriteLogFile(machine);
  if (ok) {
    log.unsavedFrom = log.count;
    log.cleared = false;
    log.unsavedDropped = false;
    machine.stateDirty = true;  // the line count and the total are kept in state.txt
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

// The entries that the log keeps: the newest kLogKeptEntries.
size_t LogSize() {
  internal::Machine& machine = internal::LoadedMachine();
  internal::LoadPersistedLog(machine);
  internal::SettleReplyBytes(machine);
  const size_t count = machine.log.count;
  return count < kLogKeptEntries ? count : kLogKeptEntries;
}

LogEntry LogAt(size_t index) {
  const size_t kept = LogSize();
  const internal::CommandLog& log = internal::RawMachine().log;
  return index < kept ? log.entries[log.count - kept + index] : LogEntry{};
}

uint64_t LogTotal() {
  internal::Machine& machine = internal::LoadedMachine();
  if (machine.log.fileLines < 0) {
    internal::LoadPersistedLog(machine);  // a directory of a version that did not count
  }
  return machine.log.total;
}

void ClearLog() {
  internal::Machine& machine = internal::LoadedMachine();
  machine.log.count = 0;
  machine.log.unsavedFrom = 0;
  machine.log.persistedLoaded = true;
  machine.log.cleared = !machine.inMemory;
  machine.log.unsavedDropped = false;
  machine.log.total = 0;
  machine.log.fileLines = 0;
  machine.replyBytes = 0;
  machine.stateDirty = true;
}

}  // namespace sim
