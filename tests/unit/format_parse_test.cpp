// Number conversions against strtol and sscanf: white space, signs, prefixes, widths, overflow,
// on listed edge texts and on seeded random texts.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/format.h"

namespace {

constexpr int kRandomTexts = 60000;
constexpr int kMaxScanWidth = 12;

testing::AssertionResult ParsesLikeStrtol(const std::string& text) {
  errno = 0;
  char* libc_end = nullptr;
  long expected = std::strtol(text.c_str(), &libc_end, 10);
  bool expected_overflow = errno == ERANGE;
  const char* end = nullptr;
  bool overflowed = !expected_overflow;
  long actual = platform::ParseDecimalLong(text.c_str(), &end, &overflowed);
  if (actual != expected || end != libc_end || overflowed != expected_overflow) {
    return testing::AssertionFailure()
           << "\"" << text << "\": strtol " << expected << " end " << libc_end - text.c_str()
           << " overflow " << expected_overflow << ", ours " << actual << " end "
           << end - text.c_str() << " overflow " << overflowed;
  }
  return testing::AssertionSuccess();
}

// width 0: "%d", otherwise "%<width>d".
testing::AssertionResult ScansIntLikeSscanf(const std::string& text, int width) {
  char format[16];
  std::snprintf(format, sizeof format, width == 0 ? "%%d" : "%%%dd", width);
  int expected = 0x5a5a5a5a;
  int actual = 0x5a5a5a5a;
  bool expected_ok = std::sscanf(text.c_str(), format, &expected) == 1;
  bool actual_ok = platform::ScanDecimalInt(text.c_str(), &actual, width);
  if (expected_ok != actual_ok || expected != actual) {
    return testing::AssertionFailure()
           << "\"" << text << "\" with " << format << ": sscanf " << expected_ok << "/" << expected
           << ", ours " << actual_ok << "/" << actual;
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult ScansHexLikeSscanf(const std::string& text) {
  unsigned long expected = 0x5a5a5a5a;
  unsigned long actual = 0x5a5a5a5a;
  bool expected_ok = std::sscanf(text.c_str(), "%lx", &expected) == 1;
  bool actual_ok = platform::ScanHexUnsignedLong(text.c_str(), &actual);
  if (expected_ok != actual_ok || expected != actual) {
    return testing::AssertionFailure()
           << "\"" << text << "\" with %lx: sscanf " << expected_ok << "/" << std::hex << expected
           << ", ours " << actual_ok << "/" << actual;
  }
  return testing::AssertionSuccess();
}

void ExpectAllConversionsLikeLibc(const std::string& text) {
  EXPECT_TRUE(ParsesLikeStrtol(text));
  for (int width = 0; width <= kMaxScanWidth; ++width) {
    EXPECT_TRUE(ScansIntLikeSscanf(text, width));
  }
  EXPECT_TRUE(ScansHexLikeSscanf(text));
}

// Numbers at and around the limits of int, long and unsigned long, in decimal and hex.
// clang-format off
constexpr const char* kEdgeNumbers[] = {
    "0", "1", "2147483647", "2147483648", "2147483649", "4294967295", "4294967296", "9999999999",
    "9223372036854775806", "9223372036854775807", "9223372036854775808", "9223372036854775809",
    "18446744073709551615", "18446744073709551616", "99999999999999999999",
    "123456789012345678901234567890", "0000000000000000000000000009223372036854775808",
    "7fffffff", "80000000", "ffffffff", "100000000", "7fffffffffffffff", "8000000000000000",
    "ffffffffffffffff", "FFFFFFFFFFFFFFFF", "10000000000000000",
    "00000000000000000000ffffffffffffffff", "0x7fffffffffffffff", "0xffffffffffffffff",
    "0x10000000000000000", "0X8000000000000000"};
// clang-format on

TEST(FormatParse, EdgeNumbersWithEveryPrefixAndSuffix) {
  const char* const prefixes[] = {"", " ", "-", "+", " \t\n\v\f\r-", "\t+", "--", "+-", "- "};
  const char* const suffixes[] = {"", "z", " 1", "0", "x5", "g"};
  for (const char* number : kEdgeNumbers) {
    for (const char* prefix : prefixes) {
      for (const char* suffix : suffixes) {
        ExpectAllConversionsLikeLibc(std::string(prefix) + number + suffix);
      }
    }
  }
}

TEST(FormatParse, TextsWithoutANumber) {
  const char* const texts[] = {"",
                               " ",
                               "\t\n",
                               "+",
                               "-",
                               "+ 1",
                               "x",
                               "x5",
                               "0x",
                               "0X",
                               "0xg",
                               "+0x",
                               "-0x",
                               " 0x 5",
                               "00x5",
                               "0x0x5",
                               "z",
                               "\x01"
                               "5",
                               "\xa0"
                               "5"};
  for (const char* text : texts) {
    ExpectAllConversionsLikeLibc(text);
  }
}

TEST(FormatParse, DocumentedLibcResults) {
  int value = 0;
  // The digits are converted as a long and then narrowed to int.
  ASSERT_TRUE(platform::ScanDecimalInt("9999999999", &value));
  EXPECT_EQ(value, 1410065407);
  ASSERT_TRUE(platform::ScanDecimalInt("99999999999999999999", &value));
  EXPECT_EQ(value, -1);
  // The sign counts towards the width, leading white space does not.
  ASSERT_TRUE(platform::ScanDecimalInt("  +1234", &value, 4));
  EXPECT_EQ(value, 123);
  value = 7;
  EXPECT_FALSE(platform::ScanDecimalInt("-5", &value, 1));
  EXPECT_EQ(value, 7);  // untouched on failure

  unsigned long hex = 1;
  // "0x" without hex digits still reads the zero.
  ASSERT_TRUE(platform::ScanHexUnsignedLong("0xg", &hex));
  EXPECT_EQ(hex, 0u);
  ASSERT_TRUE(platform::ScanHexUnsignedLong("-0x1", &hex));
  EXPECT_EQ(hex, ULONG_MAX);
  ASSERT_TRUE(platform::ScanHexUnsignedLong("-ffffffffffffffff", &hex));
  EXPECT_EQ(hex, 1u);

  const char* text = "  -";
  const char* end = nullptr;
  bool overflowed = true;
  EXPECT_EQ(platform::ParseDecimalLong(text, &end, &overflowed), 0);
  EXPECT_EQ(end, text);
  EXPECT_FALSE(overflowed);
  EXPECT_EQ(platform::ParseDecimalLong("-9223372036854775809", nullptr, nullptr), LONG_MIN);
}

// Counts the failures of one text and reports the first few.
void CheckRandomText(const std::string& text, int width, int* failures) {
  testing::AssertionResult results[] = {ParsesLikeStrtol(text), ScansIntLikeSscanf(text, width),
                                        ScansHexLikeSscanf(text)};
  for (const testing::AssertionResult& result : results) {
    if (!result && (*failures)++ < 10) {
      ADD_FAILURE() << result.message();
    }
  }
}

TEST(FormatParse, RandomTextsFromANumberAlphabet) {
  constexpr char kAlphabet[] = " +-0123456789xXabcdefgz";
  std::mt19937 random(1977);
  int failures = 0;
  for (int i = 0; i < kRandomTexts; ++i) {
    std::string text;
    for (unsigned length = random() % 24; length > 0; --length) {
      text += kAlphabet[random() % (sizeof(kAlphabet) - 1)];
    }
    CheckRandomText(text, static_cast<int>(random() % (kMaxScanWidth + 1)), &failures);
  }
  EXPECT_EQ(failures, 0);
}

// Long digit runs reach the limits from every length, with and without leading zeros.
TEST(FormatParse, RandomLongDigitRuns) {
  std::mt19937 random(4711);
  const char* const prefixes[] = {"", "-", "+", "0x", "-0x", " 000"};
  int failures = 0;
  for (int i = 0; i < kRandomTexts / 4; ++i) {
    std::string text = prefixes[random() % 6];
    unsigned base = random() % 2 ? 10 : 16;
    for (unsigned length = 15 + random() % 8; length > 0; --length) {
      text += "0123456789abcdef"[random() % base];
    }
    CheckRandomText(text, 0, &failures);
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
