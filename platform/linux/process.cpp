// Linux process with real ports: environment and exit. The hardware keeps its own state.
#include <cstdio>
#include <cstdlib>

#include "platform/hosted/hosted_backend.h"
#include "platform/platform.h"

namespace platform {

const char* EnvironmentValue(const char* name) {
  return std::getenv(name);
}

void Exit(int code) {
  std::fflush(stdout);
  if (InterruptRequested()) {
    hosted::RemoveUnfinishedFiles();
  }
  std::fflush(stderr);
  std::exit(code);
}

}  // namespace platform
