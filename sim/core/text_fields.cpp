// Small text helpers of the model: numbers, versions, comparisons (no C library here).
#include <cstdarg>
#include <cstring>

#include "platform/format.h"
#include "sim/core/machine.h"

namespace sim::internal {

namespace {

int DigitValue(char c, uint32_t base) {
  int value = -1;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value >= 0 && uint32_t(value) < base ? value : -1;
}

}  // namespace

bool ParseNumber(const char* text, uint32_t* value) {
  if (text == nullptr || *text == 0) {
    return false;
  }
  uint32_t base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  if (*text == 0) {
    return false;
  }
  uint64_t result = 0;
  for (; *text != 0; ++text) {
    int digit = DigitValue(*text, base);
    if (digit < 0) {
      return false;
    }
    result = result * base + uint64_t(digit);
    if (result > 0xFFFFFFFFull) {
      return false;
    }
  }
  *value = uint32_t(result);
  return true;
}

bool ParseVersion(const char* text, uint32_t* major, uint32_t* minor) {
  char majorText[12] = {};
  size_t i = 0;
  for (; text[i] != 0 && text[i] != '.'; ++i) {
    if (i + 1 >= sizeof majorText) {
      return false;
    }
    majorText[i] = text[i];
  }
  if (text[i] != '.') {
    return false;
  }
  for (const char* p = majorText; *p != 0; ++p) {
    if (*p < '0' || *p > '9') {
      return false;
    }
  }
  const char* minorText = text + i + 1;
  for (const char* p = minorText; *p != 0; ++p) {
    if (*p < '0' || *p > '9') {
      return false;
    }
  }
  return ParseNumber(majorText, major) && ParseNumber(minorText, minor);
}

bool ParseNumberList(const char* text, uint32_t* values, int count) {
  char number[16];
  for (int i = 0; i < count; ++i) {
    size_t length = 0;
    while (text[length] != 0 && text[length] != ',') {
      ++length;
    }
    bool last = i + 1 == count;
    if (length >= sizeof number || (text[length] == ',') == last) {
      return false;
    }
    std::memcpy(number, text, length);
    number[length] = 0;
    if (!ParseNumber(number, &values[i])) {
      return false;
    }
    text += length + (last ? 0 : 1);
  }
  return true;
}

bool TextEquals(const char* a, const char* b) {
  size_t length = std::strlen(a);
  return length == std::strlen(b) && std::memcmp(a, b, length) == 0;
}

bool StartsWith(const char* text, const char* prefix) {
  size_t length = std::strlen(prefix);
  return std::strlen(text) >= length && std::memcmp(text, prefix, length) == 0;
}

void CopyText(char* destination, size_t capacity, const char* source) {
  if (capacity == 0) {
    return;
  }
  size_t length = std::strlen(source);
  if (length >= capacity) {
    length = capacity - 1;
  }
  std::memcpy(destination, source, length);
  std::memset(destination + length, 0, capacity - length);
}

void AppendText(TextBuilder& text, const char* format, ...) {
  if (text.overflow) {
    return;
  }
  va_list args;
  va_start(args, format);
  size_t room = text.capacity - text.length;
  size_t needed = platform::FormatStringV(text.data + text.length, room, format, args);
  va_end(args);
  if (needed >= room) {
    text.overflow = true;
    text.data[text.length] = 0;
    return;
  }
  text.length += needed;
}

}  // namespace sim::internal
