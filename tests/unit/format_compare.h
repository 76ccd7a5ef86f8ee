// Differential check of our formatter against the host C library's snprintf.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/format.h"

namespace format_test {

inline constexpr size_t kCompareBuffer = 4096;

// Shows control characters and NULs, so that a failure message is readable.
inline std::string Visible(const char* text, size_t length) {
  std::string shown;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

// Same bytes, same terminator position and same returned length as snprintf. Callers pass at
// least one argument, so that a non-literal format never goes without arguments.
template <typename... Args>
testing::AssertionResult SameAsLibc(const char* format, Args... args) {
  char expected[kCompareBuffer];
  char actual[kCompareBuffer];
  std::memset(expected, 0x5a, sizeof expected);
  std::memset(actual, 0x5a, sizeof actual);
  int expected_length = std::snprintf(expected, sizeof expected, format, args...);
  size_t actual_length = platform::FormatString(actual, sizeof actual, format, args...);
  if (expected_length < 0) {
    return testing::AssertionFailure() << "the C library rejects \"" << format << "\"";
  }
  size_t stored = static_cast<size_t>(expected_length) < kCompareBuffer
                      ? static_cast<size_t>(expected_length)
                      : kCompareBuffer - 1;
  if (actual_length != static_cast<size_t>(expected_length) ||
      std::memcmp(expected, actual, stored + 1) != 0) {
    return testing::AssertionFailure()
           << "format \"" << format << "\": expected [" << Visible(expected, stored) << "] ("
           << expected_length << "), got [" << Visible(actual, stored) << "] (" << actual_length
           << ")";
  }
  return testing::AssertionSuccess();
}

}  // namespace format_test
