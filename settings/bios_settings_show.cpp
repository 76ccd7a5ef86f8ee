// Info of the BIOS settings: the effective settings register, option by option.
#include <cstdint>

#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/bios_setting_tables.h"
#include "settings/bios_settings.h"

namespace drux {
namespace {

// The bits of `mask` in `value`, packed from the lowest one up.
uint32_t PackedBits(uint32_t value, uint32_t mask) {
  uint32_t packed = 0;
  uint32_t next = 1;
  for (uint32_t bit = 1; bit != 0; bit <<= 1) {
    if ((mask & bit) != 0) {
      packed |= (value & bit) != 0 ? next : 0;
      next <<= 1;
    }
  }
  return packed;
}

void ShowOptions(const BiosRows<BiosRegisterOption>& options, uint32_t effective) {
  for (const BiosRegisterOption& option : options) {
    uint32_t value = PackedBits(effective, option.mask);
    platform::Print("%s", option.label);
    platform::Print(option.values[value], unsigned(value));
  }
}

}  // namespace

int ShowBiosSettings() {
  platform::Print("\n-- BIOS settings --\n\n");
  uint32_t effective = BiosSettingsRegister();
  ShowOptions(BiosTablesOf(CurrentBiosFamily()).shown, effective);
  ShowOptions(SharedBiosTables().shown, effective);
  return kExitOk;
}

}  // namespace drux
