// druxsim receiver and hdbt: the link receiver FPGA of a panel (version ID, running image,
// module functions, write protection) and its HDBaseT module; the lines show prints for them.
#include <cstdio>

#include "sim/devices/fpga_image.h"
#include "sim/tool/tool.h"

namespace druxsim {

namespace {

constexpr int kLinkModuleDevice = 1;
constexpr int kHdbtDevice = 4;
constexpr uint32_t kDefaultLinkModuleId = 0xB3A1;
constexpr uint32_t kDefaultHdbtVersion = 105;

struct ReceiverFields {
  bool versionGiven = false;
  uint32_t version = 0;
  uint32_t counter = 0;
  bool high = false;
  int modules = -1;  // -1: unchanged
  int protect = -1;
};

bool ParseFlag(const std::string& value, int* flag) {
  if (value != "0" && value != "1") {
    return false;
  }
  *flag = value == "1" ? 1 : 0;
  return true;
}

bool ParseReceiverFields(const Arguments& words, ReceiverFields* fields) {
  for (const std::string& word : words) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos) {
      return false;
    }
    const std::string key = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    unsigned long long number = 0;
    bool ok = false;
    if (key == "version") {
      ok = ParseVersionNumber(value, &fields->version) && fields->version / 100 <= 15;
      fields->versionGiven = true;
    } else if (key == "counter") {
      ok = ParseUnsigned(value, &number) && number <= 0xFFFFFFFFull;
      fields->counter = uint32_t(number);
    } else if (key == "area") {
      ok = value == "low" || value == "high";
      fields->high = value == "high";
    } else if (key == "modules") {
      ok = ParseFlag(value, &fields->modules);
    } else if (key == "protect") {
      ok = ParseFlag(value, &fields->protect);
    }
    if (!ok) {
      return false;
    }
  }
  return true;
}

bool ParsePanel(const Arguments& args, int* panel) {
  unsigned long long number = 0;
  if (args.empty() || !ParseUnsigned(args[0], &number) || number >= unsigned(sim::kPanelChannels)) {
    return false;
  }
  *panel = int(number);
  return true;
}

// A panel whose receiver runs from a link module has that module (panel module 1) fitted.
void FitLinkModule(sim::PanelConfig& panel) {
  sim::ModuleConfig& module = panel.modules[kLinkModuleDevice];
  if (module.fitted) {
    return;
  }
  module = sim::ModuleConfig{};
  module.fitted = true;
  module.id = kDefaultLinkModuleId;
  std::snprintf(module.hardwareRevision, sizeof module.hardwareRevision, "A0");
  std::snprintf(module.serialNumber, sizeof module.serialNumber, "L1A00054321");
  std::snprintf(module.modelNumber, sizeof module.modelNumber, "DX-PANEL-LINK");
}

int SetUpReceiver(int panel, const Arguments& words) {
  Arguments rest = words;
  sim::MachineConfig config = sim::Config();
  sim::PanelConfig& target = config.panels[panel];
  unsigned long long versionId = 0;
  if (!rest.empty() && rest[0].find('=') == std::string::npos) {
    if (!ParseUnsigned(rest[0], &versionId) || versionId > 0xFFFF) {
      return Fail(kExitUsage, "receiver: bad version ID " + rest[0]);
    }
    target.versionId = uint16_t(versionId);
    rest.erase(rest.begin());
  }
  ReceiverFields fields;
  if (!ParseReceiverFields(rest, &fields)) {
    return Fail(kExitUsage,
                "receiver P [VERSIONID] [version=M.m] [counter=N] [area=low|high] [modules=0|1] "
                "[protect=0|1]");
  }
  target.connected = true;
  if (fields.versionGiven) {
    target.linkFpgaMajor = uint8_t(fields.version / 100);
    target.linkFpgaMinor = uint8_t(fields.version % 100);
  }
  if (fields.modules >= 0) {
    target.moduleFunctions = fields.modules == 1;
  }
  if (fields.protect >= 0) {
    target.flashProtected = fields.protect == 1;
  }
  FitLinkModule(target);
  sim::UpdateConfig(config);
  if (!sim::SetUpPanelReceiver(panel, fields.counter, fields.high)) {
    return Fail(kExitUsage, "receiver: the version ID has no link receiver");
  }
  return kExitOk;
}

}  // namespace

void PrintReceiverLine(const char* indent, int panel) {
  const sim::PanelConfig& config = sim::Config().panels[panel];
  const char* source = sim::PanelReceiverSource(panel);
  std::printf("%sreceiver: %s, module functions %s, flash %s", indent,
              source != nullptr ? source : "none", config.moduleFunctions ? "on" : "off",
              config.flashProtected ? "protected" : "unprotected");
  // The link module's copies show under the FPGA modules; the panel flash's image here.
  uint8_t header[sim::kImageHeaderSize];
  if (source != nullptr && source[0] == 'p' &&
      sim::ReadAreaBytes(sim::Area::PanelFlash, sim::kImageHeaderOffset, header, sizeof header,
                         panel) &&
      sim::Crc16(0xFFFF, header, sizeof header) == 0) {
    const uint32_t counter = uint32_t(header[8]) | uint32_t(header[9]) << 8 |
                             uint32_t(header[10]) << 16 | uint32_t(header[11]) << 24;
    std::printf(", image id=%.4s version-text=%.4s counter=%u", reinterpret_cast<char*>(header),
                reinterpret_cast<char*>(header + 4), unsigned(counter));
  }
  std::printf("\n");
}

int RunReceiver(const Arguments& args) {
  int panel = 0;
  if (!ParsePanel(args, &panel)) {
    return Fail(kExitUsage, "receiver: give a panel number 0-15");
  }
  if (args.size() == 1) {
    PrintReceiverLine("", panel);
    return kExitOk;
  }
  const int result = SetUpReceiver(panel, Arguments(args.begin() + 1, args.end()));
  return result != kExitOk ? result : SaveMachine();
}

int RunHdbt(const Arguments& args) {
  int panel = 0;
  if (!ParsePanel(args, &panel)) {
    return Fail(kExitUsage, "hdbt: give a panel number 0-15");
  }
  if (args.size() == 1) {
    PrintFpgaLine(("hdbt " + std::to_string(panel)).c_str(), panel, kHdbtDevice);
    return kExitOk;
  }
  if (args.size() == 2 && args[1] == "none") {
    sim::RemoveFpgaModule(panel, kHdbtDevice);
    return SaveMachine();
  }
  ReceiverFields fields;
  fields.version = kDefaultHdbtVersion;
  if (!ParseReceiverFields(Arguments(args.begin() + 1, args.end()), &fields) ||
      fields.modules >= 0 || fields.protect >= 0) {
    return Fail(kExitUsage, "hdbt P [version=M.m] [counter=N] [area=low|high] | none");
  }
  if (!sim::SetUpFpgaModule(panel, kHdbtDevice, "VRTP", fields.version, fields.counter,
                            fields.high)) {
    return Fail(kExitIo, "hdbt: can't write the image");
  }
  return SaveMachine();
}

}  // namespace druxsim
