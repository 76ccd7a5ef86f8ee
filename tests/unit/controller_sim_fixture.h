// Shared set-up of the controller tests: a fresh simulated controller in memory, an empty
// command log and a zero port access count, so that each test sees only its own traffic.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "controller/command.h"
#include "sim/sim.h"

namespace drux::testing {

inline void StartSimulatedController(const sim::MachineConfig& config) {
  sim::StartInMemory(config);
  sim::ClearFaults();
  sim::ClearLog();
  sim::ClearPortAccessCount();
  sim::ClearProtocolViolations();
}

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { StartSimulatedController(sim::DefaultMachineConfig()); }
  void TearDown() override {
    if (expectCleanProtocol_) {
      EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
    }
    SetDebugTrace(false);
    SetCommandTimeoutSeconds(0);
    ForgetCommandTimeout();
    sim::ClearFaults();
  }

  // Flash contents with a recognisable pattern: byte i of the range is seed + i.
  static std::vector<uint8_t> FillFlash(uint32_t offset, size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) {
      bytes[i] = uint8_t(seed + i);
    }
    EXPECT_TRUE(sim::WriteAreaBytes(sim::Area::Flash, offset, bytes.data(), length));
    return bytes;
  }

  static std::vector<uint8_t> FlashBytes(uint32_t offset, size_t length) {
    std::vector<uint8_t> bytes(length);
    EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, offset, bytes.data(), length));
    return bytes;
  }

  static std::vector<sim::LogEntry> Log() {
    std::vector<sim::LogEntry> entries;
    for (size_t i = 0; i < sim::LogSize(); ++i) {
      entries.push_back(sim::LogAt(i));
    }
    return entries;
  }

  // Bits 0-11 of the command status register (error byte, state, lock) as the controller
  // sees them; reading them costs no port access.
  static uint32_t HostBits() { return sim::CommandStatusValue() & 0xFFF; }

  // The simulator checks the handshake of every command; a test that ends a command early on
  // purpose turns the check off.
  bool expectCleanProtocol_ = true;
};

}  // namespace drux::testing
