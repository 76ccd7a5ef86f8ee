// A panel's receiver image under a busy controller, a time-out and Ctrl-C: the route to the
// image is chosen once, on a definite answer, and a flash whose write protection was lifted is
// protected again on every way out.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

namespace fs = std::filesystem;
using Environment = std::vector<std::pair<std::string, std::string>>;
using Match = std::function<bool(const sim::LogEntry&)>;

// Ten seconds a clock reading: a hung command reaches the 120-second bound at once.
const Environment kRunningClock = {{"DRUXSVC_TEST_CLOCK", "0,10"}};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) {
    if (!part.empty()) {
      parts.push_back(part);
    }
  }
  return parts;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const Match kCompatible = [](const sim::LogEntry& e) { return e.code == 0x20 && e.target == 3; };
const Match kModule = [](const sim::LogEntry& e) {
  return e.code == 0x7A || (e.code >= 0xC0 && e.code < 0xC8) || (e.code >= 0xD0 && e.code < 0xD8);
};
const Match kImageWrite = [](const sim::LogEntry& e) {
  return !e.read && (kCompatible(e) || (e.code >= 0xC0 && e.code < 0xC8));
};
const Match kPanelRequest = [](const sim::LogEntry& e) { return e.code == 0x22; };

// Panel 0 a TPB7x-KVN3R running 2.16 from its link module, its flash write protected, and a
// druxsim command (a fault) before the run.
struct Panel {
  SimulatedPc pc;
  explicit Panel(const std::string& before) {
    Sim({"receiver", "0", "0x725C", "version=2.16", "protect=1"});
    Sim({"image", Path("new.bin"), "--id", "KR3D", "--version", "2.17"});
    Sim({"image", Path("same.bin"), "--id", "KR3D", "--version", "2.16"});
    if (!before.empty()) {
      Sim(Split(before, ' '));
    }
    Sim({"log", "--clear"});
  }
  void Sim(const std::vector<std::string>& command) const {
    EXPECT_EQ(pc.Druxsim(command).exitCode, 0);
  }
  // Relative: an argument that begins with '/' is an option.
  std::string Path(const std::string& name) const {
    return fs::relative(pc.directory() + "/" + name).string();
  }
  int Count(const Match& match) const {
    int count = 0;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      count += match(entry) ? 1 : 0;
    }
    return count;
  }
  bool Protected() const { return Has(pc.Druxsim({"receiver", "0"}).out, "flash protected"); }
};

struct RouteCase {
  const char* what;
  const char* request;  // action and file name
  const char* before;
  int exitCode;
  const char* reason;  // of the selection's failure; nullptr: no error at all
  const Match* route;  // nullptr: the image was not reached
};

TEST(ReceiverSafetyE2e, RouteIsChosenOnceOnADefiniteAnswer) {
  const std::string kSelect = "ERROR: Can't select panel for module functions: ";
  const char* kLostAtSave = "fault error 0x7f 0x85 --after 2";  // check selects twice, save once
  const char* kTimeout = "DRUX command timeout";
  const char* kNoDevice = "device failure (does not exist)";
  const char* kWithout = "receiver 0 modules=0";
  const char* kDefinite = "fault error 0x7f 0x85";  // what a panel without module functions says
  const RouteCase cases[] = {
      // clang-format off
      {"update, busy", "u new.bin", "fault busy 0x7f 1", 6, "device busy", nullptr},
      {"update, IRQ collision", "u new.bin", "fault error 0x7f 0x80", 6, "IRQ collision", nullptr},
      {"update, time-out byte", "u new.bin", "fault error 0x7f 0x82", 6, kTimeout, nullptr},
      {"update, never answers", "u new.bin", "fault hang 0x7f", 6, kTimeout, nullptr},
      {"update, no module functions", "u new.bin", kDefinite, 0, nullptr, &kCompatible},
      {"update, unknown command", "u new.bin", "fault error 0x7f 0x81", 0, nullptr, &kCompatible},
      {"save, locked", "s saved.fp", "fault lock", 6, "DRUX command interface is locked", nullptr},
      {"save, busy", "s saved.fp", "fault busy 0x7f 1", 6, "device busy", nullptr},
      {"save, lost at the save", "s saved.fp", kLostAtSave, 6, kNoDevice, &kModule},
      {"save, no module functions", "s saved.fp", kWithout, 0, nullptr, &kCompatible},
      {"save, module functions", "s saved.fp", "", 0, nullptr, &kModule},
      {"info, busy", "i", "fault busy 0x7f 1", 0, "device busy", nullptr},
      {"info, no module functions", "i", kDefinite, 0, nullptr, &kCompatible},
      // clang-format on
  };
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.what);
    Panel panel(c.before);
    const std::vector<std::string> request = Split(c.request, ' ');
    std::vector<std::string> arguments = {request[0], "link", "-p=0", "-y"};
    if (request.size() > 1) {
      arguments.push_back(panel.Path(request[1]));
    }
    // Only a command that never answers sees the running clock: it reaches its bound at once.
    const ProgramOutput run = panel.pc.Run(Druxsvc(), arguments, "", kRunningClock, true);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
    EXPECT_EQ(Has(run.out, "ERROR"), c.reason != nullptr) << run.out;
    EXPECT_TRUE(c.reason == nullptr || Has(run.out, kSelect + c.reason + "\n")) << run.out;
    // One route or none, never both in one request.
    EXPECT_EQ(panel.Count(kCompatible) > 0, c.route == &kCompatible);
    EXPECT_EQ(panel.Count(kModule) > 0, c.route == &kModule);
    if (request[0] == "u") {  // lifted and set again, whatever the selection answered
      EXPECT_EQ(panel.Count(kPanelRequest), 2);
      EXPECT_TRUE(panel.Protected());
      EXPECT_EQ(panel.Count(kImageWrite) > 0, c.route != nullptr);
    }
    if (request[0] == "s") {
      EXPECT_EQ(fs::exists(panel.Path("saved.fp")), c.exitCode == 0);
    }
  }
}

// druxsvc in the background, its input a pipe that stays open (a question waits for its
// answer). With a signal: once the output shows `text`, the signal until the program ends (one
// that comes before the program blocks in a read goes unnoticed there). The exit code, -1 when
// the program did not end within 20 seconds.
int RunInBackground(const Panel& panel, std::vector<std::string> arguments,
                    const Environment& environment, const char* text, int signal) {
  int input[2];
  EXPECT_EQ(pipe(input), 0);
  arguments.insert(arguments.begin(), Druxsvc());
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DRUXSIM_DIR", panel.pc.directory().c_str(), 1);
    setenv(environment[0].first.c_str(), environment[0].second.c_str(), 1);
    const int output = open((panel.pc.directory() + "/out.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    dup2(input[0], 0), dup2(output, 1), dup2(output, 2), close(input[1]);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(input[0]);
  int status = -1;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (waitpid(pid, &status, WNOHANG) != pid && std::chrono::steady_clock::now() < end) {
    if (text != nullptr && Has(ReadFileText(panel.pc.directory() + "/out.txt"), text)) {
      kill(pid, signal);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (std::chrono::steady_clock::now() >= end) {
    kill(pid, SIGKILL), waitpid(pid, &status, 0);
  }
  close(input[1]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ExitCase {
  const char* what;
  const char* request;  // action, file name, options
  const char* before;
  bool runningClock;
  const char* signalAfter;  // the output that the signal waits for; nullptr: no signal
  int signal;
  int exitCode;
  std::string lines;  // in this order, each ending the line, separated by '|'
  int panelRequests;  // unprotect and protect that reached the controller
  bool written;       // image blocks were written
  int bounds;         // time bounds waited out, 140 test-clock seconds each at most
};

TEST(ReceiverSafetyE2e, WriteProtectionIsRestoredOnEveryWayOut) {
  const char* kMidWrite = "fault hang 0xc4 write --after 3";  // the idle copy's fourth block
  const std::string kWriteTimeout = "ERROR: Can't write data: DRUX command timeout|";
  const std::string kStop = "ERROR: Interrupted.";
  const std::string kRetry = "WARNING: Retry update before the panel is powered off/on!";
  const std::string kBoth =
      "ERROR: Can't disable write protect: %|ERROR: Can't enable write protect: %";
  const std::string kTimedOut = std::regex_replace(kBoth, std::regex("%"), "DRUX command timeout");
  const std::string kRefused =
      std::regex_replace(kBoth, std::regex("%"), "device failure (does not exist)");
  const char* kAtVersion = "Active version is up-to-date.|Continue with update (y/n): |";
  const char* kAtOverwrite = "File exists already - overwrite (y/n): |";
  const ExitCase cases[] = {
      // clang-format off
      {"Ctrl-C mid-write", "u new.bin -y", kMidWrite, false,
       "Write 655360", SIGINT, 7, kWriteTimeout + kStop, 2, true, 0},
      {"SIGTERM mid-write", "u new.bin -y", kMidWrite, false,
       "Write 655360", SIGTERM, 7, kWriteTimeout + kStop, 2, true, 0},
      {"Ctrl-C at the version question", "u same.bin", "", false,
       "(y/n): ", SIGINT, 7, kAtVersion + kStop, 0, false, 0},
      {"Ctrl-C at the overwrite question", "s same.bin", "", false,
       "(y/n): ", SIGINT, 7, kAtOverwrite + kStop, 0, false, 0},
      {"time-out mid-write", "u new.bin -y", kMidWrite, true,
       nullptr, 0, 6, kWriteTimeout + kRetry, 2, true, 1},
      {"unprotect never answers", "u new.bin -y", "fault hang 0x22", true,
       nullptr, 0, 6, kTimedOut, 2, false, 2},
      {"unprotect refused", "u new.bin -y", "fault error 0x22 0x85", false,
       nullptr, 0, 6, kRefused, 2, false, 0},
      // clang-format on
  };
  for (const ExitCase& c : cases) {
    SCOPED_TRACE(c.what);
    Panel panel(c.before);
    std::vector<std::string> arguments = Split(c.request, ' ');
    arguments.insert(arguments.begin() + 1, {"link", "-p=0"});
    arguments[3] = panel.Path(arguments[3]);
    const std::vector<uint8_t> before = ReadFileBytes(arguments[3]);
    EXPECT_EQ(RunInBackground(panel, arguments, c.runningClock ? kRunningClock : kFrozenClock,
                              c.signalAfter, c.signal),
              c.exitCode);
    const std::string out = ReadFileText(panel.pc.directory() + "/out.txt");
    size_t at = 0;
    for (const std::string& line : Split(c.lines, '|')) {
      at = out.find(line + "\n", at);
      EXPECT_NE(at, std::string::npos) << line << " in order in\n" << out;
    }
    EXPECT_TRUE(c.signalAfter == nullptr || out.ends_with(kStop + "\n")) << out;
    EXPECT_EQ(panel.Count(kPanelRequest), c.panelRequests);
    // The protect went out last, and after a Ctrl-C it was waited for to its end.
    const std::vector<sim::LogEntry> log = panel.pc.CommandLog();
    if (c.panelRequests == 2 && !log.empty()) {
      EXPECT_TRUE(kPanelRequest(log.front()) && kPanelRequest(log.back()));
      EXPECT_TRUE(c.signalAfter == nullptr || log.back().state == 1);
    }
    EXPECT_EQ(panel.Count(kImageWrite) > 0, c.written);
    EXPECT_TRUE(panel.Protected());
    EXPECT_TRUE(Has(panel.pc.Druxsim({"show"}).out, "lock free"));
    EXPECT_EQ(ReadFileBytes(arguments[3]), before) << "the user's file changed";
    std::smatch total;
    std::regex_search(out, total, std::regex("Total time needed: ([0-9]+) seconds"));
    const int seconds = total.empty() ? 0 : std::stoi(total[1]);
    EXPECT_GE(seconds, c.bounds * 120) << out;
    EXPECT_LE(seconds, c.bounds * 140 + 20) << out;
  }
}

}  // namespace
}  // namespace drux::test
