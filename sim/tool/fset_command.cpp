// druxsim fset: writes a valid factory-settings record (optionally behind a display block) into
// a module EEPROM of the simulated PC or of a panel, from a few identity fields.
#include <cstdio>
#include <vector>

#include "sim/devices/factory_settings_image.h"
#include "sim/tool/tool.h"

namespace druxsim {

namespace {

constexpr const char* kUsage =
    "fset DEV [--panel P] [--offset N] [--display] [devid=V] [pdevid=V] [compat=V] [pcompat=V] "
    "[serial=T] [hwrev=T] [model=T] [version=M.m] [static=N] [sumat=N] [factat=N] [badsum=0|1]";

struct FsetRequest {
  unsigned long long device = 0;
  unsigned long long panel = 0;
  bool panelGiven = false;
  unsigned long long offset = 0;
  bool display = false;
  sim::FactoryRecordFields fields;
  bool checksumOffsetGiven = false;
};

// "M.m" with major and minor 0-15 (one nibble each).
bool ParseRecordVersion(const std::string& text, uint8_t* version) {
  size_t dot = text.find('.');
  unsigned long long major = 0;
  unsigned long long minor = 0;
  if (dot == std::string::npos || !ParseUnsigned(text.substr(0, dot), &major) ||
      !ParseUnsigned(text.substr(dot + 1), &minor) || major > 15 || minor > 15) {
    return false;
  }
  *version = uint8_t(major << 4 | minor);
  return true;
}

bool ParseBounded(const std::string& text, unsigned long long limit, unsigned long long* value) {
  return ParseUnsigned(text, value) && *value <= limit;
}

}  // namespace

bool ApplyRecordField(sim::FactoryRecordFields& fields, bool* checksumOffsetGiven,
                      const std::string& key, const std::string& value) {
  unsigned long long number = 0;
  if (key == "serial") {
    sim::SetRecordText(fields.serialNumber, sizeof fields.serialNumber, value.c_str());
    return value.size() < sizeof fields.serialNumber;
  }
  if (key == "hwrev") {
    sim::SetRecordText(fields.hardwareRevision, sizeof fields.hardwareRevision, value.c_str());
    return value.size() < sizeof fields.hardwareRevision;
  }
  if (key == "model") {
    sim::SetRecordText(fields.modelNumber, sizeof fields.modelNumber, value.c_str());
    return value.size() < sizeof fields.modelNumber;
  }
  if (key == "version") {
    return ParseRecordVersion(value, &fields.version);
  }
  if (key == "devid" || key == "pdevid") {
    if (!ParseBounded(value, 0xFFFFFFFF, &number)) {
      return false;
    }
    (key == "devid" ? fields.deviceId : fields.parentDeviceId) = uint32_t(number);
    return true;
  }
  if (!ParseBounded(value, 0xFFFF, &number)) {
    return false;
  }
  if (key == "compat") {
    fields.compatibilityId = uint16_t(number);
  } else if (key == "pcompat") {
    fields.parentCompatibilityId = uint16_t(number);
  } else if (key == "static") {
    fields.staticLength = uint16_t(number);
  } else if (key == "sumat") {
    fields.checksumOffset = uint16_t(number);
    *checksumOffsetGiven = true;
  } else if (key == "factat") {
    fields.factOffset = uint16_t(number);
  } else if (key == "badsum" && number <= 1) {
    fields.badChecksum = number == 1;
  } else {
    return false;
  }
  return true;
}

namespace {

// Options and fields after DEV; an empty result means success, else the message.
std::string ParseRequest(const Arguments& args, FsetRequest* request) {
  if (args.empty() || !ParseBounded(args[0], sim::kSettingsDevices - 1, &request->device)) {
    return std::string("give a device number 0-") + std::to_string(sim::kSettingsDevices - 1);
  }
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--display") {
      request->display = true;
    } else if (arg == "--panel" || arg == "--offset") {
      if (i + 1 >= args.size()) {
        return arg + " needs a value";
      }
      bool panel = arg == "--panel";
      if (!ParseBounded(args[++i], panel ? sim::kPanelChannels - 1 : sim::kSettingsDeviceSize,
                        panel ? &request->panel : &request->offset)) {
        return "bad value for " + arg + ": '" + args[i] + "'";
      }
      request->panelGiven = request->panelGiven || panel;
    } else {
      size_t equals = arg.find('=');
      if (equals == std::string::npos ||
          !ApplyRecordField(request->fields, &request->checksumOffsetGiven, arg.substr(0, equals),
                            arg.substr(equals + 1))) {
        return "bad field '" + arg + "'";
      }
    }
  }
  // The checksum byte closes the static data unless it is placed elsewhere on purpose.
  if (!request->checksumOffsetGiven && request->fields.staticLength > 0) {
    request->fields.checksumOffset = uint16_t(request->fields.staticLength - 1);
  }
  return "";
}

}  // namespace

int RunFactorySettings(const Arguments& args) {
  if (!args.empty() && args[0] == "--panel") {
    return RunPanelFactorySettings(args);
  }
  FsetRequest request;
  std::string problem = ParseRequest(args, &request);
  if (!problem.empty()) {
    return Fail(kExitUsage, "fset: " + problem + "\nusage: " + kUsage);
  }
  const size_t displayBytes = request.display ? sim::kDisplayBlockBytes : 0;
  if (request.offset + displayBytes >= sim::kSettingsDeviceSize) {
    return Fail(kExitUsage,
                "fset: no room for a record behind offset " + std::to_string(request.offset));
  }
  std::vector<uint8_t> image(sim::kSettingsDeviceSize - request.offset);
  if (request.display) {
    sim::BuildDisplayBlock(request.fields, image.data());
  }
  size_t recordBytes = sim::BuildFactoryRecord(request.fields, image.data() + displayBytes,
                                               image.size() - displayBytes);
  if (recordBytes == 0) {
    return Fail(kExitUsage, "fset: the FACT header does not fit the device");
  }
  image.resize(displayBytes + recordBytes);
  sim::Area area = request.panelGiven ? sim::Area::PanelModuleSettings : sim::Area::ModuleSettings;
  uint32_t start = uint32_t(request.device) * sim::kSettingsDeviceSize + uint32_t(request.offset);
  if (!sim::WriteAreaBytes(area, start, image.data(), image.size(), int(request.panel))) {
    return Fail(kExitIo, "fset: can't write the area");
  }
  std::string name = request.panelGiven ? "panelfset:" + std::to_string(request.panel) + ":"
                                        : std::string("fset:");
  std::printf("%s%llu: %zu bytes at offset %llu (record at %llu)\n", name.c_str(), request.device,
              image.size(), request.offset, request.offset + displayBytes);
  return SaveMachine();
}

}  // namespace druxsim
