// Seeded random sweep: conversion directives built from every flag, width, precision and
// length piece, with edge-biased random values, compared byte for byte with snprintf.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "format_compare.h"

namespace {

using format_test::SameAsLibc;

constexpr int kCasesPerKind = 25000;
constexpr int kReportedFailures = 10;

struct Sweep {
  std::mt19937_64 random{20240229};
  int failures = 0;

  uint64_t Bits() { return random(); }
  int Below(int limit) { return static_cast<int>(random() % static_cast<uint64_t>(limit)); }
  bool OneIn(int n) { return Below(n) == 0; }

  void Check(testing::AssertionResult result) {
    if (!result && failures++ < kReportedFailures) {
      ADD_FAILURE() << result.message();
    }
  }
};

struct Stars {
  bool width;
  bool precision;
  int width_value;
  int precision_value;
};

// "%" + flags + width + precision; the caller appends length and conversion.
std::string RandomSpecStart(Sweep* sweep, Stars* stars) {
  std::string directive = "%";
  const char flags[] = "-+ #0";
  for (int i = 0; i < 3; ++i) {
    if (sweep->OneIn(3)) {
      directive += flags[sweep->Below(5)];
    }
  }
  *stars = {false, false, sweep->Below(61) - 30, sweep->Below(36) - 5};
  switch (sweep->Below(5)) {
    case 0:
      stars->width = true;
      directive += '*';
      break;
    case 1:
    case 2:
      directive += std::to_string(1 + sweep->Below(sweep->OneIn(4) ? 60 : 12));
      break;
    default:
      break;
  }
  switch (sweep->Below(6)) {
    case 0:
      stars->precision = true;
      directive += ".*";
      break;
    case 1:
      directive += '.';
      break;
    case 2:
    case 3:
      directive += '.' + std::to_string(sweep->Below(sweep->OneIn(4) ? 45 : 8));
      break;
    default:
      break;
  }
  return directive;
}

// Random text around the conversion, sometimes with a "%%".
std::string Surround(Sweep* sweep, const std::string& directive) {
  const char* const texts[] = {"", "", "a", "|", "%%", "x y "};
  return texts[sweep->Below(6)] + directive + texts[sweep->Below(6)];
}

template <typename T>
void CheckWithStars(Sweep* sweep, const std::string& format, const Stars& stars, T value) {
  const char* f = format.c_str();
  if (stars.width && stars.precision) {
    sweep->Check(SameAsLibc(f, stars.width_value, stars.precision_value, value));
  } else if (stars.width) {
    sweep->Check(SameAsLibc(f, stars.width_value, value));
  } else if (stars.precision) {
    sweep->Check(SameAsLibc(f, stars.precision_value, value));
  } else {
    sweep->Check(SameAsLibc(f, value));
  }
}

// Edge values half of the time, otherwise random bits of a random magnitude.
template <typename T>
T RandomInteger(Sweep* sweep) {
  using Unsigned = std::make_unsigned_t<T>;
  constexpr Unsigned kMax = static_cast<Unsigned>(-1);
  const uint64_t edges[] = {
      0,      1,      kMax,   kMax >> 1,  (kMax >> 1) + 1, 0x7f,       0x80, 0xff, 0x100,
      0x7fff, 0x8000, 0xffff, 0x7fffffff, 0x80000000,      0xffffffff, 10,   9};
  if (sweep->OneIn(2)) {
    return static_cast<T>(static_cast<Unsigned>(edges[sweep->Below(17)]));
  }
  int bits = 1 + sweep->Below(64);
  uint64_t value = sweep->Bits() >> (64 - bits);
  return static_cast<T>(static_cast<Unsigned>(value));
}

double RandomDouble(Sweep* sweep) {
  switch (sweep->Below(6)) {
    case 0: {  // any bit pattern: subnormals, huge values, infinities, NaNs
      uint64_t bits = sweep->Bits();
      double value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    case 1:  // what a program prints: up to 1e15 with a few decimals
      return static_cast<double>(sweep->Bits() % 1000000000000000ULL) /
             std::pow(10.0, sweep->Below(7)) * (sweep->OneIn(4) ? -1 : 1);
    case 2:  // binary fractions, where ties occur
      return std::ldexp(static_cast<double>(sweep->Below(2000001) - 1000000), -sweep->Below(12));
    case 3:  // any decimal magnitude
      return (1.0 + static_cast<double>(sweep->Bits() % 1000000) / 100000.0) *
             std::pow(10.0, sweep->Below(61) - 30);
    case 4: {  // small integers and their neighbours
      double value = static_cast<double>(sweep->Below(2001) - 1000);
      return sweep->OneIn(2) ? value : std::nextafter(value, sweep->OneIn(2) ? 1e9 : -1e9);
    }
    default: {
      const double edges[] = {0.0,  -0.0, 0.5,  1.5,      2.5,       0.125,
                              0.05, 9.5,  99.5, DBL_MAX,  DBL_MIN,   5e-324,
                              1e15, 1e16, 0.1,  INFINITY, -INFINITY, NAN};
      return edges[sweep->Below(18)];
    }
  }
}

template <typename T>
void SweepIntegers(Sweep* sweep, const char* length, const char* conversions) {
  size_t conversion_count = std::strlen(conversions);
  for (int i = 0; i < kCasesPerKind; ++i) {
    Stars stars;
    std::string directive = RandomSpecStart(sweep, &stars) + length +
                            conversions[sweep->Below(static_cast<int>(conversion_count))];
    CheckWithStars(sweep, Surround(sweep, directive), stars, RandomInteger<T>(sweep));
  }
}

TEST(FormatSweep, IntegersOfEveryLength) {
  Sweep sweep;
  SweepIntegers<int>(&sweep, "", "diuoxX");
  SweepIntegers<int>(&sweep, "hh", "diuoxX");
  SweepIntegers<int>(&sweep, "h", "diuoxX");
  SweepIntegers<long>(&sweep, "l", "diuoxX");
  SweepIntegers<long long>(&sweep, "ll", "diuoxX");
  SweepIntegers<size_t>(&sweep, "z", "diuoxX");
  SweepIntegers<ptrdiff_t>(&sweep, "t", "diuoxX");
  SweepIntegers<intmax_t>(&sweep, "j", "diuoxX");
  EXPECT_EQ(sweep.failures, 0);
}

TEST(FormatSweep, Doubles) {
  Sweep sweep;
  const char conversions[] = "fFeEgG";
  for (int i = 0; i < 3 * kCasesPerKind; ++i) {
    Stars stars;
    std::string directive =
        RandomSpecStart(&sweep, &stars) + (sweep.OneIn(8) ? "l" : "") + conversions[sweep.Below(6)];
    CheckWithStars(&sweep, Surround(&sweep, directive), stars, RandomDouble(&sweep));
  }
  EXPECT_EQ(sweep.failures, 0);
}

TEST(FormatSweep, CharactersStringsAndPointers) {
  Sweep sweep;
  const char* const strings[] = {"",
                                 "a",
                                 "abc",
                                 "(null)",
                                 "exactly-11!",
                                 "tab\there",
                                 nullptr,
                                 "a string that is somewhat longer than most of the widths"};
  for (int i = 0; i < kCasesPerKind; ++i) {
    Stars stars;
    std::string start = RandomSpecStart(&sweep, &stars);
    switch (sweep.Below(3)) {
      case 0:
        CheckWithStars(&sweep, Surround(&sweep, start + "c"), stars, sweep.Below(512) - 128);
        break;
      case 1:
        CheckWithStars(&sweep, Surround(&sweep, start + "s"), stars, strings[sweep.Below(8)]);
        break;
      default:
        CheckWithStars(&sweep, Surround(&sweep, start + "p"), stars,
                       reinterpret_cast<void*>(RandomInteger<uintptr_t>(&sweep)));
        break;
    }
  }
  EXPECT_EQ(sweep.failures, 0);
}

// Random capacities on random directives: truncation and terminator as snprintf.
TEST(FormatSweep, TruncatedOutput) {
  Sweep sweep;
  for (int i = 0; i < kCasesPerKind; ++i) {
    Stars stars;
    std::string directive = RandomSpecStart(&sweep, &stars);
    if (stars.width || stars.precision) {
      continue;  // the stars are covered above; here the capacity matters
    }
    std::string format = Surround(&sweep, directive + "d") + "%.3f";
    int value = RandomInteger<int>(&sweep);
    double number = RandomDouble(&sweep);
    size_t capacity = static_cast<size_t>(sweep.Below(40));
    char expected[48];
    char actual[48];
    std::memset(expected, '#', sizeof expected);
    std::memset(actual, '#', sizeof actual);
    int expected_length = std::snprintf(expected, capacity, format.c_str(), value, number);
    size_t actual_length = platform::FormatString(actual, capacity, format.c_str(), value, number);
    bool same = actual_length == static_cast<size_t>(expected_length) &&
                std::memcmp(expected, actual, sizeof expected) == 0;
    sweep.Check(same ? testing::AssertionSuccess()
                     : testing::AssertionFailure() << "\"" << format << "\" capacity " << capacity);
  }
  EXPECT_EQ(sweep.failures, 0);
}

}  // namespace
