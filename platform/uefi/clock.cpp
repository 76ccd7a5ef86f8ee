// UEFI clock: the firmware's real-time clock. It keeps local time and usually no time zone
// (2047); calendar seconds are only compared with each other, so the local time serves.
#include <efi.h>

#include "platform/platform.h"
#include "platform/uefi/calendar.h"
#include "platform/uefi/uefi_backend.h"

namespace platform {
namespace {

bool ReadClock(EFI_TIME* time) {
  return !EFI_ERROR(uefi::firmware.system->RuntimeServices->GetTime(time, nullptr));
}

}  // namespace

int64_t CalendarSeconds() {
  EFI_TIME time{};
  if (!ReadClock(&time)) {
    return 0;
  }
  return uefi::SecondsSinceEpoch(time.Year, time.Month, time.Day, time.Hour, time.Minute,
                                 time.Second);
}

Date LocalDate() {
  EFI_TIME time{};
  if (!ReadClock(&time)) {
    return Date{1970, 1, 1};
  }
  return Date{time.Year, time.Month, time.Day};
}

}  // namespace platform
