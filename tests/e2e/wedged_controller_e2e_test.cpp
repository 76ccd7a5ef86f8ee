// A controller that never finishes a command costs one time bound per run, not one per
// command: after the first time-out every further request fails at once with "DRUX command
// timeout". The clock runs ten seconds a reading, so the 120-second bound passes within
// moments and the closing time line tells how long the run waited.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

int TotalSeconds(const std::string& out) {
  std::smatch match;
  static const std::regex kLine("Total time needed: ([0-9]+) seconds\n");
  return std::regex_search(out, match, kLine) ? std::stoi(match[1]) : -1;
}

TEST(WedgedControllerE2e, OneTimeoutEndsEveryRequest) {
  struct Case {
    std::vector<std::string> arguments;
    const char* errorLine;  // nullptr: the request prints no error
  };
  const Case cases[] = {
      {{"i", "all"}, "ERROR: Can't read User Serial ID: DRUX command timeout\n"},
      {{"i", "stat"}, nullptr},
      {{"s", "kcf", "wedged.kcf"}, "ERROR: Can't read data: DRUX command timeout\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[1]);
    SimulatedPc pc;
    ASSERT_EQ(pc.Druxsim({"fault", "hang", "any"}).exitCode, 0);
    ProgramOutput run = pc.Run(Druxsvc(), c.arguments, "", {{"DRUXSVC_TEST_CLOCK", "0,10"}});
    // Start, the readings of one bound, end; one bound more would add another 120 seconds.
    const int seconds = TotalSeconds(run.out);
    EXPECT_GT(seconds, 120) << run.out;
    EXPECT_LE(seconds, 160) << run.out;
    if (c.errorLine != nullptr) {
      EXPECT_NE(run.err.find(c.errorLine), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists("wedged.kcf"));
    // The controller saw one command, which never finished, and the interface was released.
    const std::vector<sim::LogEntry> log = pc.CommandLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].state, 2);
    EXPECT_NE(pc.Druxsim({"show"}).out.find("lock free"), std::string::npos);
  }
}

}  // namespace
}  // namespace drux::test
