// PLACEHOLDER until our own formatter lands: delegates to the C library.
#include "platform/format.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

size_t FormatToSink(FormatSink* sink, const char* format, va_list args) {
  char buffer[4096];
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  size_t length = n < 0 ? 0 : (size_t(n) < sizeof buffer ? size_t(n) : sizeof buffer - 1);
  sink->put(sink, buffer, length);
  return length;
}

size_t FormatStringV(char* buffer, size_t capacity, const char* format, va_list args) {
  int n = std::vsnprintf(buffer, capacity, format, args);
  return n < 0 ? 0 : size_t(n);
}

size_t FormatString(char* buffer, size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  size_t n = FormatStringV(buffer, capacity, format, args);
  va_end(args);
  return n;
}

long ParseDecimalLong(const char* text, const char** end, bool* overflowed) {
  char* stop = nullptr;
  long value = std::strtol(text, &stop, 10);
  if (end) *end = stop;
  if (overflowed) *overflowed = false;
  return value;
}

bool ScanDecimalInt(const char* text, int* value, int width) {
  (void)width;
  return std::sscanf(text, "%d", value) == 1;
}

bool ScanHexUnsignedLong(const char* text, unsigned long* value) {
  return std::sscanf(text, "%lx", value) == 1;
}

}  // namespace platform
