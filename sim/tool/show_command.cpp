// druxsim show: everything about the simulated PC in readable form.
#include <cstdio>

#include "controller/registers.h"
#include "sim/tool/tool.h"

namespace druxsim {

namespace {

void ShowController(const sim::MachineConfig& config) {
  const char* model = sim::PcModelName(config.pcType);
  std::printf("Controller:          %s, identification %s\n",
              config.present ? "present" : "absent (ports read 0xff)", config.id);
  std::printf("PC type:             %u (%s)\n", unsigned(config.pcType),
              model != nullptr ? model : "no model");
  std::printf("Firmware version:    %u.%02u\n", unsigned(config.firmwareVersion >> 8),
              unsigned(config.firmwareVersion & 0xFF));
  std::printf("Panel channels:      %u\n", unsigned(config.panelChannels));
  std::printf("Update counter:      %u\n", unsigned(config.updateCounter));
  std::printf("System flags:        0x%08x\n", unsigned(config.systemFlags));
  std::printf("Feature register:    0x%08x\n", unsigned(config.featureRegister));
  std::printf("BIOS register:       0x%08x\n", unsigned(config.biosRegister));
  if (config.biosWordStored) {
    std::printf("BIOS settings word:  0x%08x (record bytes 0-3: 0x%08x)\n",
                unsigned(config.biosWord), unsigned(config.biosWordHead));
  } else {
    std::printf("BIOS settings word:  none stored (record bytes 0-3: 0x%08x)\n",
                unsigned(config.biosWordHead));
  }
  std::printf("Flash:               %zu bytes\n", sim::AreaSize(sim::Area::Flash));
  std::printf("PC identity:         device ID 0x%08x, parent 0x%08x, model \"%s\"\n",
              unsigned(config.pcDeviceId), unsigned(config.pcParentId), config.pcModelNumber);
  std::printf("User serial ID:      0x%08x (record bytes 0-3: 0x%08x)\n",
              unsigned(config.userSerialId), unsigned(config.userSerialIdHead));
  std::printf("PC reboots:          %u\n", unsigned(sim::PcRebootCount()));
  std::printf("Scan-code restarts:  %u\n", unsigned(sim::ScanCodeRestartCount()));
}

void ShowPanelDetails(int number, const sim::PanelConfig& panel) {
  std::printf("      backlight-on %u h (%u cycles)\n", unsigned(panel.backlightHours),
              unsigned(panel.backlightCycles));
  sim::PanelRequests requests = sim::PanelRequestsOf(number);
  if (requests.count != 0) {
    std::printf("      requests (0x22): %u, last byte 0 = 0x%02x\n", unsigned(requests.count),
                unsigned(requests.lastRequest));
  }
  for (int i = 0; i < sim::kModules; ++i) {
    const sim::ModuleConfig& module = panel.modules[i];
    if (module.fitted) {
      std::printf("      module %2d: ", i);
      PrintModuleIdentity(module);
      PrintModuleStatistics("        ", module.statistics);
    }
  }
}

void ShowPanels(const sim::MachineConfig& config) {
  std::printf("Panels:\n");
  bool any = false;
  for (int i = 0; i < sim::kPanelChannels; ++i) {
    const sim::PanelConfig& panel = config.panels[i];
    if (!panel.connected && panel.versionId == 0) {
      continue;
    }
    any = true;
    std::printf("  %2d: %s, version ID 0x%04x, link FPGA %u.%u%s%s\n", i,
                panel.connected ? "connected" : "not connected", unsigned(panel.versionId),
                unsigned(panel.linkFpgaMajor), unsigned(panel.linkFpgaMinor),
                panel.moduleFunctions ? "" : ", no module functions",
                uint32_t(i) >= config.panelChannels ? " (beyond the channel count)" : "");
    PrintReceiverLine("      ", i);
    ShowPanelDetails(i, panel);
  }
  if (!any) {
    std::printf("  none\n");
  }
}

void ShowModules(const sim::MachineConfig& config) {
  std::printf("PC modules:\n");
  bool any = false;
  for (int i = 0; i < sim::kModules; ++i) {
    const sim::ModuleConfig& module = config.modules[i];
    if (!module.fitted) {
      continue;
    }
    any = true;
    std::printf("  %2d: ", i);
    PrintModuleIdentity(module);
    PrintModuleStatistics("      ", module.statistics);
  }
  if (!any) {
    std::printf("  none\n");
  }
}

void ShowFaults() {
  std::printf("Faults:\n");
  if (sim::FaultCount() == 0) {
    std::printf("  none\n");
  }
  for (int i = 0; i < sim::FaultCount(); ++i) {
    char text[64];
    sim::FormatFault(sim::FaultAt(i), text, sizeof text);
    std::printf("  %s\n", text);
  }
}

void ShowHandshake() {
  uint32_t status = sim::CommandStatusValue();
  std::printf("Command status:      0x%08x (state %u, error byte 0x%02x, lock %s)\n",
              unsigned(status), unsigned((status & drux::kStatusStateMask) >> 8),
              unsigned(status & drux::kStatusErrorByteMask),
              (status & drux::kStatusLockBit) != 0 ? "held" : "free");
  std::printf("Protocol violations: %u\n", unsigned(sim::ProtocolViolationCount()));
  if (sim::ProtocolViolationCount() != 0) {
    std::printf("  last: %s\n", sim::LastProtocolViolation());
  }
  std::printf("Port accesses:       %llu\n",
              static_cast<unsigned long long>(sim::PortAccessCount()));
  std::printf("Command log:         %zu entries\n", sim::LogSize());
  std::printf("Commands logged:     %llu since the log was cleared\n",
              static_cast<unsigned long long>(sim::LogTotal()));
}

}  // namespace

int RunShow(const Arguments& args) {
  if (!args.empty()) {
    return Fail(kExitUsage, "show takes no arguments");
  }
  const sim::MachineConfig& config = sim::Config();
  std::printf("Machine directory:   %s (%s)\n", sim::StateDirectory(),
              sim::MachineSaved() ? "saved" : "nothing saved yet: the default machine");
  ShowController(config);
  ShowPanels(config);
  ShowModules(config);
  ShowFpgaModules();
  ShowFaults();
  ShowHandshake();
  return kExitOk;
}

}  // namespace druxsim
