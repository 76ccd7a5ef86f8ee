#include "platform/uefi/volume_path.h"

namespace platform::uefi {
namespace {

// Appends text at *used; false when it does not fit with a terminator.
bool Append(const uint16_t* text, uint16_t* out, size_t capacity, size_t* used) {
  for (; *text != 0; ++text) {
    if (*used + 1 >= capacity) {
      return false;
    }
    out[(*used)++] = *text;
  }
  out[*used] = 0;
  return true;
}

bool HasMapping(const uint16_t* name) {
  for (; *name != 0; ++name) {
    if (*name == u':') {
      return true;
    }
  }
  return false;
}

}  // namespace

bool ImageFolder(const uint16_t* imagePath, uint16_t* out, size_t capacity) {
  size_t length = 0;  // up to the last separator
  for (size_t i = 0; imagePath[i] != 0; ++i) {
    if (imagePath[i] == u'\\') {
      length = i;
    }
  }
  size_t used = 0;
  // The folder always starts at the root, also when the path lacks its leading separator.
  if (length == 0 || imagePath[0] != u'\\') {
    if (capacity < 2) {
      return false;
    }
    out[used++] = u'\\';
  }
  for (size_t i = 0; i < length; ++i) {
    if (used + 1 >= capacity) {
      return false;
    }
    out[used++] = imagePath[i];
  }
  out[used] = 0;
  return true;
}

bool VolumePath(const uint16_t* folder, const uint16_t* name, uint16_t* out, size_t capacity) {
  if (HasMapping(name) || capacity == 0) {
    return false;
  }
  size_t used = 0;
  out[0] = 0;
  if (name[0] == u'\\') {
    return Append(name, out, capacity, &used);
  }
  static constexpr uint16_t kSeparator[] = {u'\\', 0};
  bool inRoot = folder[0] == u'\\' && folder[1] == 0;
  return Append(folder, out, capacity, &used) &&
         (inRoot || Append(kSeparator, out, capacity, &used)) && Append(name, out, capacity, &used);
}

}  // namespace platform::uefi
