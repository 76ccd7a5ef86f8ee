// A simulated PC in its own temporary state directory.
#include "tests/support/simulated_pc.h"

#include <stdexcept>

namespace drux::test {

SimulatedPc::SimulatedPc(std::initializer_list<std::string> settings) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  for (const std::string& setting : settings) {
    if (!sim::ApplySettingText(config, setting.c_str())) {
      throw std::invalid_argument("simulator rejects the setting " + setting);
    }
  }
  if (!sim::CreateMachine(directory().c_str(), config)) {
    throw std::runtime_error("can't create a simulated PC in " + directory());
  }
}

ProgramOutput SimulatedPc::Run(const std::string& path, std::vector<std::string> arguments,
                               std::string input,
                               std::vector<std::pair<std::string, std::string>> environment,
                               bool mergeStreams) const {
  ProgramInvocation invocation;
  invocation.path = path;
  invocation.arguments = std::move(arguments);
  invocation.input = std::move(input);
  invocation.environment = std::move(environment);
  invocation.environment.emplace_back(sim::kStateDirectoryVariable, directory());
  // The tests' own clock settings must not leak in from the outside.
  bool clockGiven = false;
  for (const auto& setting : invocation.environment) {
    clockGiven = clockGiven || setting.first == "DRUXSVC_TEST_CLOCK";
  }
  if (!clockGiven) {
    invocation.environment.emplace_back("DRUXSVC_TEST_CLOCK", "");
  }
  invocation.mergeStreams = mergeStreams;
  return RunProgram(invocation);
}

std::vector<sim::LogEntry> SimulatedPc::CommandLog() const {
  if (!sim::AttachDirectory(directory().c_str())) {
    throw std::runtime_error("can't attach the simulated PC in " + directory());
  }
  std::vector<sim::LogEntry> entries;
  for (size_t i = 0; i < sim::LogSize(); ++i) {
    entries.push_back(sim::LogAt(i));
  }
  return entries;
}

}  // namespace drux::test
