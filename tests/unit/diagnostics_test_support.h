// Shared set-up of the diagnostics tests: a simulated controller in memory configured through
// the same key=value settings as druxsim, and the text a handler prints on both streams.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/captured_output.h"
#include "tests/support/sim_settings.h"

namespace drux::testing {

using test::CapturedOutput;
using test::CaptureOutput;

// A machine without modules or panels, plus the settings; each setting must be accepted.
inline sim::MachineConfig ConfigWith(std::initializer_list<const char*> settings) {
  sim::MachineConfig config;
  EXPECT_TRUE(test::ApplySettings(config, settings));
  return config;
}

inline void StartMachine(const sim::MachineConfig& config) {
  sim::StartInMemory(config);
  sim::ClearFaults();
  sim::ClearLog();
  sim::ClearProtocolViolations();
}

// Command codes the controller executed, oldest first.
inline std::vector<int> LoggedCodes() {
  std::vector<int> codes;
  for (size_t i = 0; i < sim::LogSize(); ++i) {
    codes.push_back(sim::LogAt(i).code);
  }
  return codes;
}

}  // namespace drux::testing
