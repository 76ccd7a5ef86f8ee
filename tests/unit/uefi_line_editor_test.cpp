// The UEFI console's line discipline: what the program reads and what the console shows for a
// sequence of keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/uefi/line_editor.h"

namespace platform::uefi {
namespace {

struct Typed {
  std::vector<std::string> lines;  // each finished line as the program reads it
  std::string echo;
};

// Feeds the keys one by one; whenever a line is finished, the program reads it out.
Typed Type(const std::u16string& keys, bool endOfInput = false) {
  LineEditor editor;
  Typed typed;
  auto readLine = [&] {
    std::string line;
    for (int c; (c = TakeChar(&editor)) != -1;) {
      line += static_cast<char>(c);
    }
    typed.lines.push_back(line);
  };
  for (char16_t key : keys) {
    Echo echo;
    FeedKey(&editor, key, &echo);
    typed.echo.append(echo.text, echo.length);
    if (HasLine(editor)) {
      readLine();
    }
  }
  if (endOfInput) {
    EndLine(&editor);
    if (HasLine(editor)) {
      readLine();
    }
  }
  return typed;
}

struct KeyCase {
  const char* name;
  std::u16string keys;
  std::vector<std::string> lines;
  std::string echo;
};

TEST(UefiLineEditorTest, KeySequences) {
  const KeyCase cases[] = {
      {"enter as CR", u"yes\r", {"yes\n"}, "yes\n"},
      {"enter as LF", u"yes\n", {"yes\n"}, "yes\n"},
      {"CR LF is one line end", u"a\r\nb\r\n", {"a\n", "b\n"}, "a\nb\n"},
      {"LF CR are two", u"a\n\r", {"a\n", "\n"}, "a\n\n"},
      {"empty lines", u"\r\r", {"\n", "\n"}, "\n\n"},
      {"backspace removes", u"ab\bc\r", {"ac\n"}, "ab\b \bc\n"},
      {"delete key as backspace",
       u"ab\x7f\x7f"
       u"c\r",
       {"c\n"},
       "ab\b \b\b \bc\n"},
      {"backspace at the start shows nothing", u"\bq\r", {"q\n"}, "q\n"},
      {"keys without a character are ignored", std::u16string(u"a\0b\x1b\r", 5), {"ab\n"}, "ab\n"},
      {"tab is kept", u"a\tb\r", {"a\tb\n"}, "a\tb\n"},
      {"non-ASCII is dropped", u"x\u00e9y\r", {"xy\n"}, "xy\n"},
      {"nothing before Enter gives nothing", u"abc", {}, "abc"},
  };
  for (const KeyCase& c : cases) {
    Typed typed = Type(c.keys);
    EXPECT_EQ(typed.lines, c.lines) << c.name;
    EXPECT_EQ(typed.echo, c.echo) << c.name;
  }
}

TEST(UefiLineEditorTest, EndOfInputHandsOutAPartialLineWithoutLineEnd) {
  EXPECT_EQ(Type(u"one\rtwo", true).lines, (std::vector<std::string>{"one\n", "two"}));
  EXPECT_TRUE(Type(u"", true).lines.empty());
  EXPECT_EQ(Type(u"one\r", true).lines, (std::vector<std::string>{"one\n"}));
}

TEST(UefiLineEditorTest, LongLinesKeepTheirEndAndDropTheExcess) {
  std::u16string keys(kLineCapacity + 20, u'x');
  keys += u'\r';
  Typed typed = Type(keys);
  ASSERT_EQ(typed.lines.size(), 1u);
  EXPECT_EQ(typed.lines[0], std::string(kLineCapacity - 1, 'x') + "\n");
  EXPECT_EQ(typed.echo, std::string(kLineCapacity - 1, 'x') + "\n");
}

TEST(UefiLineEditorTest, KeysWaitWhileAFinishedLineIsBeingRead) {
  LineEditor editor;
  Echo echo;
  FeedKey(&editor, u'a', &echo);
  FeedKey(&editor, u'\r', &echo);
  EXPECT_EQ(TakeChar(&editor), 'a');
  FeedKey(&editor, u'z', &echo);  // ignored: the line is not read out yet
  EXPECT_EQ(echo.length, 0u);
  EXPECT_EQ(TakeChar(&editor), '\n');
  EXPECT_EQ(TakeChar(&editor), -1);
  FeedKey(&editor, u'b', &echo);
  FeedKey(&editor, u'\n', &echo);
  EXPECT_EQ(TakeChar(&editor), 'b');
}

}  // namespace
}  // namespace platform::uefi
