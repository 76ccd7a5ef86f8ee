// drux_port_trap PROGRAM [ARGUMENT]...: runs a real-port program of ours against the simulated
// machine (DRUXSIM_DIR, else $HOME/.druxsim, as druxsim). Its output and exit code are the
// harness's; a wrong port access ends the run with exit code 125 and the reason on the error
// stream, a program that can't be traced with 126.
#include <csignal>
#include <cstdio>

#include "tests/linux/port_trap/tracer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: drux_port_trap PROGRAM [ARGUMENT]...\n");
    return port_trap::kCannotTrace;
  }
  const pid_t program = port_trap::StartTraced(argv + 1);
  if (program < 0) {
    return port_trap::kCannotTrace;
  }
  port_trap::RelaySignalsTo(program);
  const port_trap::Ending ending = port_trap::TraceToTheEnd(program);
  switch (ending.kind) {
    case port_trap::Ending::Kind::Exited:
      return ending.value;
    case port_trap::Ending::Kind::Killed:
      // Ended the same way, so that the caller sees the signal too.
      std::signal(ending.value, SIG_DFL);
      std::raise(ending.value);
      return 128 + ending.value;
    case port_trap::Ending::Kind::Failed:
      break;
  }
  return port_trap::kRunFailed;
}
