// Table-driven checks of the simulator's key=value settings, each applied to the default machine.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <span>

#include "sim/sim.h"

namespace simtest {

struct SettingCase {
  const char* setting;
  bool accepted;
  bool (*check)(const sim::MachineConfig& config);  // only for accepted settings
};

// An accepted setting must pass its check; a refused one must leave the machine unchanged.
inline void ExpectSettingCases(std::span<const SettingCase> cases) {
  for (const SettingCase& c : cases) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    ASSERT_EQ(sim::ApplySettingText(config, c.setting), c.accepted) << c.setting;
    if (c.accepted) {
      EXPECT_TRUE(c.check(config)) << c.setting;
    } else {
      sim::MachineConfig unchanged = sim::DefaultMachineConfig();
      EXPECT_EQ(std::memcmp(&config, &unchanged, sizeof config), 0) << c.setting;
    }
  }
}

}  // namespace simtest
