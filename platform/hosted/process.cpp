// Hosted process: environment and exit.
#include <cstdio>
#include <cstdlib>

#include "platform/hosted/hosted_backend.h"
#include "platform/platform.h"
#include "platform/port_backend.h"

namespace platform {

const char* EnvironmentValue(const char* name) {
  return std::getenv(name);
}

void Exit(int code) {
  std::fflush(stdout);
  if (InterruptRequested()) {
    hosted::RemoveUnfinishedFiles();
  }
  if (!FinishPortBackend()) {
    std::fprintf(stderr, "druxsim: can't save the simulated PC's state\n");
  }
  std::fflush(stderr);
  std::exit(code);
}

}  // namespace platform
