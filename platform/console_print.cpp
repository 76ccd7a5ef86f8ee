// Formatted console output on top of the backend's raw Write.
#include <cstdarg>

#include "platform/format.h"
#include "platform/platform.h"

namespace platform {
namespace {

// Collects formatted text and hands it to the console in pieces, so that no length limit
// applies to one print.
struct ConsoleSink {
  FormatSink base;
  Stream stream;
  char buffer[512];
  size_t used;
};

void FlushSink(ConsoleSink* sink) {
  if (sink->used > 0) {
    Write(sink->stream, sink->buffer, sink->used);
    sink->used = 0;
  }
}

void PutToConsole(FormatSink* self, const char* data, size_t length) {
  auto* sink = reinterpret_cast<ConsoleSink*>(self);
  while (length > 0) {
    if (sink->used == sizeof(sink->buffer)) {
      FlushSink(sink);
    }
    size_t room = sizeof(sink->buffer) - sink->used;
    size_t piece = length < room ? length : room;
    for (size_t i = 0; i < piece; ++i) {
      sink->buffer[sink->used + i] = data[i];
    }
    sink->used += piece;
    data += piece;
    length -= piece;
  }
}

}  // namespace

void PrintV(Stream stream, const char* format, va_list args) {
  ConsoleSink sink{{PutToConsole}, stream, {}, 0};
  FormatToSink(&sink.base, format, args);
  FlushSink(&sink);
}

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  PrintV(Stream::Out, format, args);
  va_end(args);
}

void PrintError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  PrintV(Stream::Err, format, args);
  va_end(args);
}

void PrintSystemError(const char* text) {
  PrintError("%s: %s\n", text, SystemErrorText());
}

}  // namespace platform
