// druxsim transmitter, converter and powercycle: the flash-backed FPGA modules of the
// simulated PC, and the lines that show prints for them.
#include <cstdio>

#include "sim/tool/tool.h"

namespace druxsim {

namespace {

constexpr uint32_t kTransmitterModule = 3;
constexpr uint32_t kDefaultTransmitterId = 0xA6B0;
constexpr uint32_t kDefaultConverterId = 0xB3C2;

struct FpgaFields {
  uint32_t version = 100;
  uint32_t counter = 0;
  bool high = false;
  bool deviceIdGiven = false;
  uint32_t deviceId = 0;
  uint32_t parentId = 0;
};

bool ParseNumber32(const std::string& text, uint32_t* value) {
  unsigned long long number = 0;
  if (!ParseUnsigned(text, &number) || number > 0xFFFFFFFFull) {
    return false;
  }
  *value = uint32_t(number);
  return true;
}

}  // namespace

// "major.minor" with a decimal minor below 100 -> major * 100 + minor.
bool ParseVersionNumber(const std::string& text, uint32_t* version) {
  const size_t dot = text.find('.');
  unsigned long long major = 0;
  unsigned long long minor = 0;
  if (dot == std::string::npos || !ParseUnsigned(text.substr(0, dot), &major) ||
      !ParseUnsigned(text.substr(dot + 1), &minor) || minor > 99 || major > 99) {
    return false;
  }
  *version = uint32_t(major * 100 + minor);
  return true;
}

namespace {

// KEY=VALUE words; `withParent` allows parent= (the transmitter's).
bool ParseFpgaFields(const Arguments& words, bool withParent, FpgaFields* fields) {
  for (const std::string& word : words) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos) {
      return false;
    }
    const std::string key = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    bool ok = false;
    if (key == "version") {
      ok = ParseVersionNumber(value, &fields->version);
    } else if (key == "counter") {
      ok = ParseNumber32(value, &fields->counter);
    } else if (key == "area") {
      ok = value == "low" || value == "high";
      fields->high = value == "high";
    } else if (key == "devid") {
      ok = ParseNumber32(value, &fields->deviceId);
      fields->deviceIdGiven = true;
    } else if (key == "parent" && withParent) {
      ok = ParseNumber32(value, &fields->parentId);
    }
    if (!ok) {
      return false;
    }
  }
  return true;
}

// The module that carries the FPGA: fitted with the defaults unless it is already.
void FitCarrier(sim::ModuleConfig& module, uint32_t defaultId, const char* serial,
                const char* model, const FpgaFields& fields) {
  if (!module.fitted) {
    module = sim::ModuleConfig{};
    module.fitted = true;
    module.id = defaultId;
    std::snprintf(module.hardwareRevision, sizeof module.hardwareRevision, "A1");
    std::snprintf(module.serialNumber, sizeof module.serialNumber, "%s", serial);
  }
  if (module.modelNumber[0] == 0) {
    std::snprintf(module.modelNumber, sizeof module.modelNumber, "%s", model);
  }
  if (fields.deviceIdGiven) {
    module.id = fields.deviceId;
  }
}

}  // namespace

void PrintFpgaLine(const char* name, int panel, int device) {
  sim::FpgaStatus status{};
  if (!sim::FpgaModuleStatus(panel, device, &status)) {
    std::printf("%s: none\n", name);
    return;
  }
  std::printf("%s: %s running=%s ", name, status.kind, status.runsHigh ? "high" : "low");
  if (status.headerValid) {
    unsigned version = 0;
    bool digits = true;
    for (int i = 0; i < 4; ++i) {
      digits = digits && status.versionText[i] >= '0' && status.versionText[i] <= '9';
      version = version * 10 + unsigned(status.versionText[i] - '0');
    }
    std::printf("id=%.4s ", status.id);
    if (digits) {
      std::printf("version=%u.%02u", version / 100, version % 100);
    } else {
      std::printf("version-text=\"%.4s\"", status.versionText);
    }
    std::printf(" counter=%u", unsigned(status.counter));
  } else {
    std::printf("header=invalid");
  }
  std::printf(" crc=%s update=%s\n", status.crcError ? "error" : "ok",
              status.updatePending ? "pending" : "none");
}

namespace {

bool ValidKind(const std::string& kind) {
  return kind.size() == 4 && kind.find_first_of(" \t=") == std::string::npos;
}

}  // namespace

bool ValidFpgaSpec(bool transmitter, const std::string& kind, const Arguments& words) {
  FpgaFields fields;
  return ValidKind(kind) && ParseFpgaFields(words, transmitter, &fields);
}

int SetUpTransmitter(const std::string& kind, const Arguments& words) {
  FpgaFields fields;
  if (!ValidKind(kind) || !ParseFpgaFields(words, true, &fields)) {
    return Fail(kExitUsage,
                "transmitter ID [version=M.m] [counter=N] [area=low|high] [parent=V] [devid=V]");
  }
  sim::MachineConfig config = sim::Config();
  sim::ModuleConfig& module = config.modules[kTransmitterModule];
  FitCarrier(module, kDefaultTransmitterId, "T64A0004711", "DX-LINK-TX4", fields);
  module.parentId = fields.parentId;
  sim::UpdateConfig(config);
  if (!sim::SetUpFpgaModule(sim::kTransmitterPanel, sim::kTransmitterDevice, kind.c_str(),
                            fields.version, fields.counter, fields.high)) {
    return Fail(kExitIo, "transmitter: can't write the image");
  }
  return kExitOk;
}

int SetUpConverter(int panel, const std::string& kind, const Arguments& words) {
  FpgaFields fields;
  if (!ValidKind(kind) || !ParseFpgaFields(words, false, &fields)) {
    return Fail(kExitUsage, "converter P TYPE [version=M.m] [counter=N] [area=low|high] [devid=V]");
  }
  sim::MachineConfig config = sim::Config();
  sim::ModuleConfig& module = config.panels[panel].modules[sim::kConverterDevice];
  FitCarrier(module, kDefaultConverterId, "C3B00012345",
             kind == "KR4B" ? "KVN4-Bridgebox" : "KVN3-Bridgebox", fields);
  sim::UpdateConfig(config);
  if (!sim::SetUpFpgaModule(panel, sim::kConverterDevice, kind.c_str(), fields.version,
                            fields.counter, fields.high)) {
    return Fail(kExitIo, "converter: can't write the image");
  }
  return kExitOk;
}

int RunTransmitter(const Arguments& args) {
  if (args.empty()) {
    PrintFpgaLine("link transmitter", sim::kTransmitterPanel, sim::kTransmitterDevice);
    return kExitOk;
  }
  if (args.size() == 1 && args[0] == "none") {
    sim::MachineConfig config = sim::Config();
    config.modules[kTransmitterModule] = sim::ModuleConfig{};
    sim::UpdateConfig(config);
    sim::RemoveFpgaModule(sim::kTransmitterPanel, sim::kTransmitterDevice);
    return SaveMachine();
  }
  const int result = SetUpTransmitter(args[0], Arguments(args.begin() + 1, args.end()));
  return result != kExitOk ? result : SaveMachine();
}

int RunConverter(const Arguments& args) {
  unsigned long long panel = 0;
  if (args.empty() || !ParseUnsigned(args[0], &panel) || panel >= unsigned(sim::kPanelChannels)) {
    return Fail(kExitUsage, "converter: give a panel number 0-15");
  }
  if (args.size() == 1) {
    PrintFpgaLine(("converter " + std::to_string(panel)).c_str(), int(panel),
                  sim::kConverterDevice);
    return kExitOk;
  }
  if (args.size() == 2 && args[1] == "none") {
    sim::MachineConfig config = sim::Config();
    config.panels[panel].modules[sim::kConverterDevice] = sim::ModuleConfig{};
    sim::UpdateConfig(config);
    sim::RemoveFpgaModule(int(panel), sim::kConverterDevice);
    return SaveMachine();
  }
  const int result = SetUpConverter(int(panel), args[1], Arguments(args.begin() + 2, args.end()));
  return result != kExitOk ? result : SaveMachine();
}

int RunPowerCycle(const Arguments& args) {
  if (!args.empty()) {
    return Fail(kExitUsage, "powercycle takes no arguments");
  }
  sim::PowerCycleAll();
  return SaveMachine();
}

void ShowFpgaModules() {
  std::printf("FPGA modules:\n");
  PrintFpgaLine("  link transmitter", sim::kTransmitterPanel, sim::kTransmitterDevice);
  for (int panel = 0; panel < sim::kPanelChannels; ++panel) {
    for (int device = 0; device < sim::kPanelFpgaDevices; ++device) {
      sim::FpgaStatus status{};
      if (!sim::FpgaModuleStatus(panel, device, &status)) {
        continue;
      }
      const std::string name =
          device == sim::kConverterDevice
              ? "  converter " + std::to_string(panel)
              : "  panel " + std::to_string(panel) + " fpga " + std::to_string(device);
      PrintFpgaLine(name.c_str(), panel, device);
    }
  }
}

}  // namespace druxsim
