#include "platform/uefi/calendar.h"

namespace platform::uefi {

// Counts whole 400-year eras from 0000-03-01, so that the leap day ends each year of the count.
int64_t DaysSinceEpoch(int year, int month, int day) {
  int64_t y = month <= 2 ? int64_t{year} - 1 : int64_t{year};
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yearOfEra = y - era * 400;
  int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
  int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  constexpr int64_t kDaysFromEraStartTo1970 = 719468;
  return era * 146097 + dayOfEra - kDaysFromEraStartTo1970;
}

int64_t SecondsSinceEpoch(int year, int month, int day, int hour, int minute, int second) {
  return DaysSinceEpoch(year, month, day) * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 +
         second;
}

}  // namespace platform::uefi
