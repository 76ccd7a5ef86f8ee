// druxsim create, set and module: the machine's configuration through the same key=value
// settings that its state file uses.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "sim/tool/tool.h"

namespace druxsim {

namespace {

// Options of create that map one to one onto a setting key.
struct OptionKey {
  const char* option;
  const char* key;
};

constexpr OptionKey kCreateOptions[] = {
    {"--pc", "pc"},
    {"--variant", "variant"},
    {"--channels", "channels"},
    {"--firmware", "firmware"},
    {"--update-counter", "update-counter"},
    {"--system-flags", "system-flags"},
    {"--features", "features"},
    {"--bios", "bios"},
};

bool Apply(sim::MachineConfig& config, const std::string& key, const std::string& value) {
  return sim::ApplySetting(config, key.c_str(), value.c_str());
}

std::vector<std::string> SplitColons(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) {
      return parts;
    }
    start = colon + 1;
  }
}

// "N[:connected|:unconnected][:version=0x5886][:link=M.m][:nomodules]"; a panel that is named
// starts connected with the default machine's version and link FPGA.
bool ApplyPanelText(sim::MachineConfig& config, const std::string& field) {
  std::vector<std::string> parts = SplitColons(field);
  unsigned long long panel = 0;
  if (!ParseUnsigned(parts[0], &panel) || panel >= unsigned(sim::kPanelChannels)) {
    return false;
  }
  const sim::PanelConfig model = sim::DefaultMachineConfig().panels[0];
  sim::PanelConfig& target = config.panels[panel];
  target = model;
  target.versionId = uint16_t(model.versionId + panel);
  std::string prefix = "panel." + std::to_string(panel) + ".";
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    bool ok = false;
    if (part == "connected" || part == "unconnected") {
      ok = Apply(config, prefix + "connected", part == "connected" ? "1" : "0");
    } else if (part == "nomodules") {
      ok = Apply(config, prefix + "modules", "0");
    } else if (part.rfind("version=", 0) == 0) {
      ok = Apply(config, prefix + "version", part.substr(8));
    } else if (part.rfind("link=", 0) == 0) {
      ok = Apply(config, prefix + "link", part.substr(5));
    }
    if (!ok) {
      return false;
    }
  }
  return true;
}

const char* CreateOptionKey(const std::string& option) {
  for (const OptionKey& entry : kCreateOptions) {
    if (option == entry.option) {
      return entry.key;
    }
  }
  return nullptr;
}

using FpgaSpecs = std::vector<std::pair<std::string, std::string>>;

// --converter P:TYPE[:KEY=VALUE]...: the panel number; -1 when the option is not valid.
int ConverterPanel(const std::vector<std::string>& parts) {
  unsigned long long panel = 0;
  if (parts.size() < 2 || !ParseUnsigned(parts[0], &panel) ||
      panel >= unsigned(sim::kPanelChannels) ||
      !ValidFpgaSpec(false, parts[1], Arguments(parts.begin() + 2, parts.end()))) {
    return -1;
  }
  return int(panel);
}

bool ValidCreateSpec(const std::string& option, const std::string& value) {
  std::vector<std::string> parts = SplitColons(value);
  if (option == "--transmitter") {
    return ValidFpgaSpec(true, parts[0], Arguments(parts.begin() + 1, parts.end()));
  }
  return ConverterPanel(parts) >= 0;
}

// --transmitter ID[:KEY=VALUE]... and --converter P:TYPE[:KEY=VALUE]..., after the machine
// was created (the specs were checked before).
int SetUpCreatedFpgaModules(const FpgaSpecs& specs) {
  for (const auto& [option, value] : specs) {
    std::vector<std::string> parts = SplitColons(value);
    const int result = option == "--transmitter"
                           ? SetUpTransmitter(parts[0], Arguments(parts.begin() + 1, parts.end()))
                           : SetUpConverter(ConverterPanel(parts), parts[1],
                                            Arguments(parts.begin() + 2, parts.end()));
    if (result != kExitOk) {
      return result;
    }
  }
  return specs.empty() ? kExitOk : SaveMachine();
}

}  // namespace

int RunCreate(const std::string& directory, const Arguments& args) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  FpgaSpecs fpgaSpecs;
  bool panelsNamed = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if ((option == "--transmitter" || option == "--converter") && i + 1 < args.size()) {
      if (!ValidCreateSpec(option, args[i + 1])) {
        return Fail(kExitUsage, "create: bad value for " + option + ": '" + args[i + 1] + "'");
      }
      fpgaSpecs.emplace_back(option, args[++i]);
      continue;
    }
    if (option == "--no-panels" || option == "--no-modules") {
      if (option == "--no-panels") {
        std::fill(std::begin(config.panels), std::end(config.panels), sim::PanelConfig{});
        panelsNamed = true;
      } else {
        std::fill(std::begin(config.modules), std::end(config.modules), sim::ModuleConfig{});
      }
      continue;
    }
    const char* key = CreateOptionKey(option);
    if (key == nullptr && option != "--panel") {
      return Fail(kExitUsage, "create: unknown option '" + option + "'");
    }
    if (i + 1 >= args.size()) {
      return Fail(kExitUsage, "create: " + option + " needs a value");
    }
    const std::string& value = args[++i];
    if (option == "--panel") {
      if (!panelsNamed) {
        std::fill(std::begin(config.panels), std::end(config.panels), sim::PanelConfig{});
        panelsNamed = true;
      }
      if (!ApplyPanelText(config, value)) {
        return Fail(kExitUsage, "create: bad panel '" + value + "'");
      }
    } else if (!Apply(config, key, value)) {
      return Fail(kExitUsage, "create: bad value for " + option + ": '" + value + "'");
    }
  }
  if (!sim::CreateMachine(directory.c_str(), config)) {
    return Fail(kExitIo, "can't create the machine in " + directory);
  }
  return SetUpCreatedFpgaModules(fpgaSpecs);
}

int RunSet(const Arguments& args) {
  if (args.empty()) {
    return Fail(kExitUsage, "set: give at least one KEY=VALUE");
  }
  sim::MachineConfig config = sim::Config();
  for (const std::string& setting : args) {
    if (!sim::ApplySettingText(config, setting.c_str())) {
      return Fail(kExitUsage, "set: bad setting '" + setting + "'");
    }
  }
  sim::UpdateConfig(config);
  return SaveMachine();
}

namespace {

void PrintModule(int index, const sim::ModuleConfig& module) {
  if (!module.fitted) {
    std::printf("module %d: not fitted\n", index);
    return;
  }
  std::printf("module %d: id=0x%08x hwrev=%s serial=%s model=%s parent=0x%08x\n", index,
              unsigned(module.id), module.hardwareRevision, module.serialNumber, module.modelNumber,
              unsigned(module.parentId));
  PrintModuleStatistics("  ", module.statistics);
}

}  // namespace

int RunModule(const Arguments& args) {
  unsigned long long index = 0;
  if (args.empty() || !ParseUnsigned(args[0], &index) || index >= unsigned(sim::kModules)) {
    return Fail(kExitUsage, "module: give a module number 0-15");
  }
  sim::MachineConfig config = sim::Config();
  std::string prefix = "module." + std::to_string(index) + ".";
  if (args.size() == 1) {
    PrintModule(int(index), config.modules[index]);
    return kExitOk;
  }
  if (args.size() == 2 && args[1] == "--remove") {
    config.modules[index] = sim::ModuleConfig{};
  } else {
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i].find('=') == std::string::npos ||
          !sim::ApplySettingText(config, (prefix + args[i]).c_str())) {
        return Fail(kExitUsage, "module: bad field '" + args[i] + "'");
      }
    }
  }
  sim::UpdateConfig(config);
  return SaveMachine();
}

}  // namespace druxsim
