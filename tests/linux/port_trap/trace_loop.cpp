// The trace loop: syscall stops (the port permission), faults (the port instructions), the exit
// stop (the simulator's state), and every other signal passed on to the program.
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/port_backend.h"
#include "sim/sim.h"
#include "tests/linux/port_trap/port_instruction.h"
#include "tests/linux/port_trap/tracer.h"

namespace port_trap {
namespace {

constexpr int kSyscallStop = SIGTRAP | 0x80;  // PTRACE_O_TRACESYSGOOD
constexpr unsigned long kPortCount = kLastPort - kFirstPort + 1;
constexpr size_t kShownBytes = 8;

struct Trace {
  pid_t program;
  bool inSyscall = false;     // syscall stops alternate: entry, exit
  bool answerIoperm = false;  // the call in progress is the skipped ioperm
  bool persisted = false;
  bool failed = false;
};

bool GetRegisters(Trace& trace, user_regs_struct* regs) {
  if (::ptrace(PTRACE_GETREGS, trace.program, nullptr, regs) == 0) {
    return true;
  }
  std::fprintf(stderr, "port-trap: PTRACE_GETREGS: %s\n", std::strerror(errno));
  trace.failed = true;
  return false;
}

void SetRegisters(Trace& trace, const user_regs_struct& regs) {
  if (::ptrace(PTRACE_SETREGS, trace.program, nullptr, &regs) != 0) {
    std::fprintf(stderr, "port-trap: PTRACE_SETREGS: %s\n", std::strerror(errno));
    trace.failed = true;
  }
}

// The permission request succeeds without reaching the kernel (which would refuse it here): at
// the entry the call is skipped (orig_rax -1), at the exit its result becomes 0.
void OnSyscallStop(Trace& trace) {
  user_regs_struct regs{};
  if (!GetRegisters(trace, &regs)) {
    return;
  }
  trace.inSyscall = !trace.inSyscall;
  if (!trace.inSyscall) {
    if (trace.answerIoperm) {
      trace.answerIoperm = false;
      regs.rax = 0;
      SetRegisters(trace, regs);
    }
    return;
  }
  if (regs.orig_rax != SYS_ioperm) {
    return;
  }
  if (regs.rdi != kFirstPort || regs.rsi != kPortCount) {
    std::fprintf(stderr,
                 "port-trap: the program asked for ports 0x%llx-0x%llx (ioperm); only "
                 "0x%x-0x%x are served\n",
                 regs.rdi, regs.rdi + regs.rsi - 1, unsigned(kFirstPort), unsigned(kLastPort));
    trace.failed = true;
    return;
  }
  regs.orig_rax = -1ull;
  trace.answerIoperm = true;
  SetRegisters(trace, regs);
}

size_t PeekInstruction(pid_t program, uint64_t address, uint8_t* bytes) {
  size_t got = 0;
  for (; got < kShownBytes; got += sizeof(long)) {
    errno = 0;
    const long word = ::ptrace(PTRACE_PEEKTEXT, program, address + got, nullptr);
    if (errno != 0) {
      break;
    }
    std::memcpy(bytes + got, &word, sizeof word);
  }
  return got;
}

void ReportWrongAccess(const char* what, uint64_t address, const uint8_t* bytes, size_t count) {
  std::fprintf(stderr, "port-trap: %s at 0x%llx, instruction bytes", what,
               static_cast<unsigned long long>(address));
  for (size_t i = 0; i < count; ++i) {
    std::fprintf(stderr, " %02x", bytes[i]);
  }
  std::fprintf(stderr, "\n");
}

// A fault of the program's own making: only byte in/out through DX inside the block is served,
// the result goes into al and the program resumes after the instruction.
void ServePortInstruction(Trace& trace) {
  user_regs_struct regs{};
  if (!GetRegisters(trace, &regs)) {
    return;
  }
  uint8_t bytes[kShownBytes] = {};
  const size_t count = PeekInstruction(trace.program, regs.rip, bytes);
  const PortInstruction instruction = DecodePortInstruction(bytes, count);
  const uint16_t port = static_cast<uint16_t>(regs.rdx);
  if (instruction.direction == PortDirection::Unserved) {
    ReportWrongAccess("fault on an instruction other than inb %dx,%al or outb %al,%dx", regs.rip,
                      bytes, count);
    trace.failed = true;
    return;
  }
  if (!InRegisterBlock(port)) {
    char what[96];
    std::snprintf(what, sizeof what, "port 0x%04x outside 0x%04x-0x%04x", unsigned(port),
                  unsigned(kFirstPort), unsigned(kLastPort));
    ReportWrongAccess(what, regs.rip, bytes, count);
    trace.failed = true;
    return;
  }
  // The port functions of the simulated build's programs, bound to the simulator.
  if (instruction.direction == PortDirection::In) {
    regs.rax = (regs.rax & ~0xFFull) | platform::PortIn8(port);
  } else {
    platform::PortOut8(port, static_cast<uint8_t>(regs.rax));
  }
  regs.rip += instruction.length;
  SetRegisters(trace, regs);
}

void Persist(Trace& trace) {
  if (trace.persisted) {
    return;
  }
  trace.persisted = true;
  if (!platform::FinishPortBackend()) {
    std::fprintf(stderr, "port-trap: can't write the simulated machine back to %s\n",
                 sim::StateDirectory());
    trace.failed = true;
  }
}

// The signal to hand on when the program resumes; 0 for a stop that was served here.
int OnSignalStop(Trace& trace, int signal) {
  siginfo_t info{};
  if (::ptrace(PTRACE_GETSIGINFO, trace.program, nullptr, &info) != 0) {
    return 0;  // a group stop, not a signal to deliver
  }
  // A port instruction without permission faults as a general protection (SI_KERNEL); a
  // SIGSEGV sent by someone is the program's business.
  if (signal == SIGSEGV && info.si_code == SI_KERNEL) {
    ServePortInstruction(trace);
    return 0;
  }
  return signal;
}

Ending Fail(Trace& trace) {
  ::kill(trace.program, SIGKILL);
  int status = 0;
  while (::waitpid(trace.program, &status, 0) < 0 && errno == EINTR) {
  }
  return {Ending::Kind::Failed, 0};
}

}  // namespace

Ending TraceToTheEnd(pid_t program) {
  Trace trace{program};
  const long options = PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL | PTRACE_O_TRACEEXIT;
  if (::ptrace(PTRACE_SETOPTIONS, program, nullptr, options) != 0) {
    std::fprintf(stderr, "port-trap: PTRACE_SETOPTIONS: %s\n", std::strerror(errno));
    return Fail(trace);
  }
  int resumeSignal = 0;
  for (;;) {
    if (::ptrace(PTRACE_SYSCALL, program, nullptr, resumeSignal) != 0 && errno != ESRCH) {
      std::fprintf(stderr, "port-trap: PTRACE_SYSCALL: %s\n", std::strerror(errno));
      return Fail(trace);
    }
    resumeSignal = 0;
    int status = 0;
    while (::waitpid(program, &status, 0) < 0) {
      if (errno != EINTR) {  // EINTR: a relayed signal; the program's stop is still to come
        std::fprintf(stderr, "port-trap: waitpid: %s\n", std::strerror(errno));
        return Fail(trace);
      }
    }
    if (WIFEXITED(status) || WIFSIGNALED(status)) {
      Persist(trace);
      if (trace.failed) {
        return {Ending::Kind::Failed, 0};
      }
      return WIFEXITED(status) ? Ending{Ending::Kind::Exited, WEXITSTATUS(status)}
                               : Ending{Ending::Kind::Killed, WTERMSIG(status)};
    }
    const int signal = WSTOPSIG(status);
    if (signal == kSyscallStop) {
      OnSyscallStop(trace);
    } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      Persist(trace);
    } else {
      resumeSignal = OnSignalStop(trace, signal);
    }
    if (trace.failed) {
      return Fail(trace);
    }
  }
}

}  // namespace port_trap
