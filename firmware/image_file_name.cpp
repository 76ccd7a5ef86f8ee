// Default names of image files, and whether a name marks a file with XML header.
#include <cstring>

#include "firmware/image_header.h"
#include "platform/format.h"

namespace drux {
namespace {

// One buffer for every default name: each call overwrites the last name.
char nameBuffer[32];

char LowerCase(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

bool IsXmlHeaderFileName(const char* fileName, const char* usage) {
  const size_t length = std::strlen(fileName);
  return length >= 2 && LowerCase(fileName[length - 2]) == LowerCase(usage[0]) &&
         LowerCase(fileName[length - 1]) == LowerCase(usage[1]);
}

const char* ImageFileName(uint32_t deviceId, char function, const char* extension) {
  // The fixed names of panel-side and converter images carry four digits ("0039#0.fp").
  const unsigned long id = deviceId;
  if (function == kImageFunctionFixed) {
    platform::FormatString(nameBuffer, sizeof nameBuffer, "%04lu%c%u.%s", id, function, 0u,
                           extension);
  } else {
    platform::FormatString(nameBuffer, sizeof nameBuffer, "%05lu%c%u.%s", id, function, 0u,
                           extension);
  }
  return nameBuffer;
}

const char* BootloaderFileName(uint32_t fileId) {
  platform::FormatString(nameBuffer, sizeof nameBuffer, "%04xbldr.bin", unsigned(fileId & 0xFFFF));
  return nameBuffer;
}

}  // namespace drux
