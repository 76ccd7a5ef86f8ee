// What the file-check targets share: the input as a file in a scratch folder of the process, and
// both standard streams of one call caught in memory, so that a model can say which message the
// code under test owed.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_check.h"

namespace drux::fuzz {

struct Printed {
  int result;
  std::string out;
  std::string err;
};

// One memory file per stream, reused by every call: no file system traffic per input.
class StreamCatch {
 public:
  explicit StreamCatch(int fd) : fd_(fd), memory_(memfd_create("fuzz_stream", 0)) {
    FUZZ_CHECK(memory_ >= 0);
  }
  void Begin() {
    FUZZ_CHECK(ftruncate(memory_, 0) == 0 && lseek(memory_, 0, SEEK_SET) == 0);
    saved_ = dup(fd_);
    FUZZ_CHECK(saved_ >= 0 && dup2(memory_, fd_) == fd_);
  }
  std::string End() {
    FUZZ_CHECK(dup2(saved_, fd_) == fd_ && close(saved_) == 0);
    std::string text(size_t(lseek(memory_, 0, SEEK_END)), '\0');
    FUZZ_CHECK(pread(memory_, text.data(), text.size(), 0) == ssize_t(text.size()));
    return text;
  }

 private:
  int fd_;
  int memory_;
  int saved_ = -1;
};

template <typename Call>
Printed CatchPrinted(Call call) {
  static StreamCatch out(STDOUT_FILENO);
  static StreamCatch err(STDERR_FILENO);
  std::fflush(stdout);
  std::fflush(stderr);
  out.Begin();
  err.Begin();
  const int result = call();
  std::fflush(stdout);
  std::fflush(stderr);
  Printed printed{result, "", ""};
  printed.err = err.End();
  printed.out = out.End();
  return printed;
}

// A folder of this process under /tmp, made on first use and removed at exit (the targets
// remove their files after each input).
inline const char* ScratchFolder() {
  static char folder[] = "/tmp/drux_fuzz_XXXXXX";
  static const bool made = [] {
    FUZZ_CHECK(mkdtemp(folder) != nullptr);
    std::atexit([] { rmdir(folder); });
    return true;
  }();
  (void)made;
  return folder;
}

// The bytes as the file `name` of the scratch folder; returns its path.
inline std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = std::string(ScratchFolder()) + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);
  return path;
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

inline uint8_t Sum8(const uint8_t* bytes, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) {
    sum = uint8_t(sum + bytes[i]);
  }
  return sum;
}

}  // namespace drux::fuzz
