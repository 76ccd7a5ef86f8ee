// %f, %e and %g: exact rounding of the binary value, ties to even, non-finite values and the
// layout flags, compared with the host C library.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "format_compare.h"
#include "platform/format.h"

namespace {

using format_test::SameAsLibc;

std::string Formatted(const char* format, double value) {
  char buffer[512];
  platform::FormatString(buffer, sizeof buffer, format, value);
  return buffer;
}

struct Expected {
  const char* format;
  double value;
  const char* text;
};

// The behaviour the program's messages rely on, written out so that it stays documented.
TEST(FormatFloat, RoundsTheExactBinaryValueHalfToEven) {
  const Expected cases[] = {
      {"%.f", 0.5, "0"},
      {"%.f", 1.5, "2"},
      {"%.f", 2.5, "2"},
      {"%.f", 3.5, "4"},
      {"%.f", -0.5, "-0"},
      {"%.2f", 0.125, "0.12"},
      {"%.2f", 0.375, "0.38"},
      {"%.2f", 0.005, "0.01"},
      {"%.1f", 0.05, "0.1"},
      {"%.1f", 0.25, "0.2"},
      {"%.1f", 0.35, "0.3"},
      {"%.2f", 1.005, "1.00"},
      {"%5.1f", 9.96, " 10.0"},
      {"%.f", 999999.5, "1000000"},
      {"%.0e", 2.5, "2e+00"},
      {"%.3f", -0.0, "-0.000"},
      {"%.2f", -0.001, "-0.00"},
      {"%f", 1e15, "1000000000000000.000000"},
      {"%.20f", 0.1, "0.10000000000000000555"},
      {"%.0f", 4503599627370497.5, "4503599627370498"},
  };
  for (const Expected& c : cases) {
    EXPECT_EQ(Formatted(c.format, c.value), c.text) << c.format << " " << c.value;
  }
}

// With '#', the C library fixes the digits after the point before rounding; a value whose
// significant digits all stand before the point and that rounds up to a new power of ten then
// keeps none of them.
TEST(FormatFloat, AlternateGeneralFormKeepsTheLibraryQuirk) {
  const Expected cases[] = {
      {"%#g", 999999.5, "1.e+06"}, {"%#.3g", 999.6, "1.e+03"}, {"%#.1g", 9.5, "1.e+01"},
      {"%#.3g", 99.96, "100."},    {"%#.3g", 9.996, "10.0"},   {"%#.3g", 99996.0, "1.00e+05"},
      {"%.3g", 999.6, "1e+03"},    {"%#.4g", 999.6, "999.6"},  {"%#g", 1.0, "1.00000"},
  };
  for (const Expected& c : cases) {
    EXPECT_EQ(Formatted(c.format, c.value), c.text) << c.format << " " << c.value;
  }
}

TEST(FormatFloat, FixedNotation) {
  const char* const formats[] = {"%f",    "%.f",        "%.0f",     "%.1f",     "%.2f",  "%5.1f",
                                 "%.3f",  "%10.4f",     "%-10.2f|", "%+f",      "% f",   "%010.2f",
                                 "%#.0f", "%-+012.3f|", "%F",       "%.20f",    "%.40f", "%lf",
                                 "%3.f",  "%+.0f",      "% 08.1f",  "%-#8.0f|", "%.17f"};
  const double values[] = {0.0,
                           -0.0,
                           0.5,
                           1.5,
                           2.5,
                           -2.5,
                           0.125,
                           0.375,
                           0.005,
                           0.05,
                           0.15,
                           0.25,
                           0.35,
                           99.995,
                           1e15,
                           -1e15,
                           999999.5,
                           9.9999995,
                           0.1,
                           1.0 / 3,
                           2.0 / 3,
                           1e-5,
                           1e-7,
                           123456789.0,
                           1e-300,
                           5e-324,
                           DBL_MIN,
                           123.456,
                           -98.765,
                           4503599627370497.5,
                           9007199254740993.0,
                           0.95,
                           0.9999999,
                           12.5,
                           13.5};
  for (const char* format : formats) {
    for (double value : values) {
      EXPECT_TRUE(SameAsLibc(format, value));
    }
  }
}

TEST(FormatFloat, ExponentAndGeneralNotation) {
  const char* const formats[] = {
      "%e",    "%.0e",  "%#.0e",  "%E",  "%.3e",  "%12.4e", "%-14.2e|", "%+e",  "%013.3E",
      "%.30e", "%g",    "%G",     "%#g", "%.0g",  "%#.0g",  "%.1g",     "%.2g", "%.3g",
      "%.10g", "%.17g", "%-12g|", "%+G", "%012g", "% g",    "%#.3g",    "%.40g"};
  const double values[] = {
      0.0,      -0.0,     0.5,      1.5,       2.5,     0.125,   1.0,        10.0,
      100000.0, 999999.0, 999999.5, 1000000.0, 1e-4,    1e-5,    0.0001234,  9.9999995,
      9995.0,   9.5,      95.0,     0.00095,   1e21,    1e22,    1e100,      1e-100,
      DBL_MAX,  DBL_MIN,  5e-324,   -123.456,  1.0 / 3, 2.0 / 3, 12345678.0, 0.1,
      -7.25e-9, 999.5,    999.6,    99.96,     9.996,   0.9996,  99996.0,    9.9999995e-5};
  for (const char* format : formats) {
    for (double value : values) {
      EXPECT_TRUE(SameAsLibc(format, value));
    }
  }
}

TEST(FormatFloat, InfinityAndNotANumber) {
  const char* const formats[] = {"%f",  "%F",    "%e",    "%E",   "%g",  "%G",      "%+f",
                                 "% f", "%010f", "%-8f|", "%.3f", "%#g", "%-+10F|", "%08.2e"};
  const double values[] = {
      std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};
  for (const char* format : formats) {
    for (double value : values) {
      EXPECT_TRUE(SameAsLibc(format, value));
    }
  }
}

TEST(FormatFloat, HugePrecisionPrintsTheWholeExpansion) {
  // Every digit of the smallest subnormal and of the largest double.
  EXPECT_TRUE(SameAsLibc("%.1100f", 5e-324));
  EXPECT_TRUE(SameAsLibc("%.1100f", 2.2250738585072009e-308));
  EXPECT_TRUE(SameAsLibc("%.800e", 5e-324));
  EXPECT_TRUE(SameAsLibc("%.800g", 5e-324));
  EXPECT_TRUE(SameAsLibc("%f", DBL_MAX));
  EXPECT_TRUE(SameAsLibc("%.400e", DBL_MAX));
  EXPECT_TRUE(SameAsLibc("%#.400g", 0.1));
  EXPECT_TRUE(SameAsLibc("%.1074f", 4.9406564584124654e-324 * 3));
}

TEST(FormatFloat, RoundingCarriesIntoANewLeadingDigit) {
  const char* const formats[] = {"%.0f", "%.1f", "%.2f", "%.0e", "%.1e", "%.2g", "%.1g", "%g"};
  const double values[] = {9.5,    99.5,        0.95,       0.995,     9.96,        99.96,
                           999.95, 9.999999e-5, 0.99999999, 9999999.5, 0.0999999999};
  for (const char* format : formats) {
    for (double value : values) {
      EXPECT_TRUE(SameAsLibc(format, value));
    }
  }
}

// Every tie k/2^n in a small range: the cases where rounding to even decides.
TEST(FormatFloat, AllSmallBinaryTies) {
  char format[16];
  for (int precision = 0; precision <= 4; ++precision) {
    std::snprintf(format, sizeof format, "%%.%df", precision);
    for (int k = -2000; k <= 2000; ++k) {
      ASSERT_TRUE(SameAsLibc(format, k / 64.0));
      ASSERT_TRUE(SameAsLibc(format, std::ldexp(k, -precision - 3)));
    }
  }
}

}  // namespace
