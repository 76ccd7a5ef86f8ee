// Machines for the tests described in the simulator's "key=value" settings, the same text that
// druxsim and the state file use.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "sim/sim.h"

namespace drux::test {

inline const char* SettingText(const char* setting) {
  return setting;
}
inline const char* SettingText(const std::string& setting) {
  return setting.c_str();
}

// Applies the settings in order; each refused one is a test failure of its own. True when the
// machine took all of them.
template <typename Settings>
bool ApplySettings(sim::MachineConfig& config, const Settings& settings) {
  bool allAccepted = true;
  for (const auto& setting : settings) {
    if (!sim::ApplySettingText(config, SettingText(setting))) {
      ADD_FAILURE() << "setting refused: " << setting;
      allAccepted = false;
    }
  }
  return allAccepted;
}

inline bool ApplySettings(sim::MachineConfig& config, std::initializer_list<const char*> settings) {
  return ApplySettings<std::initializer_list<const char*>>(config, settings);
}

}  // namespace drux::test
