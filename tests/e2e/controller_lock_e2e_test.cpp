// Our programs one at a time on a controller, and Ctrl-C: a second program waits for the
// one that holds the interface and then reports it locked; concurrent runs never mix their
// work on the simulated controller; an interrupted run releases the interface and leaves no
// file it was still writing.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kLocked = "ERROR: Can't access DRUX: DRUX command interface is locked\n";

// A program in the background on the machine, its streams into one file.
pid_t Start(const SimulatedPc& pc, std::vector<std::string> arguments, const std::string& output) {
  arguments.insert(arguments.begin(), Druxsvc());
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DRUXSIM_DIR", pc.directory().c_str(), 1);
    const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Polls until the condition holds; false after ten seconds.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (Clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A path that the programs do not take for an option ('/' starts one).
std::string RelativePath(const std::string& path) {
  return fs::relative(path, fs::current_path()).string();
}

bool LockHeldByOther(const SimulatedPc& pc) {
  const int fd = open((pc.directory() + "/drux.lock").c_str(), O_RDONLY);
  if (fd < 0) {
    return false;
  }
  const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
  close(fd);
  return held;
}

void ExpectInterfaceFreeWithoutViolation(const SimulatedPc& pc) {
  EXPECT_NE(pc.Druxsim({"show"}).out.find("lock free"), std::string::npos);
  EXPECT_EQ(pc.Druxsim({"violations"}).out, "0\n");
}

TEST(ControllerLock, HolderMakesTheSecondProgramWaitThenReportLockedAndCtrlCReleases) {
  SimulatedPc pc;
  ASSERT_EQ(pc.Druxsim({"fault", "hang", "0x10"}).exitCode, 0);  // i drux's version read
  TemporaryDirectory scratch;
  const pid_t holder = Start(pc, {"i", "drux"}, scratch.path() + "/holder.txt");
  ASSERT_TRUE(Eventually([&] { return LockHeldByOther(pc); }));

  const auto start = Clock::now();
  ProgramOutput second = pc.Run(Druxsvc(), {"i", "uid"});
  const double waited = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(second.exitCode, 6);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, kLocked);
  EXPECT_GE(waited, 1.9);  // the bounded wait of two seconds
  EXPECT_LT(waited, 8.0);

  // Ctrl-C in the middle of the command that never finishes: released, exit code 7.
  kill(holder, SIGINT);
  EXPECT_EQ(WaitForExit(holder), 7);
  EXPECT_NE(ReadFileText(scratch.path() + "/holder.txt").find("ERROR: Interrupted.\n"),
            std::string::npos);
  ExpectInterfaceFreeWithoutViolation(pc);
  ASSERT_EQ(pc.Druxsim({"fault", "clear"}).exitCode, 0);
  EXPECT_EQ(pc.Run(Druxsvc(), {"i", "drux"}).exitCode, 0);
}

TEST(ControllerLock, ConcurrentRunsNeverMixTheirWorkOnTheController) {
  SimulatedPc pc;
  TemporaryDirectory files;
  const std::vector<std::string> save = {"s", "drux", RelativePath(files.path() + "/a.fw"), "-y"};
  ASSERT_EQ(pc.Run(Druxsvc(), save).exitCode, 0);
  const long accessesOfOneRun = std::stol(pc.Druxsim({"accesses"}).out);
  ASSERT_GT(accessesOfOneRun, 0);
  ASSERT_EQ(pc.Druxsim({"accesses", "--clear"}).exitCode, 0);

  // Both start at once; the later one waits (or, on a very slow machine, reports locked).
  // Each run loads the simulated state at its start and writes it back at its end, so runs
  // that overlapped would lose one another's port accesses.
  ProgramOutput first;
  ProgramOutput second;
  std::thread other([&] { first = pc.Run(Druxsvc(), save); });
  second = pc.Run(Druxsvc(), save);
  other.join();
  int finished = 0;
  for (const ProgramOutput* run : {&first, &second}) {
    if (run->exitCode == 0) {
      ++finished;
    } else {
      EXPECT_EQ(run->exitCode, 6);
      EXPECT_EQ(run->err, kLocked);
    }
  }
  ASSERT_GE(finished, 1);
  EXPECT_EQ(std::stol(pc.Druxsim({"accesses"}).out), finished * accessesOfOneRun);
  ExpectInterfaceFreeWithoutViolation(pc);
}

TEST(ControllerLock, InterruptedSaveReleasesTheInterfaceAndLeavesNoFile) {
  SimulatedPc pc;
  TemporaryDirectory target;
  TemporaryDirectory scratch;
  // The trace makes the save long enough to be caught in the middle.
  const pid_t save = Start(pc, {"s", "drux", RelativePath(target.path() + "/drux.fw"), "-y", "-d"},
                           scratch.path() + "/out");
  ASSERT_TRUE(Eventually([&] { return !fs::is_empty(target.path()); }));
  kill(save, SIGINT);
  EXPECT_EQ(WaitForExit(save), 7);
  EXPECT_TRUE(fs::is_empty(target.path()));
  ExpectInterfaceFreeWithoutViolation(pc);
}

}  // namespace
}  // namespace drux::test
