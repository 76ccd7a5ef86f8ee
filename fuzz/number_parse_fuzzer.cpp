// Our strtol and sscanf("%d", "%<width>d", "%lx") conversions against the C library's, on any
// text: the same value, the same end and the same overflow report.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "platform/format.h"

namespace {

constexpr size_t kMaxText = 256;
constexpr int kMaxWidth = 24;

void CompareDecimalLong(const char* text) {
  const char* end = nullptr;
  bool overflowed = false;
  const long value = platform::ParseDecimalLong(text, &end, &overflowed);
  char* expectedEnd = nullptr;
  errno = 0;
  const long expected = std::strtol(text, &expectedEnd, 10);
  const bool expectedOverflow = errno == ERANGE;
  FUZZ_CHECK(value == expected);
  FUZZ_CHECK(end == expectedEnd);
  FUZZ_CHECK(overflowed == expectedOverflow);
  // Without the optional outputs the value stays the same.
  FUZZ_CHECK(platform::ParseDecimalLong(text, nullptr, nullptr) == expected);
}

void CompareDecimalInt(const char* text, int width) {
  char format[16];
  if (width == 0) {
    std::snprintf(format, sizeof format, "%%d");
  } else {
    std::snprintf(format, sizeof format, "%%%dd", width);
  }
  int value = 0x5A5A5A5A;
  int expected = 0x5A5A5A5A;
  const bool scanned = platform::ScanDecimalInt(text, &value, width);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const bool expectedScanned = std::sscanf(text, format, &expected) == 1;
#pragma GCC diagnostic pop
  FUZZ_CHECK(scanned == expectedScanned);
  FUZZ_CHECK(value == expected);
}

void CompareHexUnsignedLong(const char* text) {
  unsigned long value = 0x5A5A5A5A;
  unsigned long expected = 0x5A5A5A5A;
  const bool scanned = platform::ScanHexUnsignedLong(text, &value);
  const bool expectedScanned = std::sscanf(text, "%lx", &expected) == 1;
  FUZZ_CHECK(scanned == expectedScanned);
  FUZZ_CHECK(value == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxText) {
    return 0;
  }
  // The text ends at the input's end or at its first NUL, in a block of exactly that size.
  std::unique_ptr<char[]> text(new char[size + 1]);
  std::memcpy(text.get(), data, size);
  text[size] = 0;
  CompareDecimalLong(text.get());
  for (int width = 0; width <= kMaxWidth; ++width) {
    CompareDecimalInt(text.get(), width);
  }
  CompareHexUnsignedLong(text.get());
  return 0;
}
