// Child processes for the end-to-end tests: posix_spawn with three pipes, no shell.
#include "tests/support/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace drux::test {
namespace {

struct Pipe {
  int read = -1;
  int write = -1;
};

Pipe MakePipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
  }
  return Pipe{fds[0], fds[1]};
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) {
    close(fd);
    fd = -1;
  }
}

// The test process's environment with the invocation's settings put over it.
std::vector<std::string> BuildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& settings) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text(*entry);
    std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& setting : settings) {
      replaced = replaced || setting.first == name;
    }
    if (!replaced) {
      entries.push_back(text);
    }
  }
  for (const auto& setting : settings) {
    entries.push_back(setting.first + "=" + setting.second);
  }
  return entries;
}

std::vector<char*> PointerVector(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

pid_t Spawn(const ProgramInvocation& invocation, const Pipe& input, const Pipe& output,
            const Pipe& error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input.read, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output.write, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, invocation.mergeStreams ? output.write : error.write,
                                   STDERR_FILENO);

  std::vector<std::string> argumentTexts{invocation.path};
  argumentTexts.insert(argumentTexts.end(), invocation.arguments.begin(),
                       invocation.arguments.end());
  std::vector<std::string> environmentTexts = BuildEnvironment(invocation.environment);
  std::vector<char*> argv = PointerVector(argumentTexts);
  std::vector<char*> envp = PointerVector(environmentTexts);

  pid_t pid = -1;
  int result =
      posix_spawn(&pid, invocation.path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    throw std::runtime_error("posix_spawn " + invocation.path + ": " + std::strerror(result));
  }
  return pid;
}

// Feeds the input and drains both output pipes together, so that neither side can block the
// other; gives up at the deadline.
bool Exchange(const std::string& input, int inputFd, int outputFd, int errorFd,
              ProgramOutput& result, std::chrono::steady_clock::time_point deadline) {
  size_t written = 0;
  if (input.empty()) {
    CloseIfOpen(inputFd);
  } else {
    fcntl(inputFd, F_SETFL, fcntl(inputFd, F_GETFL) | O_NONBLOCK);
  }
  char buffer[4096];
  while (outputFd >= 0 || errorFd >= 0) {
    auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (remaining.count() <= 0) {
      CloseIfOpen(inputFd);
      CloseIfOpen(outputFd);
      CloseIfOpen(errorFd);
      return false;
    }
    pollfd fds[3] = {{outputFd, POLLIN, 0}, {errorFd, POLLIN, 0}, {inputFd, POLLOUT, 0}};
    if (poll(fds, 3, static_cast<int>(remaining.count())) < 0 && errno != EINTR) {
      throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
    }
    if (inputFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      ssize_t n = write(inputFd, input.data() + written, input.size() - written);
      if (n > 0) {
        written += static_cast<size_t>(n);
      }
      // A program that stops reading early is fine: the rest of the input is dropped.
      if (written == input.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        CloseIfOpen(inputFd);
      }
    }
    int* fdsToRead[2] = {&outputFd, &errorFd};
    std::string* targets[2] = {&result.out, &result.err};
    for (int i = 0; i < 2; ++i) {
      if (*fdsToRead[i] >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        ssize_t n = read(*fdsToRead[i], buffer, sizeof buffer);
        if (n > 0) {
          targets[i]->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          CloseIfOpen(*fdsToRead[i]);
        }
      }
    }
  }
  CloseIfOpen(inputFd);
  return true;
}

}  // namespace

ProgramOutput RunProgram(const ProgramInvocation& invocation) {
  // A child that exits before reading all of its input must not kill the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  Pipe input = MakePipe();
  Pipe output = MakePipe();
  Pipe error = MakePipe();
  pid_t pid = Spawn(invocation, input, output, error);
  CloseIfOpen(input.read);
  CloseIfOpen(output.write);
  CloseIfOpen(error.write);

  ProgramOutput result;
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(invocation.timeLimitSeconds);
  if (!Exchange(invocation.input, input.write, output.read, error.read, result, deadline)) {
    kill(pid, SIGKILL);
    result.timedOut = true;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "drux-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
  }
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace drux::test
