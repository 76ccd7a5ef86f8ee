// The machine that a fresh state directory simulates: an EX64 with two connected panels and
// two fitted PC modules, plausible enough for every front-end path to find data.
#include "sim/machine.h"

namespace sim {

namespace {

ModuleConfig FittedModule(uint32_t id, const char* hardwareRevision, const char* serialNumber,
                          const char* modelNumber) {
  ModuleConfig module;
  module.fitted = true;
  module.id = id;
  internal::CopyText(module.hardwareRevision, sizeof module.hardwareRevision, hardwareRevision);
  internal::CopyText(module.serialNumber, sizeof module.serialNumber, serialNumber);
  internal::CopyText(module.modelNumber, sizeof module.modelNumber, modelNumber);
  return module;
}

}  // namespace

MachineConfig DefaultMachineConfig() {
  MachineConfig config;
  config.pcType = 18;  // EX64
  config.panelChannels = 16;
  config.firmwareVersion = 0x0105;
  config.featureRegister = 1u << 16;  // a key configuration is available
  for (int panel = 0; panel < 2; ++panel) {
    config.panels[panel].connected = true;
    config.panels[panel].versionId = uint16_t(0x1E23 + panel);
    config.panels[panel].linkFpgaMajor = 2;
    config.panels[panel].linkFpgaMinor = 16;
    config.panels[panel].moduleFunctions = true;
  }
  config.modules[0] = FittedModule(0x0000A640, "B0", "E64A1234567", "5PC640.SX00-00");
  config.modules[8] = FittedModule(0x0000A6F1, "A2", "F08B7654321", "5AC640.FAN0-00");
  return config;
}

}  // namespace sim
