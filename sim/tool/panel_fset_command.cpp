// druxsim fset --panel N: writes a panel's own factory settings into its display area (command
// 0x20, target 4): the display block and the extended record behind it, from the identity
// fields, valid or broken on purpose.
#include <cstdio>
#include <vector>

#include "sim/devices/panel_settings.h"
#include "sim/tool/tool.h"

namespace druxsim {

namespace {

constexpr const char* kUsage =
    "fset --panel N [--display-only|--record-only] [FIELD=VALUE]... [blockversion=N] "
    "[badedid=1] [badinternal=1]";

constexpr size_t kEdidChecksumAt = 127;
constexpr size_t kInternalChecksumAt = 255;
constexpr size_t kBlockVersionAt = 254;
constexpr uint8_t kInternalSum = 0xAA;

struct PanelFsetRequest {
  unsigned long long panel = 0;
  bool block = true;
  bool record = true;
  sim::FactoryRecordFields fields;
  bool checksumOffsetGiven = false;
  unsigned long long blockVersion = 1;
  bool badEdid = false;
  bool badInternal = false;  // internal data add up to 0, as a PC module's record does
};

bool ApplyBlockField(PanelFsetRequest& request, const std::string& key, const std::string& value) {
  unsigned long long number = 0;
  if (!ParseUnsigned(value, &number)) {
    return false;
  }
  if (key == "blockversion" && number <= 0xFF) {
    request.blockVersion = number;
  } else if (key == "badedid" && number <= 1) {
    request.badEdid = number == 1;
  } else if (key == "badinternal" && number <= 1) {
    request.badInternal = number == 1;
  } else {
    return false;
  }
  return true;
}

std::string ParseRequest(const Arguments& args, PanelFsetRequest* request) {
  if (args.size() < 2 || !ParseUnsigned(args[1], &request->panel) ||
      request->panel >= unsigned(sim::kPanelChannels)) {
    return "give a panel number 0-" + std::to_string(sim::kPanelChannels - 1);
  }
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const size_t equals = arg.find('=');
    if (arg == "--display-only" || arg == "--record-only") {
      (arg == "--display-only" ? request->record : request->block) = false;
    } else if (equals == std::string::npos ||
               (!ApplyRecordField(request->fields, &request->checksumOffsetGiven,
                                  arg.substr(0, equals), arg.substr(equals + 1)) &&
                !ApplyBlockField(*request, arg.substr(0, equals), arg.substr(equals + 1)))) {
      return "bad field '" + arg + "'";
    }
  }
  if (!request->block && !request->record) {
    return "--display-only and --record-only exclude each other";
  }
  if (!request->checksumOffsetGiven && request->fields.staticLength > 0) {
    request->fields.checksumOffset = uint16_t(request->fields.staticLength - 1);
  }
  return "";
}

std::vector<uint8_t> DisplayBlock(const PanelFsetRequest& request) {
  std::vector<uint8_t> block(sim::kDisplayBlockBytes);
  sim::BuildDisplayBlock(request.fields, block.data());
  block[kBlockVersionAt] = uint8_t(request.blockVersion);
  uint8_t internal = 0;
  for (size_t i = 128; i < kInternalChecksumAt; ++i) {
    internal = uint8_t(internal + block[i]);
  }
  const uint8_t wanted = request.badInternal ? 0 : kInternalSum;
  block[kInternalChecksumAt] = uint8_t(wanted - internal);
  if (request.badEdid) {
    ++block[kEdidChecksumAt];
  }
  return block;
}

}  // namespace

int RunPanelFactorySettings(const Arguments& args) {
  PanelFsetRequest request;
  std::string problem = ParseRequest(args, &request);
  if (!problem.empty()) {
    return Fail(kExitUsage, "fset: " + problem + "\nusage: " + kUsage);
  }
  const int panel = int(request.panel);
  std::string written;
  if (request.block) {
    std::vector<uint8_t> block = DisplayBlock(request);
    if (!sim::WriteAreaBytes(sim::Area::PanelDisplay, 0, block.data(), block.size(), panel)) {
      return Fail(kExitIo, "fset: can't write the area");
    }
    written = "display block (256 bytes at 0)";
  }
  if (request.record) {
    std::vector<uint8_t> record(sim::kExtendedRecordBytes);
    const size_t length = sim::BuildFactoryRecord(request.fields, record.data(), record.size());
    if (length == 0) {
      return Fail(kExitUsage, "fset: the FACT header does not fit the extended record");
    }
    if (!sim::WriteAreaBytes(sim::Area::PanelDisplay, sim::kDisplayBlockBytes, record.data(),
                             length, panel)) {
      return Fail(kExitIo, "fset: can't write the area");
    }
    written += std::string(written.empty() ? "" : ", ") + "extended record (" +
               std::to_string(length) + " bytes at 256)";
  }
  std::printf("display:%d: %s\n", panel, written.c_str());
  return SaveMachine();
}

}  // namespace druxsim
