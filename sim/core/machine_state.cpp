// The one simulated machine of the process: choosing it (memory or directory), loading its
// text state on first use, and the configuration accessors.
#include <cstring>

#include "platform/platform.h"
#include "sim/core/machine.h"

namespace sim {

namespace internal {

Machine theMachine;

namespace {

void StartDefault() {
  const char* directory = platform::EnvironmentValue(kStateDirectoryVariable);
  if (directory != nullptr && *directory != 0 && AttachDirectory(directory)) {
    return;
  }
  const char* home = platform::EnvironmentValue("HOME");
  char path[kPathCapacity];
  if (home != nullptr && *home != 0 &&
      BuildPath(path, sizeof path, home, kDefaultStateDirectoryName) && AttachDirectory(path)) {
    return;
  }
  // In place: StartInMemory(DefaultMachineConfig()) would need the configuration on the stack.
  ResetMachine();
  theMachine.started = true;
  theMachine.inMemory = true;
  theMachine.loaded = true;
  theMachine.defaultContents = true;
  SetDefaultMachineConfig(theMachine.config);
  AddDefaultFpgaModules(theMachine.config);
}

}  // namespace

Machine& RawMachine() {
  return theMachine;
}

Machine& LoadMachine() {
  if (!theMachine.started) {
    StartDefault();
  }
  if (!theMachine.loaded) {
    theMachine.loaded = true;
    LoadTextState(theMachine);
  }
  return theMachine;
}

void ResetMachine() {
  ReleaseAreas(theMachine);
  ReleaseLog(theMachine);
  theMachine = Machine{};
}

}  // namespace internal

using internal::LoadedMachine;
using internal::Machine;

void StartInMemory(const MachineConfig& config) {
  internal::ResetMachine();
  Machine& machine = internal::RawMachine();
  machine.started = true;
  machine.inMemory = true;
  machine.loaded = true;
  machine.config = config;
}

bool AttachDirectory(const char* directory) {
  if (directory == nullptr || *directory == 0 ||
      std::strlen(directory) + 32 >= internal::kPathCapacity) {
    return false;
  }
  internal::ResetMachine();
  Machine& machine = internal::RawMachine();
  machine.started = true;
  internal::CopyText(machine.directory, sizeof machine.directory, directory);
  return true;
}

bool CreateMachine(const char* directory, const MachineConfig& config) {
  if (!AttachDirectory(directory) || !platform::CreateDirectory(directory)) {
    return false;
  }
  Machine& machine = internal::RawMachine();
  static constexpr const char* kTextFiles[] = {"machine.txt", "faults.txt", "state.txt", "log.txt"};
  char path[internal::kPathCapacity];
  for (const char* name : kTextFiles) {
    if (internal::BuildPath(path, sizeof path, directory, name)) {
      platform::DeleteFile(path);
    }
  }
  for (int slot = 0; slot < internal::kAreaSlots; ++slot) {
    char name[40];
    if (internal::AreaFileName(slot, name, sizeof name) &&
        internal::BuildPath(path, sizeof path, directory, name)) {
      platform::DeleteFile(path);
    }
  }
  machine.loaded = true;
  machine.config = config;
  machine.configDirty = true;
  machine.faultsDirty = true;
  machine.stateDirty = true;
  return Persist();
}

const MachineConfig& Config() {
  return LoadedMachine().config;
}

void UpdateConfig(const MachineConfig& config) {
  Machine& machine = LoadedMachine();
  machine.config = config;
  machine.configDirty = true;
  internal::ResizeFlashArea(machine);
}

const char* StateDirectory() {
  return internal::RawMachine().directory;
}

bool MachineSaved() {
  return LoadedMachine().saved;
}

}  // namespace sim
