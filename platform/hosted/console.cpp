// Hosted console: the process's standard streams.
#include <cstdio>

#include "platform/platform.h"

namespace platform {

void Write(Stream stream, const char* data, size_t length) {
  if (stream == Stream::Err) {
    // Keep the printed order when both streams end in one file or terminal.
    std::fflush(stdout);
    std::fwrite(data, 1, length, stderr);
    std::fflush(stderr);
    return;
  }
  std::fwrite(data, 1, length, stdout);
}

void Flush(Stream stream) {
  std::fflush(stream == Stream::Err ? stderr : stdout);
}

int ReadChar() {
  int c = std::getchar();
  return c == EOF ? kEndOfInput : c;
}

}  // namespace platform
