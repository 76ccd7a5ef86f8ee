// What a bulk transfer leaves in the machine directory: a command log that keeps the newest
// entries and counts all, area pages written back only when their bytes changed, and an area
// file that stays open from one page to the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_state_directory_fixture.h"
#include "sim_test_host.h"

namespace {

namespace fs = std::filesystem;

using SimHousekeepingTest = simtest::StateDirectoryTest;

size_t LinesIn(const std::string& path) {
  std::ifstream file(path);
  size_t lines = 0;
  for (std::string line; std::getline(file, line);) {
    ++lines;
  }
  return lines;
}

// Command number n reads the 16-byte flash block n % 0x4000, so the log tells the commands
// apart by their address.
uint16_t AddressOf(size_t n) {
  return uint16_t(n % 0x4000);
}

TEST_F(SimHousekeepingTest, LogKeepsTheNewestEntriesAndCountsAll) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  struct Run {
    size_t commands;
    size_t fileLines;  // after the run
  };
  const Run runs[] = {
      {150000, 150000},  // below twice the kept entries: appended
      {60000, 100000},   // beyond it: cut back to the newest
      {5, 100005},
  };
  size_t total = 0;
  for (const Run& run : runs) {
    SCOPED_TRACE(run.commands);
    NewRun();
    uint8_t block[16];
    for (size_t i = 0; i < run.commands; ++i, ++total) {
      ASSERT_EQ(simtest::Read(0xA0, AddressOf(total), 0, 0, block, 16).status, 0);
    }
    ASSERT_TRUE(sim::Persist());
    EXPECT_EQ(LinesIn(File("log.txt")), run.fileLines);

    NewRun();
    EXPECT_EQ(sim::LogTotal(), total);
    ASSERT_EQ(sim::LogSize(), sim::kLogKeptEntries);
    EXPECT_EQ(sim::LogAt(0).address, AddressOf(total - sim::kLogKeptEntries));
    const sim::LogEntry newest = sim::LogAt(sim::kLogKeptEntries - 1);
    EXPECT_EQ(newest.address, AddressOf(total - 1));
    EXPECT_EQ(newest.size, 16u) << "the fetched reply bytes";
  }
  sim::ClearLog();
  EXPECT_EQ(sim::LogTotal(), 0u);
  EXPECT_EQ(sim::LogSize(), 0u);
}

TEST_F(SimHousekeepingTest, AreaFileIsOpenedOnceAndWrittenOnlyForChangedBytes) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  const std::vector<uint8_t> erased(16, 0xFF);
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::Flash, 0, erased.data(), erased.size()));
  ASSERT_TRUE(sim::Persist());
  EXPECT_FALSE(fs::exists(File("flash.bin"))) << "erased bytes over erased flash";
  const std::vector<uint8_t> data(0x20000, 0x42);
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::Flash, 0, data.data(), data.size()));
  ASSERT_TRUE(sim::Persist());

  NewRun();
  std::vector<uint8_t> page(0x10000);
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, 0, page.data(), page.size()));
  // The next page comes from the file opened for the first, even once its name is gone.
  fs::rename(File("flash.bin"), File("moved.bin"));
  uint8_t byte = 0;
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, 0x10000, &byte, 1));
  EXPECT_EQ(byte, 0x42);
  // The same bytes again leave the page clean: nothing is written back.
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::Flash, 0, page.data(), page.size()));
  ASSERT_TRUE(sim::Persist());
  EXPECT_FALSE(fs::exists(File("flash.bin")));
}

}  // namespace
