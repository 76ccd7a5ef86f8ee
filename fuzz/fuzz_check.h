// What the fuzz targets share: the libFuzzer entry point and a check that stops the run with a
// message, so that a wrong result counts as a crash and its input is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace drux::fuzz {

// Present when a sanitizer runtime is linked; its reports survive libFuzzer's -close_fd_mask.
extern "C" void __sanitizer_report_error_summary(const char* summary) __attribute__((weak));

[[noreturn]] inline void FailCheck(const char* what, const char* file, int line) {
  char text[512];
  std::snprintf(text, sizeof text, "fuzz check failed at %s:%d: %s", file, line, what);
  std::fprintf(stderr, "%s\n", text);
  if (__sanitizer_report_error_summary != nullptr) {
    __sanitizer_report_error_summary(text);
  }
  std::abort();
}

}  // namespace drux::fuzz

// A property of the code under test that every input must keep.
#define FUZZ_CHECK(condition)                                  \
  do {                                                         \
    if (!(condition)) {                                        \
      ::drux::fuzz::FailCheck(#condition, __FILE__, __LINE__); \
    }                                                          \
  } while (false)
