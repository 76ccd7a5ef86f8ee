#include "platform/uefi/load_options.h"

namespace platform::uefi {
namespace {

constexpr uint16_t kByteOrderMark = 0xFEFF;

bool IsBlank(uint16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

bool IsTextUnit(uint16_t unit) {
  return (unit >= 0x20 && unit < 0x7F) || IsBlank(unit);
}

// Units before the first NUL, without a leading byte-order mark.
size_t TextStart(const uint16_t* units, size_t count) {
  return count > 0 && units[0] == kByteOrderMark ? 1 : 0;
}

size_t TextEnd(const uint16_t* units, size_t count) {
  size_t end = 0;
  while (end < count && units[end] != 0) {
    ++end;
  }
  return end;
}

}  // namespace

bool IsLoadOptionText(const uint16_t* units, size_t count) {
  size_t end = TextEnd(units, count);
  for (size_t i = TextStart(units, count); i < end; ++i) {
    if (!IsTextUnit(units[i])) {
      return false;
    }
  }
  return true;
}

int SplitLoadOptions(const uint16_t* units, size_t count, char* out, size_t capacity) {
  if (!IsLoadOptionText(units, count)) {
    return 0;
  }
  size_t end = TextEnd(units, count);
  size_t used = 0;
  int words = 0;
  size_t i = TextStart(units, count);
  for (;;) {
    while (i < end && IsBlank(units[i])) {
      ++i;
    }
    if (i == end) {
      return words;
    }
    bool quoted = false;
    for (; i < end && (quoted || !IsBlank(units[i])); ++i) {
      if (units[i] == u'"') {
        quoted = !quoted;
        continue;
      }
      if (units[i] == u'^' && i + 1 < end) {
        ++i;
      }
      if (used + 1 >= capacity) {
        return -1;
      }
      out[used++] = static_cast<char>(units[i]);
    }
    if (used >= capacity) {
      return -1;
    }
    out[used++] = '\0';
    ++words;
  }
}

bool IsProgramName(const char* word) {
  constexpr char kSuffix[] = ".efi";
  constexpr size_t kSuffixLength = sizeof kSuffix - 1;
  size_t length = 0;
  while (word[length] != '\0') {
    ++length;
  }
  if (length < kSuffixLength) {
    return false;
  }
  const char* tail = word + length - kSuffixLength;
  for (size_t i = 0; i < kSuffixLength; ++i) {
    char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] + 32) : tail[i];
    if (c != kSuffix[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace platform::uefi
