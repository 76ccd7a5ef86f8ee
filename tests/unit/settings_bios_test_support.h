// Shared set-up of the BIOS settings tests: a simulated PC of a given type in memory, the PC
// type answers forgotten so that each case is a fresh run on that PC.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "controller/feature_set.h"
#include "controller/pc_type.h"
#include "sim/sim.h"
#include "tests/support/captured_output.h"
#include "tests/support/sim_settings.h"

namespace drux::testing {

using test::CapturedOutput;
using test::CaptureOutput;

inline void StartBiosPc(const std::string& pc, std::initializer_list<std::string> settings = {},
                        const FeatureSet& features = kFullFeatureSet) {
  sim::MachineConfig config;
  std::vector<std::string> all{"pc=" + pc};
  all.insert(all.end(), settings.begin(), settings.end());
  EXPECT_TRUE(test::ApplySettings(config, all));
  sim::StartInMemory(config);
  sim::ClearFaults();
  sim::ClearLog();
  sim::ClearProtocolViolations();
  ConfigurePcTypeTests(features);
  ForgetPcTypeAnswers();
}

class BiosSettingsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
    sim::ClearFaults();
    ForgetPcTypeAnswers();
  }
};

// The PC models by their names in the simulator's settings.
inline const std::vector<std::string> kAllPcModels = {
    "EX41", "VP41", "EX52", "VP52", "EX64", "VP64", "EX53", "VP53", "EM64", "VP47", "VP20"};

}  // namespace drux::testing
