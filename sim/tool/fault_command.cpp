// druxsim fault: inject, list and clear faults of the simulated controller.
#include <cstdio>

#include "sim/tool/tool.h"

namespace druxsim {

int RunFault(const Arguments& args) {
  if (args.empty()) {
    return Fail(
        kExitUsage,
        "fault: lock | busy CMD COUNT | error CMD BYTE [--after N] | hang CMD [--after N] | "
        "clear | list | powercut CMD [--after N]");
  }
  if (args[0] == "list" && args.size() == 1) {
    for (int i = 0; i < sim::FaultCount(); ++i) {
      char text[64];
      sim::FormatFault(sim::FaultAt(i), text, sizeof text);
      std::printf("%s\n", text);
    }
    return kExitOk;
  }
  if (args[0] == "clear" && args.size() == 1) {
    sim::ClearFaults();
    return SaveMachine();
  }
  std::string text;
  for (const std::string& word : args) {
    if (word.find_first_of(" \t") != std::string::npos) {
      return Fail(kExitUsage, "fault: bad argument '" + word + "'");
    }
    text += (text.empty() ? "" : " ") + word;
  }
  sim::Fault fault{};
  if (!sim::ParseFault(text.c_str(), &fault)) {
    return Fail(kExitUsage, "fault: bad fault '" + text + "'");
  }
  if (!sim::AddFault(fault)) {
    return Fail(kExitUsage,
                "fault: too many faults (at most " + std::to_string(sim::kMaxFaults) + ")");
  }
  return SaveMachine();
}

}  // namespace druxsim
