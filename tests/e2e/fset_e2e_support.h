// Shared pieces of the factory-settings end-to-end tests: the programs, records put into the
// simulated PC with the druxsim tool, and the EEPROM bytes and commands afterwards.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim.h"
#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {

inline constexpr const char* kPcPowerCycle =
    "*** The PC must be powered off/on to take over the changes!***\n"
    "    (if option -r is specified, the device is rebooted)\n";

// druxsim fset with the arguments; the test fails when the tool refuses them.
inline void PutRecord(const SimulatedPc& pc, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "fset");
  ProgramOutput result = pc.Druxsim(arguments);
  ASSERT_EQ(result.exitCode, 0) << result.err;
}

// Bytes of a factory-settings EEPROM of the PC (panel -1) or of a panel, as persisted.
inline std::vector<uint8_t> EepromBytes(const SimulatedPc& pc, int device, uint32_t offset,
                                        size_t length, int panel = -1) {
  EXPECT_TRUE(sim::AttachDirectory(pc.directory().c_str()));
  std::vector<uint8_t> bytes(length);
  EXPECT_TRUE(
      sim::ReadAreaBytes(panel < 0 ? sim::Area::ModuleSettings : sim::Area::PanelModuleSettings,
                         uint32_t(device) * sim::kSettingsDeviceSize + offset, bytes.data(), length,
                         panel < 0 ? 0 : panel));
  return bytes;
}

// Write commands that reached the factory-settings EEPROMs (0x63, 0x73).
inline size_t EepromWrites(const SimulatedPc& pc) {
  size_t writes = 0;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    writes += !entry.read && (entry.code == 0x63 || entry.code == 0x73) ? 1 : 0;
  }
  return writes;
}

inline uint8_t SumOf(const std::vector<uint8_t>& bytes, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length && i < bytes.size(); ++i) {
    sum = uint8_t(sum + bytes[i]);
  }
  return sum;
}

inline uint32_t LittleEndian32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
         uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

// The programs read '/' as an option mark, so files are named relative to the working
// directory, which the child processes inherit from the test.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path) {
    char* previous = getcwd(nullptr, 0);
    previous_ = previous != nullptr ? previous : ".";
    std::free(previous);
    EXPECT_EQ(chdir(path.c_str()), 0);
  }
  ~WorkingDirectory() { EXPECT_EQ(chdir(previous_.c_str()), 0); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::string previous_;
};

// Offsets of the FACT header fields in a record whose header sits at 32.
inline constexpr size_t kFactAt = 32;
inline constexpr size_t kParentIdAt = kFactAt + 81;
inline constexpr size_t kSerialAt = kFactAt + 25;
inline constexpr size_t kHardwareRevisionAt = kFactAt + 20;

}  // namespace drux::test
