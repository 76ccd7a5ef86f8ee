// The forms of configuration values that every kind of setting shares: yes/no words, bounded
// numbers, printable text fields, comparison without regard to case.
#include <cstring>

#include "sim/core/config_text.h"

namespace sim::internal {

char UpperCase(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (UpperCase(*a) != UpperCase(*b)) {
      return false;
    }
  }
  return *a == *b;
}

bool ParseBool(const char* text, bool* value) {
  static constexpr const char* kYes[] = {"1", "yes", "true", "on"};
  static constexpr const char* kNo[] = {"0", "no", "false", "off"};
  for (const char* word : kYes) {
    if (EqualsIgnoringCase(text, word)) {
      *value = true;
      return true;
    }
  }
  for (const char* word : kNo) {
    if (EqualsIgnoringCase(text, word)) {
      *value = false;
      return true;
    }
  }
  return false;
}

bool ParseLimited(const char* text, uint32_t maximum, uint32_t* value) {
  return ParseNumber(text, value) && *value <= maximum;
}

// Printable text that fits a field of `capacity` bytes including its terminator.
bool CopyField(char* field, size_t capacity, const char* text) {
  size_t length = std::strlen(text);
  if (length >= capacity) {
    return false;
  }
  for (size_t i = 0; i < length; ++i) {
    if (uint8_t(text[i]) < 0x20 || text[i] == 0x7F) {
      return false;
    }
  }
  internal::CopyText(field, capacity, text);
  return true;
}

}  // namespace sim::internal
