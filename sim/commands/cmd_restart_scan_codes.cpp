// Command 0x19: the controller takes up a new key configuration (write, target 1, device 1,
// address 0, no payload). The model counts the restarts, and like the controller it tells
// through feature bit 16 whether the area now holds a configuration (its header's first tag),
// so that a deleted configuration is no longer offered.
#include <cstring>

#include "sim/commands/commands.h"

namespace sim {

namespace internal {

namespace {

constexpr uint32_t kFeatureKeyConfiguration = 1u << 16;
constexpr char kFirstTag[] = "Version:";

bool AreaHoldsConfiguration(Machine& machine) {
  uint8_t head[sizeof kFirstTag - 1];
  return AreaCopyOut(machine, Area::KeyConfiguration, 0, 0, head, sizeof head) &&
         std::memcmp(head, kFirstTag, sizeof head) == 0;
}

}  // namespace

uint8_t RunRestartScanCodes(Machine& machine, CommandCall& call) {
  if (call.read || call.target != 1 || call.device != 1 || call.address != 0) {
    return kErrorInvalidParameter;
  }
  ++machine.scanCodeRestarts;
  machine.stateDirty = true;
  const uint32_t features = AreaHoldsConfiguration(machine)
                                ? machine.config.featureRegister | kFeatureKeyConfiguration
                                : machine.config.featureRegister & ~kFeatureKeyConfiguration;
  if (features != machine.config.featureRegister) {
    machine.config.featureRegister = features;
    machine.configDirty = true;
  }
  return kErrorNone;
}

}  // namespace internal

uint32_t ScanCodeRestartCount() {
  return internal::LoadedMachine().scanCodeRestarts;
}

}  // namespace sim
