// A save writes through a temporary file beside its target: whatever else lies in that
// directory (a file of the user's called like the temporary file) stays untouched, whether the
// save succeeds, is refused or fails, and a target name of the full 255 characters can be
// saved.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kConfigurationBytes = 200976;  // the default machine's key configuration

std::set<std::string> NamesIn(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(SaveTemporaryFileE2e, FilesBesideTheTargetStayUntouched) {
  const std::string longName = std::string(251, 'k') + ".kcf";
  const std::string longTmp = std::string(251, 'k') + ".tmp";  // its temporary name when free
  struct Case {
    const char* what;
    std::string target;
    std::vector<std::string> userFiles;  // hold "mine"
    bool targetIsDirectory;              // refused before the save reads
    std::vector<std::string> fault;      // druxsim fault that ends the save midway
    int exitCode;
  };
  const Case cases[] = {
      {"successful save beside <name>.tmp", "k.kcf", {"k.kcf.tmp"}, false, {}, 0},
      {"refused save beside <name>.tmp", "k.kcf", {"k.kcf.tmp", "k.kcf.1.tmp"}, true, {}, 2},
      // The check reads 12,577 blocks; the save fails in its own read, its file half written.
      {"failed save beside <name>.tmp",
       "k.kcf",
       {"k.kcf.tmp", "k.kcf.1.tmp"},
       false,
       {"fault", "error", "0x20", "0x85", "read", "--after", "20000"},
       6},
      {"255-character name", longName, {}, false, {}, 0},
      {"255-character name beside its temporary name", longName, {longTmp}, false, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatedPc pc;
    TemporaryDirectory work;
    std::set<std::string> expected(c.userFiles.begin(), c.userFiles.end());
    for (const std::string& name : c.userFiles) {
      ASSERT_TRUE(WriteFileBytes(work.path() + "/" + name, {'m', 'i', 'n', 'e'}));
    }
    if (c.targetIsDirectory) {
      fs::create_directory(work.path() + "/" + c.target);
    }
    if (!c.fault.empty()) {
      ASSERT_EQ(pc.Druxsim(c.fault).exitCode, 0);
    }
    if (c.exitCode == 0 || c.targetIsDirectory) {
      expected.insert(c.target);
    }

    // Relative: an argument that begins with '/' is an option.
    const std::string target = fs::relative(work.path() + "/" + c.target).string();
    ProgramOutput save = pc.Run(Druxsvc(), {"s", "kcf", target, "-y"}, "", kFrozenClock);
    EXPECT_EQ(save.exitCode, c.exitCode) << save.err;
    EXPECT_EQ(NamesIn(work.path()), expected);
    for (const std::string& name : c.userFiles) {
      EXPECT_EQ(ReadFileText(work.path() + "/" + name), "mine") << name;
    }
    if (c.exitCode == 0) {
      EXPECT_EQ(ReadFileBytes(target).size(), kConfigurationBytes);
    }
  }
}

}  // namespace
}  // namespace drux::test
