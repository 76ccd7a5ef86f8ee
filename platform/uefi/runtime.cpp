// The few C and C++ runtime symbols that compiled code refers to without a C library: the
// memory and string functions (written with string instructions, so that the compiler cannot
// turn them into calls to themselves) and the failure hooks of header-only library parts.
#include <bits/functexcept.h>

#include <cstddef>

#include "platform/uefi/uefi_backend.h"

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
  void* d = destination;
  asm volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(count) : : "memory");
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  auto* d = static_cast<unsigned char*>(destination);
  const auto* s = static_cast<const unsigned char*>(source);
  if (d <= s || d >= s + count) {
    asm volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(count) : : "memory");
  } else if (count > 0) {
    // Overlap with the target behind the source: copy from the end backwards.
    d += count - 1;
    s += count - 1;
    asm volatile("std\n\trep movsb\n\tcld" : "+D"(d), "+S"(s), "+c"(count) : : "memory");
  }
  return destination;
}

void* memset(void* destination, int value, size_t count) {
  void* d = destination;
  asm volatile("rep stosb" : "+D"(d), "+c"(count) : "a"(value) : "memory");
  return destination;
}

int memcmp(const void* first, const void* second, size_t count) {
  const auto* a = static_cast<const volatile unsigned char*>(first);
  const auto* b = static_cast<const volatile unsigned char*>(second);
  for (size_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) {
      return a[i] < b[i] ? -1 : 1;
    }
  }
  return 0;
}

size_t strlen(const char* text) {
  const volatile char* p = text;
  size_t length = 0;
  while (p[length] != '\0') {
    ++length;
  }
  return length;
}

void __cxa_pure_virtual() {
  platform::uefi::Fatal("pure virtual function called");
}

}  // extern "C"

// Header-only library parts report misuse through these; without exceptions the program ends.
namespace std {

void __throw_out_of_range_fmt(const char* format, ...) {
  platform::uefi::Fatal(format);
}
void __throw_out_of_range(const char* what) {
  platform::uefi::Fatal(what);
}
void __throw_length_error(const char* what) {
  platform::uefi::Fatal(what);
}
void __throw_logic_error(const char* what) {
  platform::uefi::Fatal(what);
}
void __throw_invalid_argument(const char* what) {
  platform::uefi::Fatal(what);
}
void __throw_bad_alloc() {
  platform::uefi::Fatal("out of memory");
}
void __throw_bad_array_new_length() {
  platform::uefi::Fatal("bad array length");
}

}  // namespace std
