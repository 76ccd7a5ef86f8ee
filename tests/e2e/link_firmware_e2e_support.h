// A simulated PC whose programs run in its own directory, so that default file names land
// there, with the druxsim steps the link firmware tests share.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {

class LinkFirmwareE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::current_path();
    std::filesystem::current_path(pc_.directory());
  }
  void TearDown() override { std::filesystem::current_path(home_); }

  void Sim(std::vector<std::string> arguments) {
    const ProgramOutput result = pc_.Druxsim(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
  }
  ProgramOutput Run(const std::string& program, std::vector<std::string> arguments,
                    const std::string& input = "") {
    return pc_.Run(program, std::move(arguments), input, kFrozenClock);
  }
  // Commands of this code that wrote to the controller.
  int Writes(uint32_t code) const {
    int writes = 0;
    for (const sim::LogEntry& entry : pc_.CommandLog()) {
      writes += (entry.code == code && !entry.read) ? 1 : 0;
    }
    return writes;
  }
  std::string Show() { return pc_.Druxsim({"show"}).out; }

  SimulatedPc pc_;
  std::filesystem::path home_;
};

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace drux::test
