#include "platform/uefi/line_editor.h"

namespace platform::uefi {
namespace {

constexpr uint16_t kBackspace = 0x08;
constexpr uint16_t kDelete = 0x7F;  // what a serial terminal sends for the backspace key
constexpr uint16_t kTab = 0x09;
constexpr uint16_t kLineFeed = 0x0A;
constexpr uint16_t kCarriageReturn = 0x0D;

void Show(Echo* echo, const char* text) {
  echo->length = 0;
  while (text[echo->length] != '\0') {
    echo->text[echo->length] = text[echo->length];
    ++echo->length;
  }
  echo->text[echo->length] = '\0';
}

void FinishLine(LineEditor* editor, Echo* echo) {
  editor->line[editor->length++] = '\n';
  editor->finished = true;
  Show(echo, "\n");
}

bool Printable(uint16_t key) {
  return key == kTab || (key >= 0x20 && key < 0x7F);
}

}  // namespace

void FeedKey(LineEditor* editor, uint16_t key, Echo* echo) {
  Show(echo, "");
  if (editor->finished) {
    return;
  }
  bool afterReturn = editor->lastWasCarriageReturn;
  editor->lastWasCarriageReturn = key == kCarriageReturn;
  if (key == kCarriageReturn || (key == kLineFeed && !afterReturn)) {
    FinishLine(editor, echo);
  } else if (key == kBackspace || key == kDelete) {
    if (editor->length > 0) {
      --editor->length;
      Show(echo, "\b \b");
    }
  } else if (Printable(key) && editor->length + 1 < kLineCapacity) {
    editor->line[editor->length++] = static_cast<char>(key);
    echo->text[0] = static_cast<char>(key);
    echo->text[1] = '\0';
    echo->length = 1;
  }
}

void EndLine(LineEditor* editor) {
  if (!editor->finished && editor->length > 0) {
    editor->finished = true;
  }
}

bool HasLine(const LineEditor& editor) {
  return editor.finished && editor.delivered < editor.length;
}

int TakeChar(LineEditor* editor) {
  if (!HasLine(*editor)) {
    return -1;
  }
  auto c = static_cast<unsigned char>(editor->line[editor->delivered++]);
  if (editor->delivered == editor->length) {
    editor->length = 0;
    editor->delivered = 0;
    editor->finished = false;
  }
  return c;
}

}  // namespace platform::uefi
