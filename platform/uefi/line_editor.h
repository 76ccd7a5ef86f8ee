// The console's line discipline: keys are collected into a line with echo and backspace, and
// the program reads the finished line character by character, as from a terminal. Enter may
// arrive as CR, LF or CR LF. Free of firmware headers, so the host tests run it too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::uefi {

// Room for one line including its "\n"; keys beyond it are dropped.
inline constexpr size_t kLineCapacity = 256;

struct LineEditor {
  char line[kLineCapacity] = {};
  size_t length = 0;     // characters collected, the final "\n" included
  size_t delivered = 0;  // characters of a finished line already handed out
  bool finished = false;
  bool lastWasCarriageReturn = false;
};

// What to show on the console for one key (at most three characters).
struct Echo {
  char text[4] = {};
  size_t length = 0;
};

// Takes one key (UCS-2; 0 for keys without a character). Ignored while a finished line is
// still being read.
void FeedKey(LineEditor* editor, uint16_t key, Echo* echo);

// The input has ended: a partial line is handed out as it is, without a line end.
void EndLine(LineEditor* editor);

// True while a finished line has characters left.
bool HasLine(const LineEditor& editor);

// The next character of the finished line; -1 when there is none. After the last character
// the editor starts a new line.
int TakeChar(LineEditor* editor);

}  // namespace platform::uefi
