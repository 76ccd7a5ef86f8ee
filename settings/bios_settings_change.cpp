// Change of one BIOS setting: the stored settings word gets the option's bits, every other bit
// goes back as it was read. The BIOS takes the word over at the next PC start.
#include <cstddef>
#include <cstdint>

#include "controller/byte_fields.h"
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/keyword_equals.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/bios_setting_tables.h"
#include "settings/bios_settings.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

constexpr uint32_t kCommandBiosSettings = 0x66;
constexpr uint32_t kBiosSettingsAddress = 0x700;
constexpr uint32_t kBiosSettingsDevice = 0;
constexpr uint32_t kBiosSettingsTarget = 0;
// The read answers 8 bytes, the word in bytes 4-7; the write carries the word alone.
constexpr uint32_t kReadSize = 8;
constexpr uint32_t kWordOffset = 4;
constexpr uint32_t kWordSize = 4;

// The longest setting text, "USBPWR=BIOS", with room to spare.
constexpr size_t kSettingInputLength = 20;

void ListSupportedSettings(const BiosFamilyTables& family) {
  platform::Print("-- Supported BIOS settings --\n");
  for (const char* line : family.helpLines) {
    platform::Print("%s", line);
  }
  for (const char* line : SharedBiosTables().helpLines) {
    platform::Print("%s", line);
  }
  platform::Print("Note: '=BIOS' uses value set in BIOS\n");
}

// A lock held by someone else, an IRQ collision, a timeout or a busy device say nothing about the
// stored word: starting from 0 then would silently put every other option back to BIOS.
bool IsTransientFailure(int status, uint8_t errorByte) {
  if (status == kStatusLocked) {
    return true;
  }
  return status == kStatusFailed && (errorByte == kErrorIrqCollision ||
                                     errorByte == kErrorTimeout || errorByte == kErrorDeviceBusy);
}

// A controller that never stored the word answers the read with a failure; every option is then
// the BIOS set-up's own.
int ReadSettingsWord(uint32_t* word) {
  uint8_t answer[kReadSize];
  uint8_t errorByte = 0;
  int status = ReadCommand(kCommandBiosSettings, kBiosSettingsAddress, kBiosSettingsDevice,
                           kBiosSettingsTarget, answer, kReadSize, &errorByte);
  if (status == kStatusOk) {
    *word = LoadLittleEndian32(answer + kWordOffset);
    return kExitOk;
  }
  if (IsTransientFailure(status, errorByte)) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  platform::Print("No BIOS settings found (never changed before).\n");
  *word = 0;
  return kExitOk;
}

int WriteSettingsWord(uint32_t word) {
  uint8_t payload[kWordSize];
  StoreLittleEndian32(payload, word);
  uint8_t errorByte = 0;
  int status = WriteCommand(kCommandBiosSettings, kBiosSettingsAddress, kBiosSettingsDevice,
                            kBiosSettingsTarget, payload, kWordSize, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't write BIOS settings: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return kExitOk;
}

const BiosSettingText* FindSetting(const BiosRows<BiosSettingText>& rows, const char* setting) {
  for (const BiosSettingText& row : rows) {
    if (KeywordEquals(setting, row.text) == 0) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace

int ChangeBiosSetting(const char* setting) {
  const BiosFamilyTables& family = BiosTablesOf(CurrentBiosFamily());
  char input[kSettingInputLength + 1];
  if (setting == nullptr) {
    ListSupportedSettings(family);
    platform::Print("Enter setting or nothing to exit");
    if (!ReadLine(input, kSettingInputLength)) {
      return kExitOk;
    }
    setting = input;
  }
  uint32_t word = 0;
  if (int result = ReadSettingsWord(&word); result != kExitOk) {
    return result;
  }
  const BiosSettingText* match = FindSetting(family.settings, setting);
  if (match == nullptr) {
    match = FindSetting(SharedBiosTables().settings, setting);
  }
  if (match == nullptr) {
    platform::PrintError("ERROR: Unknown setting '%s' (not supported for this PC).\n", setting);
    return kExitNotSupported;
  }
  word = (word & ~match->mask) | match->bits;
  if (int result = WriteSettingsWord(word); result != kExitOk) {
    return result;
  }
  platform::Print("BIOS setting changed to %s.\n", setting);
  if (match->biosValue || family.everyChangeNeedsReload) {
    platform::Print("*** The BIOS default values must be reloaded after reboot! ***\n");
  }
  return NoticePcReboot(kExitOk);
}

}  // namespace drux
