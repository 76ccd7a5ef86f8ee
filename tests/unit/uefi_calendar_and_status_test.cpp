// The UEFI clock's calendar arithmetic (checked against the host C library for every day of
// three centuries) and the texts of firmware status codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/uefi/calendar.h"
#include "platform/uefi/status_text.h"

namespace platform::uefi {
namespace {

TEST(UefiCalendarTest, KnownInstants) {
  struct Instant {
    int year, month, day, hour, minute, second;
    int64_t seconds;
  };
  const Instant instants[] = {
      {1970, 1, 1, 0, 0, 0, 0},          {1969, 12, 31, 23, 59, 59, -1},
      {2000, 2, 29, 0, 0, 0, 951782400}, {2024, 2, 29, 12, 0, 0, 1709208000},
      {2024, 3, 1, 0, 0, 0, 1709251200}, {2038, 1, 19, 3, 14, 8, int64_t{1} << 31},
      {2100, 3, 1, 0, 0, 0, 4107542400},
  };
  for (const Instant& i : instants) {
    EXPECT_EQ(SecondsSinceEpoch(i.year, i.month, i.day, i.hour, i.minute, i.second), i.seconds)
        << i.year << "-" << i.month << "-" << i.day;
  }
}

TEST(UefiCalendarTest, EveryDayAgreesWithTheCLibrary) {
  std::tm day{};
  day.tm_year = 1900 - 1900;
  day.tm_mon = 0;
  day.tm_mday = 1;
  int64_t expected = static_cast<int64_t>(timegm(&day)) / 86400;
  for (int n = 0; n < 300 * 366; ++n) {
    std::tm date{};
    time_t instant = static_cast<time_t>((expected + n) * 86400);
    gmtime_r(&instant, &date);
    if (date.tm_year + 1900 >= 2200) {
      break;
    }
    ASSERT_EQ(DaysSinceEpoch(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday), expected + n)
        << date.tm_year + 1900 << "-" << date.tm_mon + 1 << "-" << date.tm_mday;
  }
}

constexpr uint64_t kError = uint64_t{1} << 63;

TEST(UefiStatusTextTest, FileErrorsReadLikeTheCLibrary) {
  struct Case {
    uint64_t status;
    const char* text;
  };
  const Case cases[] = {
      {0, "Success"},
      {kError | 14, "No such file or directory"},
      {kError | 15, "Permission denied"},
      {kError | 8, "Read-only file system"},
      {kError | 11, "No space left on device"},
      {kError | 7, "Input/output error"},
      {kError | 2, "Invalid argument"},
      {kError | 99, "Unknown error 0x8000000000000063"},
      {4, "Unknown error 0x4"},  // a warning, not an error
  };
  for (const Case& c : cases) {
    char buffer[48];
    EXPECT_STREQ(StatusText(c.status, buffer, sizeof buffer), c.text) << std::hex << c.status;
  }
}

TEST(UefiStatusTextTest, TextIsCutToTheBuffer) {
  char buffer[8];
  EXPECT_STREQ(StatusText(kError | 14, buffer, sizeof buffer), "No such");
}

}  // namespace
}  // namespace platform::uefi
