// Tests of the simulated machine in a state directory: a fresh directory per test (not yet
// created, so that the tests see when the model creates it), runs that attach it afresh, and
// the files the model keeps there.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/file_contents.h"
#include "tests/support/program_runner.h"

namespace simtest {

class StateDirectoryTest : public ::testing::Test {
 protected:
  void TearDown() override { sim::StartInMemory(sim::DefaultMachineConfig()); }

  // A new run of a program: attach the directory afresh (nothing cached from before).
  void NewRun() {
    sim::StartInMemory(sim::DefaultMachineConfig());
    ASSERT_TRUE(sim::AttachDirectory(directory_.c_str()));
  }

  std::string File(const char* name) const { return directory_ + "/" + name; }
  std::vector<uint8_t> FileBytes(const char* name) const {
    return drux::test::ReadFileBytes(File(name));
  }
  std::string FileText(const char* name) const { return drux::test::ReadFileText(File(name)); }

  drux::test::TemporaryDirectory root_;
  const std::string directory_ = root_.path() + "/machine";
};

}  // namespace simtest
