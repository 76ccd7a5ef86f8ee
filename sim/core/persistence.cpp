// The machine's state directory. Files (all line-based key=value text except the memory areas):
//   machine.txt  configuration (config_text.cpp)
//   faults.txt   one fault a line ("lock", "busy 0xe0 3", "error 0xa0 0x82", "hang 0x10")
//   state.txt    access count, command status register, panel select, protocol violations,
//                the number of logged commands and of lines in log.txt
//   log.txt      one executed command a line, the newest ones (command_log.cpp)
//   *.bin        memory areas as raw bytes; missing bytes read as erased (0xFF). The first
//                save of the default machine writes its factory contents here.
// Loading is lazy: the text files on first use, each memory page when a command touches it.
#include <cstring>

#include "sim/core/machine.h"

namespace sim {

namespace internal {

namespace {

constexpr const char* kConfigFile = "machine.txt";
constexpr const char* kFaultsFile = "faults.txt";
constexpr const char* kStateFile = "state.txt";
constexpr size_t kLineCapacity = 256;

// Splits "key=value" in place; false for comments, empty lines and lines without '='.
bool SplitKeyValue(char* line, const char** key, const char** value) {
  if (line[0] == '#' || line[0] == 0) {
    return false;
  }
  char* equals = line;
  while (*equals != 0 && *equals != '=') {
    ++equals;
  }
  if (*equals != '=') {
    return false;
  }
  *equals = 0;
  *key = line;
  *value = equals + 1;
  return true;
}

void LoadConfig(Machine& machine) {
  char path[kPathCapacity];
  LineReader reader;
  if (!MachinePath(machine, kConfigFile, path, sizeof path) || !OpenLines(reader, path)) {
    SetDefaultMachineConfig(machine.config);
    AddDefaultFpgaModules(machine.config);
    machine.saved = false;
    machine.defaultContents = true;
    return;
  }
  // The file lists every field; what it does not list stays blank (no panels, no modules).
  SetBlankMachineConfig(machine.config);
  machine.saved = true;
  char line[kLineCapacity];
  while (NextLine(reader, line, sizeof line)) {
    const char* key = nullptr;
    const char* value = nullptr;
    if (SplitKeyValue(line, &key, &value)) {
      ApplySetting(machine.config, key, value);  // unknown keys of newer versions are skipped
    }
  }
  CloseLines(reader);
}

void LoadFaults(Machine& machine) {
  char path[kPathCapacity];
  LineReader reader;
  if (!MachinePath(machine, kFaultsFile, path, sizeof path) || !OpenLines(reader, path)) {
    return;
  }
  char line[kLineCapacity];
  while (NextLine(reader, line, sizeof line)) {
    Fault fault{};
    if (line[0] != '#' && ParseFault(line, &fault) && machine.faultCount < kMaxFaults) {
      machine.faults[machine.faultCount++] = fault;
    }
  }
  CloseLines(reader);
}

uint64_t ParseCount(const char* text) {
  uint64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + uint64_t(*text - '0');
  }
  return value;
}

// "panel-requests.N=<count>,<byte 0 of the last request>"
void LoadPanelRequests(Machine& machine, const char* key, const char* value) {
  constexpr const char* kPrefix = "panel-requests.";
  uint32_t panel = 0;
  uint32_t fields[2] = {};
  if (StartsWith(key, kPrefix) && ParseNumber(key + std::strlen(kPrefix), &panel) &&
      panel < uint32_t(kPanelChannels) && ParseNumberList(value, fields, 2) && fields[1] <= 0xFF) {
    machine.panelRequests[panel] = PanelRequests{fields[0], uint8_t(fields[1])};
  }
}

// "update-pending=link" or "update-pending=<panel>:<device>"
void LoadUpdatePending(Machine& machine, const char* value) {
  if (TextEquals(value, "link")) {
    machine.transmitterUpdatePending = true;
    return;
  }
  uint32_t numbers[2] = {};
  char list[16];
  CopyText(list, sizeof list, value);
  for (char* p = list; *p != 0; ++p) {
    *p = *p == ':' ? ',' : *p;
  }
  if (ParseNumberList(list, numbers, 2) && numbers[0] < uint32_t(kPanelChannels) &&
      numbers[1] < uint32_t(kPanelFpgaDevices)) {
    machine.panelFpgaUpdatePending[numbers[0]][numbers[1]] = true;
  }
}

void LoadState(Machine& machine) {
  char path[kPathCapacity];
  LineReader reader;
  if (!MachinePath(machine, kStateFile, path, sizeof path) || !OpenLines(reader, path)) {
    return;
  }
  char line[kLineCapacity];
  while (NextLine(reader, line, sizeof line)) {
    const char* key = nullptr;
    const char* value = nullptr;
    uint32_t number = 0;
    if (!SplitKeyValue(line, &key, &value)) {
      continue;
    }
    if (TextEquals(key, "accesses")) {
      machine.accessCount = ParseCount(value);
      machine.savedAccessCount = machine.accessCount;
    } else if (TextEquals(key, "log-total")) {
      machine.log.total = ParseCount(value);
    } else if (TextEquals(key, "log-lines")) {
      machine.log.fileLines = long(ParseCount(value));
    } else if (TextEquals(key, "status") && ParseNumber(value, &number)) {
      machine.statusLow = number & 0xFFF;
    } else if (TextEquals(key, "panel-select") && ParseNumber(value, &number)) {
      machine.panelSelect = uint8_t(number);
    } else if (TextEquals(key, "violations") && ParseNumber(value, &number)) {
      machine.violationCount = number;
    } else if (TextEquals(key, "last-violation")) {
      CopyText(machine.lastViolation, sizeof machine.lastViolation, value);
    } else if (TextEquals(key, "module-panel") && ParseNumber(value, &number)) {
      machine.modulePanel = number < uint32_t(kPanelChannels) ? int8_t(number) : int8_t(-1);
    } else if (TextEquals(key, "pc-reboots") && ParseNumber(value, &number)) {
      machine.pcReboots = number;
    } else if (TextEquals(key, "scancode-restarts") && ParseNumber(value, &number)) {
      machine.scanCodeRestarts = number;
    } else if (TextEquals(key, "update-pending")) {
      LoadUpdatePending(machine, value);
    } else {
      LoadPanelRequests(machine, key, value);
    }
  }
  CloseLines(reader);
}

bool WriteBuiltText(Machine& machine, const char* name, const TextBuilder& text) {
  char path[kPathCapacity];
  return !text.overflow && MachinePath(machine, name, path, sizeof path) &&
         WriteTextFile(path, text.data, text.length);
}

bool SaveConfig(Machine& machine) {
  size_t capacity = ConfigTextCapacity(machine.config);
  char* buffer = static_cast<char*>(Allocate(capacity));
  if (buffer == nullptr) {
    return false;
  }
  TextBuilder text{buffer, capacity, 0, false};
  AppendConfigText(text, machine.config);
  bool ok = WriteBuiltText(machine, kConfigFile, text);
  Release(buffer);
  return ok;
}

bool SaveFaults(Machine& machine) {
  char buffer[64 * (kMaxFaults + 2)];
  TextBuilder text{buffer, sizeof buffer, 0, false};
  AppendText(text, "# Simulated DRUX controller: injected faults\n");
  for (int i = 0; i < machine.faultCount; ++i) {
    char fault[48];
    FormatFault(machine.faults[i], fault, sizeof fault);
    AppendText(text, "%s\n", fault);
  }
  return WriteBuiltText(machine, kFaultsFile, text);
}

bool SaveState(Machine& machine) {
  char buffer[3072];
  TextBuilder text{buffer, sizeof buffer, 0, false};
  AppendText(text, "# Simulated DRUX controller: registers and counters\n");
  AppendText(text, "accesses=%llu\n", static_cast<unsigned long long>(machine.accessCount));
  AppendText(text, "status=0x%03x\n", unsigned(machine.statusLow & 0xFFF));
  AppendText(text, "panel-select=%u\n", unsigned(machine.panelSelect));
  AppendText(text, "violations=%u\n", unsigned(machine.violationCount));
  AppendText(text, "last-violation=%s\n", machine.lastViolation);
  AppendText(text, "module-panel=%d\n", int(machine.modulePanel));
  AppendText(text, "pc-reboots=%u\n", unsigned(machine.pcReboots));
  AppendText(text, "scancode-restarts=%u\n", unsigned(machine.scanCodeRestarts));
  if (machine.log.fileLines >= 0) {
    AppendText(text, "log-total=%llu\n", static_cast<unsigned long long>(machine.log.total));
    AppendText(text, "log-lines=%ld\n", machine.log.fileLines);
  }
  for (int panel = 0; panel < kPanelChannels; ++panel) {
    const PanelRequests& requests = machine.panelRequests[panel];
    if (requests.count != 0) {
      AppendText(text, "panel-requests.%d=%u,0x%02x\n", panel, unsigned(requests.count),
                 unsigned(requests.lastRequest));
    }
  }
  if (machine.transmitterUpdatePending) {
    AppendText(text, "update-pending=link\n");
  }
  for (int panel = 0; panel < kPanelChannels; ++panel) {
    for (int device = 0; device < kPanelFpgaDevices; ++device) {
      if (machine.panelFpgaUpdatePending[panel][device]) {
        AppendText(text, "update-pending=%d:%d\n", panel, device);
      }
    }
  }
  if (!WriteBuiltText(machine, kStateFile, text)) {
    return false;
  }
  machine.savedAccessCount = machine.accessCount;
  return true;
}

bool StateChanged(const Machine& machine) {
  return machine.stateDirty || machine.accessCount != machine.savedAccessCount;
}

bool AnythingToSave(const Machine& machine) {
  if (machine.configDirty || machine.faultsDirty || StateChanged(machine) || machine.log.cleared ||
      machine.log.unsavedDropped || machine.log.unsavedFrom < machine.log.count ||
      machine.replyBytes != 0) {
    return true;
  }
  for (const AreaStore& store : machine.areas) {
    for (uint32_t page = 0; page < store.pageCount; ++page) {
      if (store.dirty[page] != 0) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

void LoadTextState(Machine& machine) {
  if (machine.inMemory) {
    return;
  }
  LoadConfig(machine);
  LoadFaults(machine);
  LoadState(machine);
}

}  // namespace internal

bool Persist() {
  internal::Machine& machine = internal::RawMachine();
  if (!machine.started || machine.inMemory || !machine.loaded ||
      !internal::AnythingToSave(machine)) {
    return true;
  }
  if (!platform::CreateDirectory(machine.directory)) {
    return false;
  }
  bool fresh = !machine.saved;
  bool ok = true;
  if (machine.configDirty || fresh) {
    bool saved = internal::SaveConfig(machine);
    machine.configDirty = !saved;
    ok = saved && ok;
  }
  if (machine.faultsDirty || fresh) {
    bool saved = internal::SaveFaults(machine);
    machine.faultsDirty = !saved;
    ok = saved && ok;
  }
  // The log first: state.txt records how many lines the log file holds.
  ok = internal::PersistLog(machine) && ok;
  if (internal::StateChanged(machine) || fresh) {
    bool saved = internal::SaveState(machine);
    machine.stateDirty = !saved;
    ok = saved && ok;
  }
  if (fresh && machine.defaultContents) {
    ok = internal::WriteOutDefaultContents(machine) && ok;
  }
  ok = internal::PersistAreas(machine) && ok;
  if (!machine.configDirty) {
    machine.saved = true;
  }
  return ok;
}

}  // namespace sim
