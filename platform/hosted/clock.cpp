// Hosted clock. Tests fix it through two settings:
//   DRUXSVC_TEST_CLOCK="start,step": the n-th reading (from 0) is start + n * step seconds;
//   DRUXSVC_TEST_DATE="YYYY-MM-DD": the local date.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

namespace platform {

int64_t CalendarSeconds() {
  static long long readings = 0;
  if (const char* fixed = std::getenv("DRUXSVC_TEST_CLOCK")) {
    long long start = 0;
    long long step = 0;
    if (std::sscanf(fixed, "%lld,%lld", &start, &step) == 2) {
      return start + step * readings++;
    }
  }
  return static_cast<int64_t>(std::time(nullptr));
}

Date LocalDate() {
  if (const char* fixed = std::getenv("DRUXSVC_TEST_DATE")) {
    Date date{};
    if (std::sscanf(fixed, "%d-%d-%d", &date.year, &date.month, &date.day) == 3) {
      return date;
    }
  }
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace platform
