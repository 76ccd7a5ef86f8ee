// Keyword comparison shared by the command line, the menus and the handlers that take a
// setting by name: keywords match without regard to case.
#pragma once

namespace drux {

// Case-insensitive whole-string comparison; 0 when equal (strcmp-style result).
int KeywordEquals(const char* text, const char* keyword);

}  // namespace drux
