#include "platform/fresh_name.h"

#include <cstring>

#include "platform/format.h"

namespace platform {

namespace {

bool IsSeparator(char c, const char* separators) {
  for (; *separators != '\0'; ++separators) {
    if (*separators == c) {
      return true;
    }
  }
  return false;
}

size_t LastComponentStart(const char* name, const char* separators) {
  size_t start = 0;
  for (size_t i = 0; name[i] != '\0'; ++i) {
    if (IsSeparator(name[i], separators)) {
      start = i + 1;
    }
  }
  return start;
}

// A cut inside a UTF-8 sequence would leave a broken character in the name.
size_t CutAtCharacter(const char* component, size_t length, size_t limit) {
  if (length <= limit) {
    return length;
  }
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(component[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return cut;
}

}  // namespace

bool FreshNameCandidate(const char* name, const char* separators, const char* suffix,
                        unsigned attempt, char* out, size_t capacity) {
  char tag[24];
  const size_t tagLength = attempt == 0 ? FormatString(tag, sizeof tag, "%s", suffix)
                                        : FormatString(tag, sizeof tag, ".%u%s", attempt, suffix);
  const size_t directory = LastComponentStart(name, separators);
  const size_t length = std::strlen(name + directory);
  if (tagLength >= sizeof tag || tagLength >= kMaxNameComponent || length == 0) {
    return false;
  }
  const size_t kept = CutAtCharacter(name + directory, length, kMaxNameComponent - tagLength);
  if (kept == 0 || directory + kept + tagLength + 1 > capacity) {
    return false;
  }
  std::memcpy(out, name, directory + kept);
  std::memcpy(out + directory + kept, tag, tagLength + 1);
  return true;
}

}  // namespace platform
