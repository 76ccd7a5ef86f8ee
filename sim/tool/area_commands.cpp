// druxsim dump and load: memory areas of the simulated PC to and from files.
#include <vector>

#include "platform/platform.h"
#include "sim/tool/tool.h"

namespace druxsim {

namespace {

struct AreaChoice {
  sim::Area area;
  int panel;
  uint32_t base = 0;  // a part of the area: its first byte and its size (0: the whole area)
  size_t size = 0;
};

// fset:DEV | panelfset:P:DEV: one factory-settings EEPROM.
bool ParseSettingsDevice(const std::string& text, AreaChoice* choice) {
  unsigned long long panel = 0;
  unsigned long long device = 0;
  sim::Area area = sim::Area::ModuleSettings;
  if (text.rfind("fset:", 0) == 0) {
    if (!ParseUnsigned(text.substr(5), &device)) {
      return false;
    }
  } else {
    size_t colon = text.find(':', 10);
    if (text.rfind("panelfset:", 0) != 0 || colon == std::string::npos ||
        !ParseUnsigned(text.substr(10, colon - 10), &panel) ||
        panel >= unsigned(sim::kPanelChannels) || !ParseUnsigned(text.substr(colon + 1), &device)) {
      return false;
    }
    area = sim::Area::PanelModuleSettings;
  }
  if (device >= unsigned(sim::kSettingsDevices)) {
    return false;
  }
  *choice = AreaChoice{area, int(panel), uint32_t(device) * sim::kSettingsDeviceSize,
                       sim::kSettingsDeviceSize};
  return true;
}

constexpr uint32_t kBootloaderSize = 0x100000;

// ":low" | ":high" | ":running" | ":idle" of an FPGA module's flash, or nothing (the whole).
bool ApplyFpgaCopy(const std::string& copy, int panel, int device, AreaChoice* choice) {
  if (copy.empty()) {
    return true;
  }
  struct NamedCopy {
    const char* name;
    sim::FpgaCopy copy;
  };
  static const NamedCopy kCopies[] = {{":low", sim::FpgaCopy::Low},
                                      {":high", sim::FpgaCopy::High},
                                      {":running", sim::FpgaCopy::Running},
                                      {":idle", sim::FpgaCopy::Idle}};
  for (const NamedCopy& entry : kCopies) {
    uint32_t start = 0;
    uint32_t size = 0;
    if (copy == entry.name) {
      if (!sim::FpgaCopyRange(panel, device, entry.copy, &start, &size)) {
        return false;
      }
      choice->base = start;
      choice->size = size;
      return true;
    }
  }
  return false;
}

// link[:COPY|:bootloader] | conv:P[:COPY] | pfpga:P:D[:COPY]
bool ParseFpgaArea(const std::string& text, AreaChoice* choice) {
  if (text == "link" || text.rfind("link:", 0) == 0) {
    *choice = AreaChoice{sim::Area::LinkFlash, 0};
    if (text == "link:bootloader") {
      choice->size = kBootloaderSize;
      return true;
    }
    return ApplyFpgaCopy(text.substr(4), sim::kTransmitterPanel, sim::kTransmitterDevice, choice);
  }
  const bool converter = text.rfind("conv:", 0) == 0;
  if (!converter && text.rfind("pfpga:", 0) != 0) {
    return false;
  }
  size_t at = converter ? 5 : 6;
  const size_t panelEnd = text.find(':', at);
  unsigned long long panel = 0;
  unsigned long long device = sim::kConverterDevice;
  if (!ParseUnsigned(text.substr(at, panelEnd - at), &panel) ||
      panel >= unsigned(sim::kPanelChannels)) {
    return false;
  }
  at = panelEnd;
  if (!converter) {
    const size_t deviceEnd = at == std::string::npos ? at : text.find(':', at + 1);
    if (at == std::string::npos ||
        !ParseUnsigned(text.substr(at + 1, deviceEnd - at - 1), &device) ||
        device >= unsigned(sim::kPanelFpgaDevices)) {
      return false;
    }
    at = deviceEnd;
  }
  *choice = AreaChoice{sim::Area::PanelFpgaFlash, sim::PanelFpgaKey(int(panel), int(device))};
  return ApplyFpgaCopy(at == std::string::npos ? "" : text.substr(at), int(panel), int(device),
                       choice);
}

// flash | linkflash | panelflash:N | display:N | sysdata | kcf | fset:DEV | panelfset:P:DEV
// and the FPGA module names above
bool ParseArea(const std::string& text, AreaChoice* choice) {
  if (text.rfind("fset:", 0) == 0 || text.rfind("panelfset:", 0) == 0) {
    return ParseSettingsDevice(text, choice);
  }
  if (ParseFpgaArea(text, choice)) {
    return true;
  }
  struct Named {
    const char* name;
    sim::Area area;
    bool perPanel;
  };
  static const Named kAreas[] = {
      {"flash", sim::Area::Flash, false},          {"linkflash", sim::Area::LinkFlash, false},
      {"panelflash", sim::Area::PanelFlash, true}, {"display", sim::Area::PanelDisplay, true},
      {"sysdata", sim::Area::SystemData, false},   {"kcf", sim::Area::KeyConfiguration, false},
  };
  size_t colon = text.find(':');
  std::string name = text.substr(0, colon);
  for (const Named& entry : kAreas) {
    if (name != entry.name || entry.perPanel != (colon != std::string::npos)) {
      continue;
    }
    unsigned long long panel = 0;
    if (entry.perPanel && (!ParseUnsigned(text.substr(colon + 1), &panel) ||
                           panel >= unsigned(sim::kPanelChannels))) {
      return false;
    }
    *choice = AreaChoice{entry.area, int(panel)};
    return true;
  }
  return false;
}

struct AreaArguments {
  AreaChoice area{};
  std::string file;
  unsigned long long offset = 0;
  unsigned long long length = 0;
  bool lengthGiven = false;
};

bool ParseAreaArguments(const Arguments& args, bool allowLength, AreaArguments* parsed) {
  if (args.size() < 2 || !ParseArea(args[0], &parsed->area) || args[1].empty()) {
    return false;
  }
  parsed->file = args[1];
  for (size_t i = 2; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) {
      return false;
    }
    if (args[i] == "--offset" && ParseUnsigned(args[i + 1], &parsed->offset)) {
      continue;
    }
    if (allowLength && args[i] == "--length" && ParseUnsigned(args[i + 1], &parsed->length)) {
      parsed->lengthGiven = true;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

int RunDump(const Arguments& args) {
  AreaArguments parsed;
  if (!ParseAreaArguments(args, true, &parsed)) {
    return Fail(kExitUsage, "dump AREA FILE [--offset N] [--length N]");
  }
  size_t size = parsed.area.size != 0 ? parsed.area.size : sim::AreaSize(parsed.area.area);
  if (parsed.offset > size) {
    return Fail(kExitUsage, "dump: offset beyond the area (" + std::to_string(size) + " bytes)");
  }
  unsigned long long length = parsed.lengthGiven ? parsed.length : size - parsed.offset;
  if (parsed.offset + length > size) {
    return Fail(kExitUsage, "dump: range beyond the area (" + std::to_string(size) + " bytes)");
  }
  std::vector<uint8_t> bytes(length);
  if (!sim::ReadAreaBytes(parsed.area.area, parsed.area.base + uint32_t(parsed.offset),
                          bytes.data(), bytes.size(), parsed.area.panel)) {
    return Fail(kExitIo, "dump: can't read the area");
  }
  platform::File* file = platform::OpenFile(parsed.file.c_str(), platform::FileMode::WriteBinary);
  if (file == nullptr) {
    return Fail(kExitIo, "dump: can't create " + parsed.file + ": " + platform::SystemErrorText());
  }
  bool ok = platform::WriteFile(file, bytes.data(), bytes.size()) == bytes.size();
  ok = platform::CloseFile(file) && ok;
  return ok ? kExitOk
            : Fail(kExitIo,
                   "dump: can't write " + parsed.file + ": " + platform::SystemErrorText());
}

int RunLoad(const Arguments& args) {
  AreaArguments parsed;
  if (!ParseAreaArguments(args, false, &parsed)) {
    return Fail(kExitUsage, "load AREA FILE [--offset N]");
  }
  platform::File* file = platform::OpenFile(parsed.file.c_str(), platform::FileMode::ReadBinary);
  if (file == nullptr) {
    return Fail(kExitIo, "load: can't open " + parsed.file + ": " + platform::SystemErrorText());
  }
  long length =
      platform::SeekFile(file, 0, platform::SeekOrigin::End) ? platform::TellFile(file) : -1;
  std::vector<uint8_t> bytes(length > 0 ? size_t(length) : 0);
  bool ok = length >= 0 && platform::SeekFile(file, 0, platform::SeekOrigin::Begin) &&
            platform::ReadFile(file, bytes.data(), bytes.size()) == bytes.size();
  platform::CloseFile(file);
  if (!ok) {
    return Fail(kExitIo, "load: can't read " + parsed.file);
  }
  size_t size = parsed.area.size != 0 ? parsed.area.size : sim::AreaSize(parsed.area.area);
  if (parsed.offset + bytes.size() > size) {
    return Fail(kExitUsage,
                "load: the file does not fit the area (" + std::to_string(size) + " bytes)");
  }
  const uint32_t at = parsed.area.base + uint32_t(parsed.offset);
  if (!sim::WriteAreaBytes(parsed.area.area, at, bytes.data(), bytes.size(), parsed.area.panel)) {
    return Fail(kExitIo, "load: can't write the area");
  }
  if (parsed.area.area == sim::Area::LinkFlash) {
    sim::NoteFpgaFlashWrite(sim::kTransmitterPanel, sim::kTransmitterDevice, at,
                            uint32_t(bytes.size()));
  } else if (parsed.area.area == sim::Area::PanelFpgaFlash) {
    sim::NoteFpgaFlashWrite(parsed.area.panel / sim::kPanelFpgaDevices,
                            parsed.area.panel % sim::kPanelFpgaDevices, at, uint32_t(bytes.size()));
  }
  return SaveMachine();
}

}  // namespace druxsim
