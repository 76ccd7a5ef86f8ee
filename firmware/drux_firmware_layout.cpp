#include "firmware/drux_firmware_layout.h"

#include "controller/controller_info.h"
#include "controller/pc_type.h"

namespace drux {
namespace {

constexpr DruxFirmwareLayout kEx41{0x100000, 0xB0, 0xA0, 0x100000, 0x200000, "EX4F"};
constexpr DruxFirmwareLayout kVp41{0x100000, 0xB0, 0xA0, 0x100000, 0x200000, "VP4F"};
constexpr DruxFirmwareLayout kSmallFlash{0x100000, 0xB0, 0xA0, 0x100000, 0x200000, nullptr};
constexpr DruxFirmwareLayout kLargeFlash{0x300000, 0xB8, 0xE0, 0x300000, 0x600000, nullptr};

}  // namespace

const DruxFirmwareLayout* DruxFirmwareLayoutOfPc() {
  if (IsEx41()) {
    return &kEx41;
  }
  if (IsVp41()) {
    return &kVp41;
  }
  if (IsEx52() || IsVp52()) {
    return &kSmallFlash;
  }
  if (IsEx53() || IsVp53() || IsEx64() || IsVp64() || IsEm64() || IsVp47() || IsVp20()) {
    return &kLargeFlash;
  }
  return nullptr;
}

uint32_t ActiveDruxFirmwareStart(const DruxFirmwareLayout& layout) {
  return DruxStartedFromHighArea() ? layout.highAreaStart : layout.lowAreaStart;
}

}  // namespace drux
