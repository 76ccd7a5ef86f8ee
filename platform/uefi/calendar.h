// Calendar arithmetic for the firmware clock, which reports date and time fields only. Free of
// firmware headers, so the host tests run it too.
#pragma once

#include <cstdint>

namespace platform::uefi {

// Days from 1970-01-01 to the date of the proleptic Gregorian calendar (negative before).
int64_t DaysSinceEpoch(int year, int month, int day);

// Seconds from 1970-01-01 00:00:00 to the given date and time.
int64_t SecondsSinceEpoch(int year, int month, int day, int hour, int minute, int second);

}  // namespace platform::uefi
