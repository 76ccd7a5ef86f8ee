// A test that ends the process through the program's exit path (a help option, an empty menu
// answer) would otherwise make the test binary end with that code, often 0, and pass silently.
// The guard turns every exit before the test run is over into a failure.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

namespace {

bool runFinished = false;
pid_t guardedProcess = 0;

void FailUnlessFinished() {
  // Death tests exit on purpose in a child process; only the test runner itself is guarded.
  if (!runFinished && ::getpid() == guardedProcess) {
    std::fprintf(stderr, "\nFAILED: the process exited in the middle of a test\n");
    std::fflush(stderr);
    ::_exit(1);
  }
}

class UnexpectedExitGuard : public testing::Environment {
 public:
  void SetUp() override {
    if (!GTEST_FLAG_GET(internal_run_death_test).empty()) {
      return;
    }
    guardedProcess = ::getpid();
    std::atexit(FailUnlessFinished);
  }
  void TearDown() override { runFinished = true; }
};

[[maybe_unused]] testing::Environment* const guard =
    testing::AddGlobalTestEnvironment(new UnexpectedExitGuard);

}  // namespace
