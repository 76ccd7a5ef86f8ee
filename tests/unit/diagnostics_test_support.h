// Shared set-up of the diagnostics tests: a simulated controller in memory configured through
// the same key=value settings as druxsim, and the text a handler prints on both streams.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "sim/sim.h"

namespace drux::testing {

struct HandlerOutput {
  int result;
  std::string out;
  std::string err;
};

template <typename Handler>
HandlerOutput RunHandler(Handler handler) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  int result = handler();
  HandlerOutput output{result, "", ""};
  output.out = ::testing::internal::GetCapturedStdout();
  output.err = ::testing::internal::GetCapturedStderr();
  return output;
}

// A machine without modules or panels, plus the settings; each setting must be accepted.
inline sim::MachineConfig ConfigWith(std::initializer_list<const char*> settings) {
  sim::MachineConfig config;
  for (const char* setting : settings) {
    EXPECT_TRUE(sim::ApplySettingText(config, setting)) << setting;
  }
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
