// C-library-style number conversions: strtol, and sscanf's "%d" and "%lx", without the C
// library. sscanf reads the characters of a number first and then converts them with
// strtol/strtoul, so overflow saturates like those, and "%d" narrows the long to int.
#include <cstddef>
#include <limits>

#include "platform/format.h"

namespace platform {
namespace {

constexpr size_t kNoWidth = std::numeric_limits<size_t>::max();
constexpr unsigned long kUnsignedMax = std::numeric_limits<unsigned long>::max();
constexpr unsigned long kLongMaxMagnitude = std::numeric_limits<long>::max();

// isspace in the C locale.
bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

const char* SkipSpace(const char* p) {
  while (IsSpace(*p)) {
    ++p;
  }
  return p;
}

// Digit value in bases up to 16, or 16 for anything else.
unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<unsigned>(c - 'a' + 10);
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<unsigned>(c - 'A' + 10);
  }
  return 16;
}

struct DigitRun {
  unsigned long magnitude;
  bool overflowed;  // the digits exceed unsigned long
  const char* end;
  size_t count;
};

// Reads at most `limit` digits of `base`.
DigitRun ReadDigits(const char* p, unsigned base, size_t limit) {
  DigitRun run{0, false, p, 0};
  while (run.count < limit && DigitValue(*run.end) < base) {
    unsigned digit = DigitValue(*run.end);
    if (run.magnitude > (kUnsignedMax - digit) / base) {
      run.overflowed = true;
    } else {
      run.magnitude = run.magnitude * base + digit;
    }
    ++run.end;
    ++run.count;
  }
  return run;
}

// strtol's result for a sign and its digits.
long SignedValue(bool negative, const DigitRun& run, bool* overflowed) {
  unsigned long limit = negative ? kLongMaxMagnitude + 1 : kLongMaxMagnitude;
  *overflowed = run.overflowed || run.magnitude > limit;
  if (*overflowed) {
    return negative ? std::numeric_limits<long>::min() : std::numeric_limits<long>::max();
  }
  // Two's complement wraps -(LONG_MAX + 1) to LONG_MIN.
  return static_cast<long>(negative ? 0 - run.magnitude : run.magnitude);
}

// strtoul's result: saturates on overflow, otherwise a minus sign negates modulo 2^64.
unsigned long UnsignedValue(bool negative, const DigitRun& run) {
  if (run.overflowed) {
    return kUnsignedMax;
  }
  return negative ? 0 - run.magnitude : run.magnitude;
}

// Consumes an optional sign; returns whether it was '-'.
bool ReadSign(const char** p) {
  char c = **p;
  if (c == '+' || c == '-') {
    ++*p;
  }
  return c == '-';
}

}  // namespace

long ParseDecimalLong(const char* text, const char** end, bool* overflowed) {
  const char* p = SkipSpace(text);
  bool negative = ReadSign(&p);
  DigitRun run = ReadDigits(p, 10, kNoWidth);
  bool overflow = false;
  long value = run.count == 0 ? 0 : SignedValue(negative, run, &overflow);
  if (end != nullptr) {
    *end = run.count == 0 ? text : run.end;
  }
  if (overflowed != nullptr) {
    *overflowed = overflow;
  }
  return value;
}

bool ScanDecimalInt(const char* text, int* value, int width) {
  // Leading white space does not count towards the width, the sign does.
  const char* p = SkipSpace(text);
  size_t limit = width > 0 ? static_cast<size_t>(width) : kNoWidth;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = ReadSign(&p);
    --limit;
  }
  DigitRun run = ReadDigits(p, 10, limit);
  if (run.count == 0) {
    return false;
  }
  bool overflowed = false;
  *value = static_cast<int>(SignedValue(negative, run, &overflowed));
  return true;
}

bool ScanHexUnsignedLong(const char* text, unsigned long* value) {
  const char* p = SkipSpace(text);
  bool negative = ReadSign(&p);
  // A leading "0" counts as a digit even when the "x" after it is not followed by any.
  bool leading_zero = *p == '0';
  if (leading_zero) {
    ++p;
    if (*p == 'x' || *p == 'X') {
      ++p;
    }
  }
  DigitRun run = ReadDigits(p, 16, kNoWidth);
  if (run.count == 0 && !leading_zero) {
    return false;
  }
  *value = UnsignedValue(negative, run);
  return true;
}

}  // namespace platform
