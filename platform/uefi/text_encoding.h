// Conversions between the program's narrow text and what the firmware takes: UCS-2 console
// text, text files with CRLF line ends, and UCS-2 file names and shell strings. Free of
// firmware headers, so the host tests run them too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::uefi {

// Console text: each "\n" goes out as "\r\n", unless the program wrote the "\r" itself (also
// across calls). Bytes above 0x7F are taken as Latin-1.
struct ConsoleEncoder {
  bool lastWasCarriageReturn = false;
};

// Converts the front of data into at most capacity UCS-2 units in out. Returns the number of
// bytes consumed; *produced receives the number of units written. A line end is never split.
size_t EncodeConsoleText(ConsoleEncoder* encoder, const char* data, size_t length, uint16_t* out,
                         size_t capacity, size_t* produced);

// Text file bytes: every "\n" becomes "\r\n", as the C runtime's text mode does. Same contract
// as EncodeConsoleText.
size_t EncodeTextFileBytes(const char* data, size_t length, char* out, size_t capacity,
                           size_t* produced);

// A file name for the shell: NUL-terminated UCS-2 with '/' turned into '\'. False when it does
// not fit into capacity units with the terminator.
bool EncodeFileName(const char* name, uint16_t* out, size_t capacity);

// NUL-terminated UCS-2 to narrow text; characters outside ASCII become '?'. False when the
// text was cut to fit capacity bytes with the terminator.
bool DecodeWideText(const uint16_t* text, char* out, size_t capacity);

// Length in units of a NUL-terminated UCS-2 text.
size_t WideTextLength(const uint16_t* text);

}  // namespace platform::uefi
