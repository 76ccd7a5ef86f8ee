// druxsim entry: picks the machine directory (--dir, DRUXSIM_DIR, $HOME/.druxsim) and runs
// one command. Exit codes: 0 success, 1 usage error, 2 I/O error. Never asks anything.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "sim/tool/tool.h"

namespace druxsim {

namespace {

struct Command {
  const char* name;
  int (*run)(const Arguments& args);
};

constexpr Command kCommands[] = {
    {"set", RunSet},
    {"module", RunModule},
    {"show", RunShow},
    {"fault", RunFault},
    {"dump", RunDump},
    {"load", RunLoad},
    {"log", RunLog},
    {"accesses", RunAccesses},
    {"violations", RunViolations},
    {"reset", RunReset},
    {"fset", RunFactorySettings},
    {"transmitter", RunTransmitter},
    {"converter", RunConverter},
    {"receiver", RunReceiver},
    {"hdbt", RunHdbt},
    {"powercycle", RunPowerCycle},
};

std::string MachineDirectory(const std::string& option) {
  if (!option.empty()) {
    return option;
  }
  // The platform's environment access, as the simulator itself uses it.
  const char* variable = platform::EnvironmentValue(sim::kStateDirectoryVariable);
  if (variable != nullptr && *variable != 0) {
    return variable;
  }
  const char* home = platform::EnvironmentValue("HOME");
  if (home != nullptr && *home != 0) {
    return std::string(home) + "/" + sim::kDefaultStateDirectoryName;
  }
  return "";
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "druxsim: %s\nTry 'druxsim help'.\n", message.c_str());
  return kExitUsage;
}

}  // namespace

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "druxsim: %s\n", message.c_str());
  return code;
}

bool ParseUnsigned(const std::string& text, unsigned long long* value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
    return false;
  }
  int base = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 16 : 10;
  char* end = nullptr;
  errno = 0;
  *value = std::strtoull(text.c_str(), &end, base);
  return errno == 0 && end != nullptr && *end == 0;
}

int SaveMachine() {
  if (!sim::Persist()) {
    return Fail(kExitIo, std::string("can't save the machine in ") + sim::StateDirectory());
  }
  return kExitOk;
}

}  // namespace druxsim

int main(int argc, char** argv) {
  using namespace druxsim;
  Arguments args(argv + 1, argv + argc);
  std::string directoryOption;
  while (!args.empty() && args[0] == "--dir") {
    if (args.size() < 2 || args[1].empty()) {
      return Usage("--dir needs a directory");
    }
    directoryOption = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) {
    return Usage("no command given");
  }
  std::string command = args[0];
  args.erase(args.begin());
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(HelpText(), stdout);
    return kExitOk;
  }
  if (command == "image") {  // writes a file; no machine involved
    return RunImage(args);
  }
  std::string directory = MachineDirectory(directoryOption);
  if (directory.empty()) {
    return Usage("no machine directory: use --dir DIR or set DRUXSIM_DIR");
  }
  if (command == "create") {
    return RunCreate(directory, args);
  }
  for (const Command& entry : kCommands) {
    if (command == entry.name) {
      if (!sim::AttachDirectory(directory.c_str())) {
        return Fail(kExitIo, "bad machine directory: " + directory);
      }
      return entry.run(args);
    }
  }
  return Usage("unknown command '" + command + "'");
}
