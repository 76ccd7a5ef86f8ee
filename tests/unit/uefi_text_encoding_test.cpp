// Text conversions of the UEFI backend: console line ends, text-file line ends, file names and
// wide strings from the shell.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uefi/text_encoding.h"

namespace platform::uefi {
namespace {

std::u16string Console(ConsoleEncoder* encoder, const std::string& text, size_t capacity = 64) {
  std::u16string result;
  std::vector<uint16_t> units(capacity);
  size_t done = 0;
  while (done < text.size()) {
    size_t produced = 0;
    size_t consumed = EncodeConsoleText(encoder, text.data() + done, text.size() - done,
                                        units.data(), units.size(), &produced);
    EXPECT_GT(consumed, 0u) << "no progress with capacity " << capacity;
    if (consumed == 0) {
      break;
    }
    result.append(units.begin(), units.begin() + static_cast<long>(produced));
    done += consumed;
  }
  return result;
}

struct ConsoleCase {
  const char* input;
  const char16_t* expected;
};

TEST(UefiConsoleEncodingTest, LineEndsBecomeCrLfOnce) {
  const ConsoleCase cases[] = {
      {"", u""},
      {"plain", u"plain"},
      {"a\nb\n", u"a\r\nb\r\n"},
      {"\n\n", u"\r\n\r\n"},
      {"already\r\n", u"already\r\n"},
      {"\r\rx\n", u"\r\rx\r\n"},
      {"progress\r50%\n", u"progress\r50%\r\n"},
      {"caf\xe9", u"caf\u00e9"},
  };
  for (const ConsoleCase& c : cases) {
    ConsoleEncoder encoder;
    EXPECT_EQ(Console(&encoder, c.input), std::u16string(c.expected)) << c.input;
  }
}

TEST(UefiConsoleEncodingTest, CarriageReturnAtTheEndOfOneWriteCountsForTheNext) {
  ConsoleEncoder encoder;
  EXPECT_EQ(Console(&encoder, "line\r"), u"line\r");
  EXPECT_EQ(Console(&encoder, "\nnext\n"), u"\nnext\r\n");
}

TEST(UefiConsoleEncodingTest, SmallBuffersNeverSplitALineEnd) {
  for (size_t capacity = 2; capacity <= 5; ++capacity) {
    ConsoleEncoder encoder;
    EXPECT_EQ(Console(&encoder, "ab\n\ncd\nx", capacity), u"ab\r\n\r\ncd\r\nx") << capacity;
  }
}

TEST(UefiConsoleEncodingTest, NoRoomForTheLineEndConsumesNothing) {
  ConsoleEncoder encoder;
  uint16_t units[1];
  size_t produced = 7;
  EXPECT_EQ(EncodeConsoleText(&encoder, "\n", 1, units, 1, &produced), 0u);
  EXPECT_EQ(produced, 0u);
}

std::string TextFile(const std::string& text, size_t capacity) {
  std::string result;
  std::vector<char> bytes(capacity);
  size_t done = 0;
  while (done < text.size()) {
    size_t produced = 0;
    size_t consumed = EncodeTextFileBytes(text.data() + done, text.size() - done, bytes.data(),
                                          bytes.size(), &produced);
    if (consumed == 0) {
      ADD_FAILURE() << "no progress with capacity " << capacity;
      break;
    }
    result.append(bytes.data(), produced);
    done += consumed;
  }
  return result;
}

TEST(UefiTextFileEncodingTest, EveryLineFeedGetsACarriageReturn) {
  for (size_t capacity : {2u, 3u, 512u}) {
    EXPECT_EQ(TextFile("a\nbc\n\n", capacity), "a\r\nbc\r\n\r\n") << capacity;
    EXPECT_EQ(TextFile("no line end", capacity), "no line end") << capacity;
    // Like the C runtime's text mode: the program's own CR stays, the LF still gets one.
    EXPECT_EQ(TextFile("x\r\n", capacity), "x\r\r\n") << capacity;
  }
}

TEST(UefiFileNameTest, SlashesBecomeBackslashes) {
  uint16_t out[32];
  ASSERT_TRUE(EncodeFileName("dir/sub/file.bin", out, 32));
  EXPECT_EQ(std::u16string(out, out + WideTextLength(out)), u"dir\\sub\\file.bin");
  ASSERT_TRUE(EncodeFileName("fs0:\\a.txt", out, 32));
  EXPECT_EQ(std::u16string(out, out + WideTextLength(out)), u"fs0:\\a.txt");
}

TEST(UefiFileNameTest, NameMustFitWithItsTerminator) {
  uint16_t out[4];
  EXPECT_TRUE(EncodeFileName("abc", out, 4));
  EXPECT_EQ(out[3], 0);
  EXPECT_FALSE(EncodeFileName("abcd", out, 4));
  EXPECT_FALSE(EncodeFileName("", out, 0));
  EXPECT_TRUE(EncodeFileName("", out, 1));
  EXPECT_EQ(out[0], 0);
}

TEST(UefiWideTextTest, DecodesAsciiAndReplacesTheRest) {
  const uint16_t text[] = {u'F', u'S', u'0', u':', 0x00E9, u'x', 0x4E2D, 0};
  char out[16];
  EXPECT_TRUE(DecodeWideText(text, out, sizeof out));
  EXPECT_STREQ(out, "FS0:?x?");
  EXPECT_EQ(WideTextLength(text), 7u);
}

TEST(UefiWideTextTest, CutsToTheBufferAndSaysSo) {
  const uint16_t text[] = {u'a', u'b', u'c', 0};
  char out[3];
  EXPECT_FALSE(DecodeWideText(text, out, sizeof out));
  EXPECT_STREQ(out, "ab");
  char exact[4];
  EXPECT_TRUE(DecodeWideText(text, exact, sizeof exact));
  EXPECT_STREQ(exact, "abc");
}

}  // namespace
}  // namespace platform::uefi
