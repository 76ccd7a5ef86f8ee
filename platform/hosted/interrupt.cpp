// Ctrl-C on Linux: the signal only sets a flag; the controller layer ends the run at the next
// point where the command interface is free (a port backend can't be left mid-command).
#include <csignal>

#include "platform/hosted/hosted_backend.h"

namespace platform {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
  interrupted = 1;
}

}  // namespace

bool InterruptRequested() {
  return interrupted != 0;
}

namespace hosted {

// No SA_RESTART: a console read returns at once, as end of input.
void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace hosted
}  // namespace platform
