// Integer, character, string and pointer conversions, buffer capacity and sink pieces, each
// compared with the host C library.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "format_compare.h"
#include "platform/format.h"

namespace {

using format_test::SameAsLibc;

// Every format against every value of the argument's type.
template <typename T, size_t F, size_t V>
void ExpectAllSameAsLibc(const char* const (&formats)[F], const T (&values)[V]) {
  for (const char* format : formats) {
    for (T value : values) {
      EXPECT_TRUE(SameAsLibc(format, value));
    }
  }
}

TEST(FormatPrint, SignedInt) {
  const char* const formats[] = {
      "%d",    "%i",    "%5d",  "%-5d|", "%05d",    "%+d",     "% d",    "%+ d",  "% +d",  "%.0d",
      "%5.0d", "%+.0d", "%.3d", "%8.3d", "%-8.3d|", "%08.3d",  "%-08d|", "%+08d", "% 08d", "%1d",
      "%12d",  "%012d", "%'d",  "%3d%%", "%#d",     "%-+12i|", "%.12d",  "x%dy"};
  const int values[] = {0, 1, -1, 7, -7, 42, -42, 100, 99999, -99999, INT_MIN, INT_MAX};
  ExpectAllSameAsLibc(formats, values);
}

TEST(FormatPrint, UnsignedIntInEveryBase) {
  const char* const formats[] = {"%u",   "%x",     "%X",    "%o",      "%#x",    "%#X",    "%#o",
                                 "%02x", "%04x",   "%08x",  "%#08x",   "%#.0x",  "%#.0o",  "%.0x",
                                 "%.0o", "%.0u",   "%#5o",  "%-#10x|", "%#.3o",  "%#5.3o", "%+u",
                                 "% x",  "%10.4X", "%-6u|", "%012o",   "%#012X", "%#-12o|"};
  const unsigned values[] = {0,   1,   7,    8,           9,           15,      16,
                             255, 256, 4095, 0x7fffffffu, 0x80000000u, UINT_MAX};
  ExpectAllSameAsLibc(formats, values);
}

TEST(FormatPrint, LongAndLongLong) {
  const char* const signed_formats[] = {"%ld",    "%li",     "%-22ld|",   "%+ld",
                                        "%022ld", "%.20ld",  "% ld",      "%lld",
                                        "%lli",   "%+25lld", "%-+25lld|", "%.0lld"};
  const long signed_values[] = {0,           1,        -1,       INT_MIN,      INT_MAX,
                                0x80000000L, LONG_MIN, LONG_MAX, LONG_MIN + 1, -1000000000000L};
  ExpectAllSameAsLibc(signed_formats, signed_values);

  const char* const unsigned_formats[] = {"%lu",  "%lx",   "%lX",  "%08lx", "%#lx",  "%lo",
                                          "%#lo", "%24lu", "%llu", "%llx",  "%#llX", "%.30llo"};
  const unsigned long unsigned_values[] = {0,
                                           1,
                                           0x80000000UL,
                                           UINT_MAX,
                                           0x100000000UL,
                                           ULONG_MAX,
                                           ULONG_MAX - 1,
                                           static_cast<unsigned long>(LONG_MAX) + 1};
  ExpectAllSameAsLibc(unsigned_formats, unsigned_values);
}

TEST(FormatPrint, NarrowLengthsTruncateTheArgument) {
  const char* const formats[] = {"%hhd", "%hhi", "%hhu", "%hhx", "%hho",  "%hd",
                                 "%hi",  "%hu",  "%hx",  "%#hX", "%+hhd", "%05hd"};
  const int values[] = {0,   1,   -1,    127,   128,   -128,  -129,    255,
                        256, 300, 32767, 32768, 65535, 70000, INT_MIN, INT_MAX};
  ExpectAllSameAsLibc(formats, values);
}

TEST(FormatPrint, SizeDifferenceAndMaximumLengths) {
  const char* const size_formats[] = {"%zu", "%zx", "%zo", "%zd", "%+zd", "%#zx"};
  const size_t sizes[] = {0, 1, SIZE_MAX, SIZE_MAX / 2, SIZE_MAX / 2 + 1, 4096};
  ExpectAllSameAsLibc(size_formats, sizes);

  const char* const difference_formats[] = {"%td", "%ti", "%tu", "%tx", "% td"};
  const ptrdiff_t differences[] = {0, -1, PTRDIFF_MIN, PTRDIFF_MAX, 123456};
  ExpectAllSameAsLibc(difference_formats, differences);

  const char* const maximum_formats[] = {"%jd", "%ji", "%ju", "%jx", "%jo", "%+jd"};
  const intmax_t maxima[] = {0, -1, INTMAX_MIN, INTMAX_MAX, 65536};
  ExpectAllSameAsLibc(maximum_formats, maxima);
}

TEST(FormatPrint, StarWidthAndPrecision) {
  const int widths[] = {-12, -5, -1, 0, 1, 3, 12};
  const int values[] = {0, 5, -5, INT_MIN, INT_MAX};
  for (int width : widths) {
    for (int value : values) {
      EXPECT_TRUE(SameAsLibc("%*d|", width, value));
      EXPECT_TRUE(SameAsLibc("%-*d|", width, value));
      EXPECT_TRUE(SameAsLibc("%0*d|", width, value));
      EXPECT_TRUE(SameAsLibc("%.*d|", width, value));
      EXPECT_TRUE(SameAsLibc("%*.*x|", width, width / 2, static_cast<unsigned>(value)));
      EXPECT_TRUE(SameAsLibc("%.*s|", width, "abcdefgh"));
      EXPECT_TRUE(SameAsLibc("%*s|", width, "abc"));
    }
  }
}

TEST(FormatPrint, Characters) {
  const char* const formats[] = {"%c", "%5c|", "%-5c|", "%05c", "%.0c", "[%c]"};
  const int values[] = {'a', 'Z', ' ', '%', 0, 127, 128, 255, 300, -1};
  ExpectAllSameAsLibc(formats, values);
}

TEST(FormatPrint, Strings) {
  const char* const formats[] = {"%s",   "%.4s", "%.11s", "%.40s", "%-51s|", "%10s", "%-10.3s|",
                                 "%.0s", "%05s", "%3.1s", "%.s",   "%.5s",   "%.6s", "%.7s"};
  const char* const values[] = {"",
                                "a",
                                "abc",
                                "abcd",
                                "exactly-11!",
                                "a string of forty characters, no more..!",
                                "a much longer string that runs past fifty-one characters in all",
                                nullptr};
  ExpectAllSameAsLibc(formats, values);
}

TEST(FormatPrint, PrecisionStopsReadingAtItsLimit) {
  // Not terminated: the precision must keep the formatter inside the array.
  const char unterminated[4] = {'w', 'x', 'y', 'z'};
  char buffer[16];
  EXPECT_EQ(platform::FormatString(buffer, sizeof buffer, "%.4s|", unterminated), 5u);
  EXPECT_STREQ(buffer, "wxyz|");
}

TEST(FormatPrint, Pointers) {
  const char* const formats[] = {"%p",    "%20p", "%-20p|", "%+p", "% p",   "%020p",
                                 "%.20p", "%#p",  "%.0p",   "%3p", "%-3p|", "%.2p"};
  void* const values[] = {nullptr, reinterpret_cast<void*>(1), reinterpret_cast<void*>(0xdeadbeef),
                          reinterpret_cast<void*>(UINTPTR_MAX)};
  ExpectAllSameAsLibc(formats, values);
}

TEST(FormatPrint, PercentSignsAndPlainText) {
  const char* const formats[] = {"%%",         "%5%", "%-5%|", "100%%", "%3d%%", "%%%d%%",
                                 "plain text", "",    "%y",    "%5y",   "a%kb"};
  const int values[] = {0, 42, -7};
  ExpectAllSameAsLibc(formats, values);
}

TEST(FormatPrint, SeveralConversionsConsumeTheirArgumentsInOrder) {
  EXPECT_TRUE(SameAsLibc("%s=%d (%#x) %c %lu %.2f%%|%-6s|", "count", -3, 255u, 'q', ULONG_MAX,
                         12.345, "end"));
  EXPECT_TRUE(SameAsLibc("%hhd %lld %zu %s %p %g", 300, LLONG_MIN, SIZE_MAX, "x", nullptr, 0.5));
}

TEST(FormatPrint, CapacityTruncatesLikeSnprintf) {
  const char* const text = "abc%dxyz";
  for (size_t capacity = 0; capacity <= 12; ++capacity) {
    char expected[16];
    char actual[16];
    std::memset(expected, '#', sizeof expected);
    std::memset(actual, '#', sizeof actual);
    int expected_length = std::snprintf(expected, capacity, text, 12345);
    size_t actual_length = platform::FormatString(actual, capacity, text, 12345);
    EXPECT_EQ(actual_length, static_cast<size_t>(expected_length)) << capacity;
    EXPECT_EQ(std::memcmp(expected, actual, sizeof expected), 0) << "capacity " << capacity;
  }
}

TEST(FormatPrint, NullBufferWithCapacityZeroOnlyMeasures) {
  EXPECT_EQ(platform::FormatString(nullptr, 0, "%s-%05d", "measure", 42), 13u);
}

struct RecordingSink {
  platform::FormatSink base;
  std::string text;
  size_t pieces;
};

void Record(platform::FormatSink* self, const char* data, size_t length) {
  auto* sink = reinterpret_cast<RecordingSink*>(self);
  sink->text.append(data, length);
  ++sink->pieces;
}

size_t FormatToRecorder(RecordingSink* sink, const char* format, ...) {
  va_list args;
  va_start(args, format);
  size_t length = platform::FormatToSink(&sink->base, format, args);
  va_end(args);
  return length;
}

TEST(FormatPrint, SinkReceivesLongRunsInFewPieces) {
  RecordingSink sink{{Record}, {}, 0};
  size_t length = FormatToRecorder(&sink, "[%100000d|%-100000s|%.100000f]", 7, "x", 0.25);
  std::string expected = "[" + std::string(99999, ' ') + "7|x" + std::string(99999, ' ') + "|0.25" +
                         std::string(99998, '0') + "]";
  EXPECT_EQ(length, expected.size());
  EXPECT_EQ(sink.text, expected);
  // Padding goes out in runs, not character by character.
  EXPECT_LT(sink.pieces, 12000u);
}

TEST(FormatPrint, SinkAndBufferAgree) {
  RecordingSink sink{{Record}, {}, 0};
  size_t length = FormatToRecorder(&sink, "%-8s|%+.3e|%#o", "name", -1234.5678, 8u);
  char buffer[64];
  EXPECT_EQ(platform::FormatString(buffer, sizeof buffer, "%-8s|%+.3e|%#o", "name", -1234.5678, 8u),
            length);
  EXPECT_EQ(sink.text, buffer);
  EXPECT_EQ(sink.text, "name    |-1.235e+03|010");
}

}  // namespace
