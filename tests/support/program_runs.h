// What the end-to-end runs of the programs share: the built programs, the frozen clock that
// makes the closing time line predictable, and the lines around every run on the default PC.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/program_runner.h"

namespace drux::test {

#if defined(DRUX_BIN_DIR) && defined(DRUX_TEST_BIN_DIR)
inline std::string Druxsvc() {
  return ProgramPath("druxsvc");
}
inline std::string Admin() {
  return ProgramPath("druxsvcadmin");
}
// The test-only program that runs requests with the full feature set.
inline std::string FullSet() {
  return TestProgramPath("druxsvc_fullset_testonly");
}
#endif

// Every run takes "less than a second" on this clock.
inline const std::vector<std::pair<std::string, std::string>> kFrozenClock = {
    {"DRUXSVC_TEST_CLOCK", "50,0"}};

inline const std::string kPcLine = "PC is an EX64.\n";
inline const std::string kTotalTime = "Total time needed: < 1 second\n";

}  // namespace drux::test
