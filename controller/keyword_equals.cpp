// Keyword comparison shared by the command line, the menus and the handlers that take a
// setting by name: keywords match without regard to case.
#include "controller/keyword_equals.h"

namespace drux {
namespace {

constexpr char ToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

}  // namespace

int KeywordEquals(const char* text, const char* keyword) {
  while (*text != '\0' && *keyword != '\0' && ToLower(*text) == ToLower(*keyword)) {
    ++text;
    ++keyword;
  }
  return static_cast<unsigned char>(ToLower(*text)) - static_cast<unsigned char>(ToLower(*keyword));
}

}  // namespace drux
