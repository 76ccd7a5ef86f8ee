#include "platform/uefi/text_encoding.h"

namespace platform::uefi {

size_t EncodeConsoleText(ConsoleEncoder* encoder, const char* data, size_t length, uint16_t* out,
                         size_t capacity, size_t* produced) {
  size_t used = 0;
  size_t consumed = 0;
  while (consumed < length) {
    auto byte = static_cast<unsigned char>(data[consumed]);
    bool addReturn = byte == '\n' && !encoder->lastWasCarriageReturn;
    size_t needed = addReturn ? 2 : 1;
    if (used + needed > capacity) {
      break;
    }
    if (addReturn) {
      out[used++] = u'\r';
    }
    out[used++] = byte;
    encoder->lastWasCarriageReturn = byte == '\r';
    ++consumed;
  }
  *produced = used;
  return consumed;
}

size_t EncodeTextFileBytes(const char* data, size_t length, char* out, size_t capacity,
                           size_t* produced) {
  size_t used = 0;
  size_t consumed = 0;
  while (consumed < length) {
    char byte = data[consumed];
    size_t needed = byte == '\n' ? 2 : 1;
    if (used + needed > capacity) {
      break;
    }
    if (byte == '\n') {
      out[used++] = '\r';
    }
    out[used++] = byte;
    ++consumed;
  }
  *produced = used;
  return consumed;
}

bool EncodeFileName(const char* name, uint16_t* out, size_t capacity) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i + 1 >= capacity) {
      return false;
    }
    auto byte = static_cast<unsigned char>(name[i]);
    out[i] = byte == '/' ? u'\\' : byte;
  }
  if (capacity == 0) {
    return false;
  }
  out[i] = 0;
  return true;
}

bool DecodeWideText(const uint16_t* text, char* out, size_t capacity) {
  if (capacity == 0) {
    return false;
  }
  size_t i = 0;
  for (; text[i] != 0; ++i) {
    if (i + 1 >= capacity) {
      out[i] = '\0';
      return false;
    }
    out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  }
  out[i] = '\0';
  return true;
}

size_t WideTextLength(const uint16_t* text) {
  size_t length = 0;
  while (text[length] != 0) {
    ++length;
  }
  return length;
}

}  // namespace platform::uefi
