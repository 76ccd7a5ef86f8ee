// Attributes of the XML firmware header: found by a plain case-insensitive search, values in
// double quotes. Every scan stops at the end of the header text.
#include "transfer/xml_header.h"

#include <cstring>

namespace drux {

namespace {

constexpr uint32_t kSaturatedValue = 0xFFFFFFFF;

char LowerCase(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool MatchesAt(const char* header, int position, const char* name, int nameLength) {
  for (int i = 0; i < nameLength; ++i) {
    if (LowerCase(header[position + i]) != LowerCase(name[i])) {
      return false;
    }
  }
  return true;
}

int DigitValue(char c, uint32_t base) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (base == 16 && c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (base == 16 && c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Position of the first value character behind name=", or -1.
int ValueStart(const char* header, int length, const char* name) {
  const int position = FindXmlAttribute(header, length, name);
  if (position < 0 || position + 2 > length || header[position] != '=' ||
      header[position + 1] != '"') {
    return -1;
  }
  return position + 2;
}

}  // namespace

int FindXmlAttribute(const char* header, int length, const char* name) {
  const int nameLength = int(std::strlen(name));
  for (int position = 0; position + nameLength <= length; ++position) {
    if (MatchesAt(header, position, name, nameLength)) {
      return position + nameLength;
    }
  }
  return -1;
}

// Digits accumulate in 64 bits and stop at 0xFFFFFFFF, so an oversized value stays oversized
// for the range checks instead of wrapping into range. A value without digits is missing.
int ReadNumericXmlAttribute(const char* header, int length, const char* name, uint32_t* value) {
  int position = ValueStart(header, length, name);
  if (position < 0) {
    return -1;
  }
  const int nameEnd = position - 2;
  uint32_t base = 10;
  if (position + 1 < length && header[position] == '0' && header[position + 1] == 'x') {
    base = 16;
    position += 2;
  }
  uint64_t number = 0;
  int digits = 0;
  for (; position < length; ++position, ++digits) {
    const int digit = DigitValue(header[position], base);
    if (digit < 0) {
      break;
    }
    number = number * base + uint64_t(digit);
    if (number > kSaturatedValue) {
      number = kSaturatedValue;
    }
  }
  if (digits == 0 || position >= length || header[position] != '"') {
    return -1;
  }
  *value = uint32_t(number);
  return nameEnd;
}

int ReadTextXmlAttribute(const char* header, int length, const char* name, char* text,
                         int maxLength) {
  const int start = ValueStart(header, length, name);
  if (start < 0) {
    return -1;
  }
  int count = 0;
  while (count < maxLength && start + count < length && header[start + count] != '"') {
    ++count;
  }
  if (count == 0 || start + count >= length || header[start + count] != '"') {
    return -1;
  }
  std::memcpy(text, header + start, size_t(count));
  text[count] = 0;
  return start - 2;
}

}  // namespace drux
