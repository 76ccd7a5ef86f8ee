// The program starts as the harness's child, traced from its first instruction. A failure in
// the child (tracing refused, program missing) comes back through a pipe that the successful
// exec closes.
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "tests/linux/port_trap/tracer.h"

namespace port_trap {
namespace {

struct ChildFailure {
  char step;  // 't': ptrace, 'e': exec
  int error;
};

[[noreturn]] void RunChild(char* const* argv, int report) {
  ChildFailure failure{'t', 0};
  if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) == 0) {
    ::execv(argv[0], argv);
    failure.step = 'e';
  }
  failure.error = errno;
  (void)!::write(report, &failure, sizeof failure);
  ::_exit(127);
}

}  // namespace

pid_t StartTraced(char* const* argv) {
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    std::perror("port-trap: pipe");
    return -1;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("port-trap: fork");
    return -1;
  }
  if (child == 0) {
    RunChild(argv, report[1]);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ChildFailure failure{};
  const bool failed = ::read(report[0], &failure, sizeof failure) == sizeof failure;
  ::close(report[0]);
  if (failed || !WIFSTOPPED(status) || WSTOPSIG(status) != SIGTRAP) {
    if (failed) {
      std::fprintf(stderr, "port-trap: can't %s %s: %s\n",
                   failure.step == 't' ? "trace (ptrace)" : "start", argv[0],
                   std::strerror(failure.error));
    } else {
      std::fprintf(stderr, "port-trap: %s did not stop after its start\n", argv[0]);
      ::kill(child, SIGKILL);
    }
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
  }
  return child;
}

}  // namespace port_trap
