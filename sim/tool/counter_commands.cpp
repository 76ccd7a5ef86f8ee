// druxsim log, accesses, violations and reset: what the program did to the controller.
#include <cstdio>

#include "sim/tool/tool.h"

namespace druxsim {

namespace {

// Accepts no arguments or exactly "--clear".
bool WantsClear(const Arguments& args, const char* command, int* status) {
  if (args.empty()) {
    return false;
  }
  if (args.size() == 1 && args[0] == "--clear") {
    return true;
  }
  *status = Fail(kExitUsage, std::string(command) + ": the only option is --clear");
  return false;
}

}  // namespace

int RunLog(const Arguments& args) {
  if (args.size() == 1 && args[0] == "--total") {
    std::printf("%llu\n", static_cast<unsigned long long>(sim::LogTotal()));
    return kExitOk;
  }
  int status = kExitOk;
  if (WantsClear(args, "log", &status)) {
    sim::ClearLog();
    return SaveMachine();
  }
  if (status != kExitOk) {
    return status;
  }
  size_t count = sim::LogSize();
  for (size_t i = 0; i < count; ++i) {
    char line[96];
    sim::FormatLogEntry(sim::LogAt(i), line, sizeof line);
    std::printf("%s\n", line);
  }
  return kExitOk;
}

int RunAccesses(const Arguments& args) {
  int status = kExitOk;
  if (WantsClear(args, "accesses", &status)) {
    sim::ClearPortAccessCount();
    return SaveMachine();
  }
  if (status != kExitOk) {
    return status;
  }
  std::printf("%llu\n", static_cast<unsigned long long>(sim::PortAccessCount()));
  return kExitOk;
}

int RunViolations(const Arguments& args) {
  int status = kExitOk;
  if (WantsClear(args, "violations", &status)) {
    sim::ClearProtocolViolations();
    return SaveMachine();
  }
  if (status != kExitOk) {
    return status;
  }
  std::printf("%u\n", unsigned(sim::ProtocolViolationCount()));
  if (sim::ProtocolViolationCount() != 0) {
    std::printf("%s\n", sim::LastProtocolViolation());
  }
  return kExitOk;
}

int RunReset(const Arguments& args) {
  if (!args.empty()) {
    return Fail(kExitUsage, "reset takes no arguments");
  }
  sim::ResetCommandInterface();
  return SaveMachine();
}

}  // namespace druxsim
