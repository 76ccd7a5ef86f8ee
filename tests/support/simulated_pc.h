// A simulated PC in its own temporary state directory, and the programs run against it.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim.h"
#include "tests/support/program_runner.h"

namespace drux::test {

class SimulatedPc {
 public:
  // The default machine of a fresh state directory (an EX64, panels 0 and 1, PC modules 0 and
  // 8), with the factory contents of its EEPROMs and panel display blocks. Settings in the
  // simulator's "key=value" form change it before any program runs, e.g. "pc=VP41",
  // "present=0", "module.0.model="; such a machine is created as druxsim create makes it, with
  // erased EEPROMs and display blocks.
  SimulatedPc() = default;
  explicit SimulatedPc(std::initializer_list<std::string> settings);

  const std::string& directory() const { return directory_.path(); }

  // Runs the program with DRUXSIM_DIR set to this machine's directory.
  ProgramOutput Run(const std::string& path, std::vector<std::string> arguments,
                    std::string input = "",
                    std::vector<std::pair<std::string, std::string>> environment = {},
                    bool mergeStreams = false) const;

#ifdef DRUX_BIN_DIR
  // Runs the druxsim tool on this machine's directory, e.g. {"set", "pc=VP41"}.
  ProgramOutput Druxsim(std::vector<std::string> arguments) const {
    return Run(ProgramPath("druxsim"), std::move(arguments));
  }
#endif

  // The commands that the programs run so far sent to the controller, oldest first.
  std::vector<sim::LogEntry> CommandLog() const;

 private:
  TemporaryDirectory directory_;
};

}  // namespace drux::test
