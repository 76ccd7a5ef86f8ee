// Termination signals sent to the harness go on to the program, so that a test's Ctrl-C reaches
// it as on a terminal. A signal from the terminal itself already reached the whole foreground
// group, the program included, and is not sent twice.
#include <csignal>

#include "tests/linux/port_trap/tracer.h"

namespace port_trap {
namespace {

volatile pid_t relayTarget = 0;

void Relay(int signal, siginfo_t* info, void*) {
  if (info->si_code != SI_KERNEL && relayTarget > 0) {
    ::kill(relayTarget, signal);
  }
}

}  // namespace

// No SA_RESTART: the trace loop's wait returns and simply waits again.
void RelaySignalsTo(pid_t program) {
  relayTarget = program;
  struct sigaction action {};
  action.sa_sigaction = Relay;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  constexpr int kRelayed[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  for (int signal : kRelayed) {
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace port_trap
