// Files that the run is still writing; an interrupted run removes them on its way out.
#include <unistd.h>
#include <cstdlib>
#include <cstring>

#include "platform/hosted/hosted_backend.h"

namespace platform::hosted {
namespace {

struct WrittenFile {
  File* file;
  char* name;
};

// A handler writes one file at a time; the few slots leave room for the simulator's own.
constexpr int kSlots = 8;
WrittenFile written[kSlots];

}  // namespace

void RememberWrittenFile(File* file, const char* name) {
  for (WrittenFile& slot : written) {
    if (slot.file == nullptr) {
      slot = {file, ::strdup(name)};
      return;
    }
  }
}

void ForgetWrittenFile(File* file) {
  for (WrittenFile& slot : written) {
    if (slot.file == file) {
      std::free(slot.name);
      slot = {nullptr, nullptr};
    }
  }
}

// Unlinked only: the streams stay open, and the process is about to end.
void RemoveUnfinishedFiles() {
  for (WrittenFile& slot : written) {
    if (slot.file != nullptr && slot.name != nullptr) {
      ::unlink(slot.name);
    }
  }
}

}  // namespace platform::hosted
