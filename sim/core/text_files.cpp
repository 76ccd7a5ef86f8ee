// Paths in the state directory and the text files in it: read line by line through a fixed
// buffer, written whole through a temporary file.
#include <cstring>

#include "sim/core/machine.h"

namespace sim::internal {

bool BuildPath(char* buffer, size_t capacity, const char* directory, const char* name) {
  size_t directoryLength = std::strlen(directory);
  size_t nameLength = std::strlen(name);
  bool separator = directoryLength > 0 && directory[directoryLength - 1] != '/';
  size_t total = directoryLength + (separator ? 1 : 0) + nameLength;
  if (total + 1 > capacity) {
    return false;
  }
  std::memcpy(buffer, directory, directoryLength);
  if (separator) {
    buffer[directoryLength] = '/';
  }
  std::memcpy(buffer + total - nameLength, name, nameLength);
  buffer[total] = 0;
  return true;
}

bool MachinePath(const Machine& machine, const char* name, char* buffer, size_t capacity) {
  return !machine.inMemory && machine.directory[0] != 0 &&
         BuildPath(buffer, capacity, machine.directory, name);
}

bool OpenLines(LineReader& reader, const char* path) {
  reader.file = platform::OpenFile(path, platform::FileMode::ReadBinary);
  reader.start = 0;
  reader.end = 0;
  reader.atEnd = false;
  return reader.file != nullptr;
}

bool NextLine(LineReader& reader, char* line, size_t capacity) {
  size_t length = 0;
  bool any = false;
  for (;;) {
    if (reader.start == reader.end) {
      if (reader.atEnd) {
        break;
      }
      reader.start = 0;
      reader.end = platform::ReadFile(reader.file, reader.buffer, sizeof reader.buffer);
      if (reader.end == 0) {
        reader.atEnd = true;
        break;
      }
    }
    char c = reader.buffer[reader.start++];
    any = true;
    if (c == '\n') {
      break;
    }
    if (c != '\r' && length + 1 < capacity) {
      line[length++] = c;
    }
  }
  if (capacity > 0) {
    line[length] = 0;
  }
  return any;
}

void CloseLines(LineReader& reader) {
  if (reader.file != nullptr) {
    platform::CloseFile(reader.file);
    reader.file = nullptr;
  }
}

bool WriteTextFile(const char* path, const char* text, size_t length) {
  char temporary[kPathCapacity + 8];
  size_t pathLength = std::strlen(path);
  if (pathLength + 5 > sizeof temporary) {
    return false;
  }
  std::memcpy(temporary, path, pathLength);
  std::memcpy(temporary + pathLength, ".new", 5);
  platform::File* file = platform::OpenFile(temporary, platform::FileMode::WriteBinary);
  if (file == nullptr) {
    return false;
  }
  bool written = platform::WriteFile(file, text, length) == length;
  bool closed = platform::CloseFile(file);
  if (!written || !closed) {
    platform::DeleteFile(temporary);
    return false;
  }
  return platform::RenameFile(temporary, path);
}

}  // namespace sim::internal
