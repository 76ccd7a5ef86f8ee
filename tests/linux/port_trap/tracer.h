// Runs a program under ptrace: its request for the register block is answered here, and every
// port instruction it then executes faults and is served from the simulated controller.
#pragma once

#include <sys/types.h>

namespace port_trap {

// Exit codes of the harness itself; anything else is the program's own.
inline constexpr int kRunFailed = 125;    // a wrong access or a failure of the harness
inline constexpr int kCannotTrace = 126;  // the program could not be started or traced

struct Ending {
  enum class Kind { Exited, Killed, Failed } kind;
  int value;  // exit code (Exited) or signal number (Killed)
};

// Starts the program (argv[0] is its path) stopped at its first instruction under trace.
// -1 with a message on the error stream when that is not possible.
pid_t StartTraced(char* const* argv);

// Serves the program until it ends; the simulator's state is written back before its files
// close (the program's lock is still held then).
Ending TraceToTheEnd(pid_t program);

// Passes termination signals sent to the harness on to the program.
void RelaySignalsTo(pid_t program);

}  // namespace port_trap
