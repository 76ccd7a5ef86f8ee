// The command handshake at port level against the simulated controller.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "controller/command.h"
#include "controller/registers.h"
#include "controller_sim_fixture.h"
#include "platform/platform.h"

namespace drux {
namespace {

using testing::ControllerTest;

constexpr uint32_t kFlashSmallBlocks = 0xA0;
constexpr uint32_t kFlashLargeBlocks = 0xE0;

struct CommandWordCase {
  uint32_t code, address, device, target;
  bool read;
  uint32_t word;
};

TEST(CommandWord, FieldsAndMasks) {
  const CommandWordCase cases[] = {
      {0x61, 0x100, 3, 0, true, 0x61034100},          {0x61, 0x100, 3, 0, false, 0x61030100},
      {0x1FF, 0x7FFF, 0x1F, 0x1F, false, 0xFFFF3FFF},  // every field masked, no read flag
      {0xE0, 0x4000, 0, 0, true, 0xE0004000},          // address bit 14 is not the read flag
      {0x20, 0x3FF2, 5, 3, true, 0x20357FF2},
  };
  for (const CommandWordCase& c : cases) {
    EXPECT_EQ(CommandWord(c.code, c.address, c.device, c.target, c.read), c.word)
        << std::hex << c.word;
  }
}

TEST_F(ControllerTest, CommandFieldsReachTheController) {
  uint8_t reply[4] = {};
  uint8_t errorByte = 0;
  ReadCommand(0x61, 0x100, 3, 0, reply, sizeof reply, &errorByte);
  ASSERT_EQ(sim::LogSize(), 1u);
  const sim::LogEntry entry = sim::LogAt(0);
  EXPECT_EQ(entry.code, 0x61);
  EXPECT_EQ(entry.address, 0x100);
  EXPECT_EQ(entry.device, 3);
  EXPECT_EQ(entry.target, 0);
  EXPECT_TRUE(entry.read);
}

// Up to 16 bytes travel through the small window, more through the large one; the data must
// be the flash bytes either way.
TEST_F(ControllerTest, ReadChoosesTheWindowBySize) {
  const std::vector<uint8_t> flash = FillFlash(0x100, 256, 0x30);
  for (uint32_t size : {1u, 16u, 17u, 255u, 256u}) {
    sim::ClearLog();
    std::vector<uint8_t> buffer(size, 0);
    uint8_t errorByte = 0xEE;
    const uint32_t code = size <= 16 ? kFlashSmallBlocks : kFlashLargeBlocks;
    const uint32_t block = size <= 16 ? 0x10 : 0x1;
    ASSERT_EQ(ReadCommand(code, block, 0, 0, buffer.data(), size, &errorByte), 0) << size;
    EXPECT_EQ(errorByte, 0) << size;
    EXPECT_EQ(buffer, std::vector<uint8_t>(flash.begin(), flash.begin() + size)) << size;
    ASSERT_EQ(sim::LogSize(), 1u);
    EXPECT_EQ(sim::LogAt(0).size, size) << "bytes moved through the window";
  }
}

TEST_F(ControllerTest, WriteChoosesTheWindowBySize) {
  std::vector<uint8_t> small(16);
  std::vector<uint8_t> large(256);
  for (size_t i = 0; i < large.size(); ++i) {
    large[i] = uint8_t(0x5A ^ i);
    small[i % 16] = uint8_t(0xC0 + i % 16);
  }
  uint8_t errorByte = 0;
  ASSERT_EQ(WriteCommand(kFlashSmallBlocks, 0x20, 0, 0, small.data(), 16, &errorByte), 0);
  ASSERT_EQ(WriteCommand(kFlashLargeBlocks, 0x3, 0, 0, large.data(), 256, &errorByte), 0);
  EXPECT_EQ(FlashBytes(0x200, 16), small);
  EXPECT_EQ(FlashBytes(0x300, 256), large);
  ASSERT_EQ(sim::LogSize(), 2u);
  EXPECT_FALSE(sim::LogAt(0).read);
  EXPECT_EQ(sim::LogAt(0).size, 16);
  EXPECT_EQ(sim::LogAt(1).size, 256);
}

// What a command costs at the ports: claim 8, payload n, command word 4, one poll 2,
// reply n, release 8.
struct AccessCostCase {
  bool read;
  uint32_t code;
  uint32_t size;
  uint64_t accesses;
};

TEST_F(ControllerTest, CommandCostsExactlyTheHandshake) {
  const AccessCostCase cases[] = {
      {true, kFlashSmallBlocks, 16, 38},
      {true, kFlashLargeBlocks, 256, 278},
      {false, kFlashSmallBlocks, 16, 38},
      {false, kFlashLargeBlocks, 256, 278},
  };
  std::vector<uint8_t> buffer(256, 0xFF);
  for (const AccessCostCase& c : cases) {
    sim::ClearPortAccessCount();
    uint8_t errorByte = 0;
    const int status = c.read ? ReadCommand(c.code, 1, 0, 0, buffer.data(), c.size, &errorByte)
                              : WriteCommand(c.code, 1, 0, 0, buffer.data(), c.size, &errorByte);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(sim::PortAccessCount(), c.accesses)
        << (c.read ? "read " : "write ") << c.size << " bytes";
  }
}

TEST_F(ControllerTest, CommandWithoutPayloadCostsTheBareHandshake) {
  uint8_t errorByte = 0;
  WriteCommand(0x7F, 0, 0, 0, nullptr, 0, &errorByte);
  EXPECT_EQ(sim::PortAccessCount(), 22u);
  ASSERT_EQ(sim::LogSize(), 1u);
  EXPECT_EQ(sim::LogAt(0).size, 0);
}

TEST_F(ControllerTest, LockedInterfaceIsLeftAlone) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0}));
  sim::ClearPortAccessCount();
  std::vector<uint8_t> buffer(16, 0xEE);
  uint8_t errorByte = 0x5A;
  EXPECT_EQ(ReadCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), -2);
  EXPECT_EQ(sim::PortAccessCount(), 4u) << "only the status register is read";
  EXPECT_EQ(WriteCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), -2);
  EXPECT_EQ(sim::PortAccessCount(), 8u);
  EXPECT_EQ(sim::LogSize(), 0u) << "no command word written";
  EXPECT_EQ(errorByte, 0x5A);
  EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0xEE));
  EXPECT_NE(HostBits() & kStatusLockBit, 0u) << "the lock stays set";
}

TEST_F(ControllerTest, FailedReadLeavesTheBufferAndReleases) {
  FillFlash(0, 16, 1);
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, int(kFlashSmallBlocks), 0x85, 0}));
  sim::ClearPortAccessCount();
  std::vector<uint8_t> buffer(16, 0xEE);
  uint8_t errorByte = 0;
  EXPECT_EQ(ReadCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), -3);
  EXPECT_EQ(errorByte, 0x85);
  EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0xEE));
  EXPECT_EQ(sim::PortAccessCount(), 22u) << "the data window is not read";
  EXPECT_EQ(HostBits(), 0u);
}

TEST_F(ControllerTest, OversizedTransferIsRefusedUntouched) {
  std::vector<uint8_t> buffer(300, 0xEE);
  uint8_t errorByte = 0x5A;
  EXPECT_EQ(ReadCommand(kFlashLargeBlocks, 0, 0, 0, buffer.data(), 257, &errorByte), -1);
  EXPECT_EQ(WriteCommand(kFlashLargeBlocks, 0, 0, 0, buffer.data(), 257, &errorByte), -1);
  EXPECT_EQ(ReadCommand(kFlashLargeBlocks, 0, 0, 0, nullptr, 16, &errorByte), -1);
  EXPECT_EQ(sim::PortAccessCount(), 0u);
  EXPECT_EQ(errorByte, 0x5A);
  EXPECT_EQ(buffer, std::vector<uint8_t>(300, 0xEE));
}

TEST_F(ControllerTest, CommandThatNeverFinishesTimesOutAndReleases) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::NeverFinishes, int(kFlashSmallBlocks), 0, 0}));
  SetCommandTimeoutSeconds(1);
  std::vector<uint8_t> buffer(16, 0xEE);
  uint8_t errorByte = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), -3);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(errorByte, 0x82);
  EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0xEE));
  EXPECT_GE(elapsed, std::chrono::seconds(1));
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(HostBits() & kStatusLockBit, 0u) << "interface released";

  // The rest of the run gives up on the controller at once, even when it has recovered.
  sim::ClearFaults();
  FillFlash(0, 16, 7);
  sim::ClearPortAccessCount();
  errorByte = 0;
  EXPECT_EQ(ReadCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), -3);
  EXPECT_EQ(errorByte, 0x82);
  errorByte = 0;
  EXPECT_EQ(WriteCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), -3);
  EXPECT_EQ(errorByte, 0x82);
  EXPECT_EQ(sim::PortAccessCount(), 0u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0xEE));

  ForgetCommandTimeout();
  EXPECT_EQ(ReadCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), 0);
  EXPECT_EQ(buffer, FlashBytes(0, 16));
}

// The hosted clock advances one second per reading under this setting, so the number of
// clock readings a command makes shows up in the next reading.
class SteppedClock {
 public:
  SteppedClock() { setenv("DRUXSVC_TEST_CLOCK", "0,1", 1); }
  ~SteppedClock() { unsetenv("DRUXSVC_TEST_CLOCK"); }
  SteppedClock(const SteppedClock&) = delete;
  SteppedClock& operator=(const SteppedClock&) = delete;
};

int64_t ClockReadingsDuring(const std::function<void()>& action) {
  const int64_t before = platform::CalendarSeconds();
  action();
  return platform::CalendarSeconds() - before - 1;
}

TEST_F(ControllerTest, FinishedCommandNeverReadsTheClock) {
  SteppedClock clock;
  std::vector<uint8_t> buffer(256);
  uint8_t errorByte = 0;
  EXPECT_EQ(ClockReadingsDuring([&] {
              EXPECT_EQ(ReadCommand(kFlashLargeBlocks, 0, 0, 0, buffer.data(), 256, &errorByte), 0);
              EXPECT_EQ(WriteCommand(kFlashSmallBlocks, 0, 0, 0, buffer.data(), 16, &errorByte), 0);
            }),
            0);
}

TEST_F(ControllerTest, PollLooksAtTheClockOnlyEveryFewThousandPolls) {
  SteppedClock clock;
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::NeverFinishes, sim::kAnyCommand, 0, 0}));
  SetCommandTimeoutSeconds(5);
  uint8_t buffer[16] = {};
  uint8_t errorByte = 0;
  const int64_t readings = ClockReadingsDuring(
      [&] { EXPECT_EQ(ReadCommand(kFlashSmallBlocks, 0, 0, 0, buffer, 16, &errorByte), -3); });
  EXPECT_EQ(errorByte, 0x82);
  // More than five seconds between the first and the last reading, one second per reading.
  EXPECT_GE(readings, 6);
  EXPECT_LE(readings, 8);
  const uint64_t polls = (sim::PortAccessCount() - 20) / 2;  // handshake 20, poll 2
  EXPECT_GE(polls / uint64_t(readings), 1000u);
  EXPECT_EQ(HostBits() & kStatusLockBit, 0u);
}

}  // namespace
}  // namespace drux
