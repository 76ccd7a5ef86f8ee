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
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

namespace fs = std::filesystem;
using Environment = std::vector<std::pair<std::string, std::string>>;

// The clock runs ten seconds a reading, so a hung command reaches the 120-second bound at once.
const Environment kRunningClock = {{"DRUXSVC_TEST_CLOCK", "0,10"}};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

enum class Route { None, Compatible, Module };

// Panel 0 a TPB7x-KVN3R running 2.16 from its link module, its flash write protected.
struct Panel {
  SimulatedPc pc;
  Panel() {
    EXPECT_EQ(pc.Druxsim({"receiver", "0", "0x725C", "version=2.16", "protect=1"}).exitCode, 0);
    EXPECT_EQ(pc.Druxsim({"image", Path("new.bin"), "--id", "KR3D", "--version", "2.17"}).exitCode,
              0);
    EXPECT_EQ(pc.Druxsim({"image", Path("same.bin"), "--id", "KR3D", "--version", "2.16"}).exitCode,
              0);
    EXPECT_EQ(pc.Druxsim({"log", "--clear"}).exitCode, 0);
  }
  // Relative: an argument that begins with '/' is an option.
  std::string Path(const std::string& name) const {
    return fs::relative(pc.directory() + "/" + name).string();
  }
  // A druxsim command before the run, such as a fault; nothing for an empty one.
  void Prepare(const std::vector<std::string>& command) const {
    if (!command.empty()) {
      EXPECT_EQ(pc.Druxsim(command).exitCode, 0);
      EXPECT_EQ(pc.Druxsim({"log", "--clear"}).exitCode, 0);
    }
  }
  std::vector<sim::LogEntry> PanelRequests() const {
    std::vector<sim::LogEntry> requests;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      if (entry.code == 0x22) {
        requests.push_back(entry);
      }
    }
    return requests;
  }
  // Which way the image was reached: the panel's flash (0x20, target 3) or the link module's
  // header and image commands (0x7A, 0xC0-0xC7, 0xD0-0xD7).
  Route RouteTaken() const {
    bool compatible = false;
    bool module = false;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      compatible |= entry.code == 0x20 && entry.target == 3;
      module |= entry.code == 0x7A || (entry.code >= 0xC0 && entry.code < 0xC8) ||
                (entry.code >= 0xD0 && entry.code < 0xD8);
    }
    EXPECT_FALSE(compatible && module) << "both routes in one request";
    return compatible ? Route::Compatible : module ? Route::Module : Route::None;
  }
  // Blocks written to either copy of the image.
  int ImageWrites() const {
    int writes = 0;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      writes += !entry.read && ((entry.code == 0x20 && entry.target == 3) ||
                                (entry.code >= 0xC0 && entry.code < 0xC8));
    }
    return writes;
  }
  bool Protected() const { return Has(pc.Druxsim({"receiver", "0"}).out, "flash protected"); }
  bool InterfaceFree() const { return Has(pc.Druxsim({"show"}).out, "lock free"); }
};

// Words of a text, split at blanks.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}

struct RouteCase {
  const char* what;
  const char* request;  // action and file name
  const char* before;   // druxsim command before the run, "" for none
  bool hang;            // the fault never answers: the running clock lets the bound pass
  int exitCode;
  const char* reason;  // of the selection's failure, nullptr: no error at all
  Route route;
  bool file;  // the save's target file exists afterwards
};

TEST(ReceiverSafetyE2e, RouteIsChosenOnceOnADefiniteAnswer) {
  const std::string kSelect = "ERROR: Can't select panel for module functions: ";
  // The image check selects twice (route, header), the save a third time.
  const char* kLostAtSave = "fault error 0x7f 0x85 --after 2";
  const RouteCase cases[] = {
      // clang-format off
      {"update, panel busy", "u new.bin", "fault busy 0x7f 1", false,
       6, "device busy", Route::None, false},
      {"update, IRQ collision", "u new.bin", "fault error 0x7f 0x80", false,
       6, "IRQ collision", Route::None, false},
      {"update, controller time-out", "u new.bin", "fault error 0x7f 0x82", false,
       6, "DRUX command timeout", Route::None, false},
      {"update, selection never answers", "u new.bin", "fault hang 0x7f", true,
       6, "DRUX command timeout", Route::None, false},
      {"update, no module functions", "u new.bin", "fault error 0x7f 0x85", false,
       0, nullptr, Route::Compatible, false},
      {"update, unknown command", "u new.bin", "fault error 0x7f 0x81", false,
       0, nullptr, Route::Compatible, false},
      {"save, interface locked", "s saved.fp", "fault lock", false,
       6, "DRUX command interface is locked", Route::None, false},
      {"save, panel busy", "s saved.fp", "fault busy 0x7f 1", false,
       6, "device busy", Route::None, false},
      {"save, selection lost after the check", "s saved.fp", kLostAtSave, false,
       6, "device failure (does not exist)", Route::Module, false},
      {"save, no module functions", "s saved.fp", "receiver 0 modules=0", false,
       0, nullptr, Route::Compatible, true},
      {"save, module functions", "s saved.fp", "", false,
       0, nullptr, Route::Module, true},
      {"info, panel busy", "i", "fault busy 0x7f 1", false,
       0, "device busy", Route::None, false},
      {"info, no module functions", "i", "fault error 0x7f 0x85", false,
       0, nullptr, Route::Compatible, false},
      // clang-format on
  };
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.what);
    Panel panel;
    panel.Prepare(Words(c.before));
    const std::vector<std::string> request = Words(c.request);
    std::vector<std::string> arguments = {request[0], "link", "-p=0", "-y"};
    if (request.size() > 1) {
      arguments.push_back(panel.Path(request[1]));
    }
    const ProgramOutput run =
        panel.pc.Run(Druxsvc(), arguments, "", c.hang ? kRunningClock : kFrozenClock, true);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
    if (c.reason != nullptr) {
      EXPECT_TRUE(Has(run.out, kSelect + c.reason + "\n")) << run.out;
    } else {
      EXPECT_FALSE(Has(run.out, "ERROR")) << run.out;
    }
    EXPECT_EQ(panel.RouteTaken(), c.route);
    if (request[0] == "u") {
      // Lifted and set again, whatever the route's answer was.
      EXPECT_EQ(panel.PanelRequests().size(), 2u);
      EXPECT_TRUE(panel.Protected());
      EXPECT_EQ(panel.ImageWrites() > 0, c.route != Route::None);
      EXPECT_EQ(Has(run.out, "powered off/on"), c.route != Route::None) << run.out;
    }
    if (request[0] == "s") {
      EXPECT_EQ(fs::exists(panel.Path("saved.fp")), c.file);
    }
  }
}

// A program in the background in the machine's directory, its streams into one file and its
// standard input a pipe that stays open, so that a question waits for its answer.
class BackgroundRun {
 public:
  BackgroundRun(const Panel& panel, const std::vector<std::string>& arguments,
                const Environment& environment)
      : output_(panel.pc.directory() + "/run.txt") {
    int input[2];
    EXPECT_EQ(pipe(input), 0);
    pid_ = fork();
    if (pid_ == 0) {
      setenv("DRUXSIM_DIR", panel.pc.directory().c_str(), 1);
      for (const auto& [name, value] : environment) {
        setenv(name.c_str(), value.c_str(), 1);
      }
      const int fd = open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(input[0], 0);
      dup2(fd, 1);
      dup2(fd, 2);
      close(input[1]);
      std::vector<std::string> words = arguments;
      words.insert(words.begin(), Druxsvc());
      std::vector<char*> argv;
      for (std::string& word : words) {
        argv.push_back(word.data());
      }
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(input[0]);
    input_ = input[1];
  }
  ~BackgroundRun() { close(input_); }

  std::string Output() const { return ReadFileText(output_); }

  // Once the output shows `text`, the signal until the program ends (one that comes before
  // the program blocks in a read would go unnoticed there). -1 when it never came or did not
  // end.
  int InterruptAfter(const std::string& text, int signal) {
    if (!Within([&] { return Has(Output(), text); })) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      return -1;
    }
    int status = 0;
    const bool ended = Within([&] {
      kill(pid_, signal);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      return waitpid(pid_, &status, WNOHANG) == pid_;
    });
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Without a signal, the exit code.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  template <typename Condition>
  static bool Within(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  std::string output_;
  pid_t pid_ = -1;
  int input_ = -1;
};

int TotalSeconds(const std::string& out) {
  std::smatch match;
  static const std::regex kLine("Total time needed: ([0-9]+) seconds\n");
  return std::regex_search(out, match, kLine) ? std::stoi(match[1]) : 0;
}

struct ExitCase {
  const char* what;
  const char* request;      // action, file name, options
  const char* before;       // druxsim command before the run, "" for none
  bool runningClock;        // a hung command reaches its bound at once
  const char* signalAfter;  // the output that the signal waits for; nullptr: no signal
  int signal;
  int exitCode;
  std::string lines;  // these lines, in this order, separated by '|'
  int panelRequests;  // unprotect and protect that reached the controller
  bool written;       // image blocks were written
  int boundsWaited;   // time bounds that the run waited out, 140 test-clock seconds each
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line, '|');) {
    lines.push_back(line + "\n");
  }
  return lines;
}

std::string Protect(const std::string& change, const std::string& reason) {
  return "ERROR: Can't " + change + " write protect: " + reason;
}

TEST(ReceiverSafetyE2e, WriteProtectionIsRestoredOnEveryWayOut) {
  const char* kMidWrite = "fault hang 0xc4 write --after 3";
  const std::string kTimeout = "DRUX command timeout";
  const std::string kRefused = "device failure (does not exist)";
  const std::string kWriteTimeout = "ERROR: Can't write data: " + kTimeout;
  const std::string kRetry = "WARNING: Retry update before the panel is powered off/on!";
  const std::string kInterrupted = "ERROR: Interrupted.";
  const std::string kBothTimedOut =
      Protect("disable", kTimeout) + "|" + Protect("enable", kTimeout);
  const std::string kBothRefused = Protect("disable", kRefused) + "|" + Protect("enable", kRefused);
  const ExitCase cases[] = {
      // clang-format off
      {"Ctrl-C in the middle of the write", "u new.bin -y", kMidWrite, false,
       "Write 655360 bytes", SIGINT, 7, kWriteTimeout + "|" + kInterrupted, 2, true, 0},
      {"SIGTERM in the middle of the write", "u new.bin -y", kMidWrite, false,
       "Write 655360 bytes", SIGTERM, 7, kWriteTimeout + "|" + kInterrupted, 2, true, 0},
      {"Ctrl-C at the version question", "u same.bin", "", false,
       "(y/n): ", SIGINT, 7,
       "Active version is up-to-date.|Continue with update (y/n): |" + kInterrupted, 0, false, 0},
      {"Ctrl-C at the overwrite question", "s same.bin", "", false,
       "(y/n): ", SIGINT, 7,
       "File exists already - overwrite (y/n): |" + kInterrupted, 0, false, 0},
      {"time-out in the middle of the write", "u new.bin -y", kMidWrite, true,
       nullptr, 0, 6, kWriteTimeout + "|" + kRetry, 2, true, 1},
      {"unprotect never answers", "u new.bin -y", "fault hang 0x22", true,
       nullptr, 0, 6, kBothTimedOut, 2, false, 2},
      {"unprotect refused", "u new.bin -y", "fault error 0x22 0x85", false,
       nullptr, 0, 6, kBothRefused, 2, false, 0},
      // clang-format on
  };
  for (const ExitCase& c : cases) {
    SCOPED_TRACE(c.what);
    Panel panel;
    panel.Prepare(Words(c.before));
    const std::vector<std::string> request = Words(c.request);
    std::vector<std::string> arguments = {request[0], "link", "-p=0", panel.Path(request[1])};
    arguments.insert(arguments.end(), request.begin() + 2, request.end());
    const std::vector<uint8_t> before = ReadFileBytes(arguments[3]);
    BackgroundRun run(panel, arguments, c.runningClock ? kRunningClock : kFrozenClock);
    const int exitCode =
        c.signalAfter != nullptr ? run.InterruptAfter(c.signalAfter, c.signal) : run.Wait();
    const std::string out = run.Output();
    EXPECT_EQ(exitCode, c.exitCode) << out;
    size_t at = 0;
    for (const std::string& line : Lines(c.lines)) {
      at = out.find(line, at);
      EXPECT_NE(at, std::string::npos) << line << " in order in\n" << out;
    }
    if (c.signalAfter != nullptr) {
      EXPECT_TRUE(out.ends_with(kInterrupted + "\n")) << out;
    }
    // The protect went out last, after the unprotect: nothing of the run follows it.
    EXPECT_EQ(int(panel.PanelRequests().size()), c.panelRequests);
    const std::vector<sim::LogEntry> log = panel.pc.CommandLog();
    if (c.panelRequests == 2 && !log.empty()) {
      EXPECT_EQ(log.front().code, 0x22);
      EXPECT_EQ(log.back().code, 0x22);
      if (c.signalAfter != nullptr) {
        EXPECT_EQ(log.back().state, 1) << "the protect's wait was cut short";
      }
    }
    EXPECT_EQ(panel.ImageWrites() > 0, c.written);
    EXPECT_TRUE(panel.Protected());
    EXPECT_TRUE(panel.InterfaceFree());
    EXPECT_EQ(ReadFileBytes(arguments[3]), before) << "the user's file changed";
    const int seconds = TotalSeconds(out);
    // A bound passes within 14 readings of ten seconds; start and end add one.
    EXPECT_GE(seconds, c.boundsWaited * 120) << out;
    EXPECT_LE(seconds, c.boundsWaited * 140 + 20) << out;
  }
}

}  // namespace
}  // namespace drux::test
