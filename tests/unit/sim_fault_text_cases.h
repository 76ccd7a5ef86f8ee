// Table-driven checks of the fault lines of the simulator's state file.
#pragma once

#include <gtest/gtest.h>

#include <span>

#include "sim/sim.h"

namespace simtest {

struct FaultTextCase {
  const char* text;
  bool valid;
  const char* canonical;  // how a valid line is written back
};

inline void ExpectFaultTexts(std::span<const FaultTextCase> cases) {
  for (const FaultTextCase& c : cases) {
    sim::Fault fault{};
    ASSERT_EQ(sim::ParseFault(c.text, &fault), c.valid) << c.text;
    if (c.valid) {
      char text[64];
      sim::FormatFault(fault, text, sizeof text);
      EXPECT_STREQ(text, c.canonical);
    }
  }
}

}  // namespace simtest
