// Runs a built program as a child process: arguments, text on its standard input and extra
// environment settings in; standard output, error stream and exit code out, each separately.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace drux::test {

struct ProgramOutput {
  std::string out;
  std::string err;
  int exitCode = -1;      // -1 when the program did not exit normally
  bool timedOut = false;  // killed after the time limit
};

struct ProgramInvocation {
  std::string path;
  std::vector<std::string> arguments;  // without the program name
  std::string input;                   // the whole standard input; it ends after this text
  // Settings added to (or replacing those of) the test process's environment.
  std::vector<std::pair<std::string, std::string>> environment;
  int timeLimitSeconds = 30;
  // Both streams into `out`, in the order the program wrote them.
  bool mergeStreams = false;
};

// Starts the program without a shell and collects everything it writes.
ProgramOutput RunProgram(const ProgramInvocation& invocation);

// Paths of the built programs. The end-to-end target defines where they are.
#if defined(DRUX_BIN_DIR) && defined(DRUX_TEST_BIN_DIR)
inline std::string ProgramPath(const std::string& name) {
  return std::string(DRUX_BIN_DIR) + "/" + name;
}
inline std::string TestProgramPath(const std::string& name) {
  return std::string(DRUX_TEST_BIN_DIR) + "/" + name;
}
#endif

// A fresh directory under the system's temporary directory, removed with the object.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace drux::test
