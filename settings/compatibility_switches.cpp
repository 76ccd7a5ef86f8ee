// The EX41 compatibility switches of the module area table.
#include "settings/compatibility_switches.h"

#include "controller/controller_info.h"
#include "controller/pc_type.h"
#include "controller/status_text.h"
#include "platform/platform.h"

namespace drux {

namespace {

constexpr uint32_t kLz70Target = 1;
constexpr uint32_t kLz70Device = 1;
// LZ70 versions (major * 256 + minor) that still use the old layouts.
constexpr uint32_t kFirstCurrentLayoutVersion = 8;
constexpr uint32_t kSwappedIfOptionsVersion = 7;

constexpr int32_t kSystemUnit = 0;
constexpr int32_t kIfOption1 = 4;
constexpr int32_t kIfOption2 = 5;
constexpr int32_t kFanKit = 8;

Ex41Switches switches = {};

}  // namespace

void ApplyCompatibilitySwitches(int32_t module) {
  if (!IsEx41()) {
    return;
  }
  ControllerVersion lz70{};
  uint8_t errorByte = 0;
  const int status = ReadControllerVersion(&lz70, kLz70Target, kLz70Device, &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't get DRUX LZ70 version: %s\n", StatusText(status, errorByte));
    return;
  }
  if (module == kSystemUnit && lz70.version < kFirstCurrentLayoutVersion) {
    switches.oldSystemUnitSize = true;
    platform::Print("Using old system unit size.\n");
  }
  if (module == kFanKit && lz70.version < kFirstCurrentLayoutVersion) {
    switches.oldFanKitArea = true;
    platform::Print("Using old fan kit address and size.\n");
  }
  if ((module == kIfOption1 || module == kIfOption2) && lz70.version == kSwappedIfOptionsVersion) {
    switches.swappedIfOptions = true;
    platform::Print("Using swapped IF option addresses.\n");
  }
}

const Ex41Switches& ActiveEx41Switches() {
  return switches;
}

void ResetCompatibilitySwitches() {
  switches = Ex41Switches{};
}

}  // namespace drux
