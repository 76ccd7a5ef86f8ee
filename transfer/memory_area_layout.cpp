// Which flash and which system data store the PC has, by the PC type tests.
#include "transfer/memory_area_layout.h"
#include "controller/pc_type.h"

namespace drux::memory_area {

namespace {

constexpr uint32_t kSmallSystemData = 48;
constexpr uint32_t kLargeSystemData = 496;

bool HasSmallFlash() {
  return IsEx41() || IsVp41() || IsEx52() || IsVp52();
}

bool HasLargeFlash() {
  return IsEx64() || IsVp64() || IsEx53() || IsVp53() || IsEm64() || IsVp47() || IsVp20();
}

}  // namespace

const FlashGeometry* FlashOfThisPc() {
  if (HasSmallFlash()) {
    return &kSmallFlash;
  }
  if (HasLargeFlash()) {
    return &kLargeFlash;
  }
  return nullptr;
}

uint32_t SystemDataLimitOfThisPc() {
  if (IsVp41()) {
    return kSmallSystemData;
  }
  if (IsEx41() || IsEx52() || IsVp52()) {
    return kLargeSystemData;
  }
  return 0;
}

}  // namespace drux::memory_area
