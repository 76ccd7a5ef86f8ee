// Our own printf-family formatter and C-library-style number conversions. Both backends use
// them, so the console text is the same on the host and in the UEFI shell. They behave like the
// host C library for every conversion the program's messages use; tests compare them.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace platform {

// Receives formatted text piece by piece.
struct FormatSink {
  void (*put)(FormatSink* self, const char* data, size_t length);
};

// Formats like vprintf into the sink; returns the number of characters produced.
// Supported: flags "-+ #0", width and precision (digits or '*'), length modifiers hh h l ll z t j,
// conversions d i u x X o c s p % and f F e E g G (double).
size_t FormatToSink(FormatSink* sink, const char* format, va_list args);

// snprintf semantics: writes at most capacity - 1 characters and a terminator (when capacity
// is not 0) and returns the length the whole text would have.
size_t FormatString(char* buffer, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
size_t FormatStringV(char* buffer, size_t capacity, const char* format, va_list args);

// strtol(text, end, 10): skips leading white space, optional sign, decimal digits; saturates at
// LONG_MIN/LONG_MAX on overflow (overflow is reported through *overflowed when not null).
// *end (when not null) points behind the last digit used, or to text when there were none.
long ParseDecimalLong(const char* text, const char** end, bool* overflowed);

// sscanf(text, "%d", value) == 1. Width 0 means no width limit; otherwise like "%<width>d".
bool ScanDecimalInt(const char* text, int* value, int width = 0);

// sscanf(text, "%lx", value) == 1.
bool ScanHexUnsignedLong(const char* text, unsigned long* value);

}  // namespace platform
