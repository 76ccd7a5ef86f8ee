// Memory areas in blocks: alignment, address extension, busy retries and the indirect path.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controller/block_access.h"
#include "controller/command.h"
#include "controller_sim_fixture.h"

namespace drux {
namespace {

using testing::ControllerTest;

MemoryArea FlashArea(uint32_t start, uint32_t size, bool largeBlocks) {
  MemoryArea area{};
  area.command = largeBlocks ? 0xE0 : 0xA0;
  area.start = start;
  area.size = size;
  area.largeBlocks = largeBlocks ? 1 : 0;
  return area;
}

struct AlignmentCase {
  uint32_t start;
  uint32_t size;
  bool largeBlocks;
  const char* message;
};

TEST_F(ControllerTest, MisalignedAreasAreRefusedWithoutACommand) {
  const AlignmentCase cases[] = {
      {0x18, 16, false, "ERROR: Invalid address 0x18 (must be multiple of 16).\n"},
      {0, 0x108, true, "ERROR: Invalid size 264h (must be multiple of 256).\n"},
      {0x80, 0x100, true, "ERROR: Invalid address 0x80 (must be multiple of 256).\n"},
      {0x10, 8, false, "ERROR: Invalid size 8h (must be multiple of 16).\n"},
      {0x18, 8, false, "ERROR: Invalid address 0x18 (must be multiple of 16).\n"},
  };
  std::vector<uint8_t> buffer(0x200, 0xEE);
  for (const AlignmentCase& c : cases) {
    for (bool read : {true, false}) {
      uint8_t errorByte = 0x5A;
      const MemoryArea area = FlashArea(c.start, c.size, c.largeBlocks);
      ::testing::internal::CaptureStderr();
      const int status = read ? ReadArea(area, buffer.data(), &errorByte)
                              : WriteArea(area, buffer.data(), &errorByte);
      EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
      EXPECT_EQ(status, -1);
      EXPECT_EQ(errorByte, 0x5A);
    }
  }
  EXPECT_EQ(sim::PortAccessCount(), 0u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(0x200, 0xEE));
}

TEST_F(ControllerTest, EmptyAreaSendsNothing) {
  uint8_t errorByte = 0;
  EXPECT_EQ(ReadArea(FlashArea(0x100, 0, true), nullptr, &errorByte), 0);
  EXPECT_EQ(WriteArea(FlashArea(0x10, 0, false), nullptr, &errorByte), 0);
  EXPECT_EQ(sim::PortAccessCount(), 0u);
}

TEST_F(ControllerTest, ReadAreaMovesEveryBlockInOrder) {
  const std::vector<uint8_t> flash = FillFlash(0x1000, 0x300, 9);
  for (bool large : {false, true}) {
    sim::ClearLog();
    std::vector<uint8_t> buffer(0x300);
    uint8_t errorByte = 0;
    ASSERT_EQ(ReadArea(FlashArea(0x1000, 0x300, large), buffer.data(), &errorByte), 0);
    EXPECT_EQ(buffer, flash);
    const uint32_t blockSize = large ? 256 : 16;
    ASSERT_EQ(sim::LogSize(), 0x300 / blockSize);
    for (size_t i = 0; i < sim::LogSize(); ++i) {
      EXPECT_EQ(sim::LogAt(i).address, 0x1000 / blockSize + i);
      EXPECT_EQ(sim::LogAt(i).code, large ? 0xE0 : 0xA0);
    }
  }
}

TEST_F(ControllerTest, WriteAreaReachesTheFlash) {
  std::vector<uint8_t> data(0x200);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = uint8_t(i * 7 + 3);
  }
  uint8_t errorByte = 0;
  ASSERT_EQ(WriteArea(FlashArea(0x2000, 0x100, false), data.data(), &errorByte), 0);
  ASSERT_EQ(WriteArea(FlashArea(0x2100, 0x100, true), data.data() + 0x100, &errorByte), 0);
  EXPECT_EQ(FlashBytes(0x2000, 0x200), data);
}

// The block index above 14 bits goes into the command code.
TEST_F(ControllerTest, BlockIndexBeyondFourteenBitsRaisesTheCommand) {
  const std::vector<uint8_t> flash = FillFlash(0x3FFF0, 32, 0x40);
  std::vector<uint8_t> buffer(32);
  uint8_t errorByte = 0;
  ASSERT_EQ(ReadArea(FlashArea(0x3FFF0, 32, false), buffer.data(), &errorByte), 0);
  EXPECT_EQ(buffer, flash);
  const std::vector<sim::LogEntry> log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].code, 0xA0);
  EXPECT_EQ(log[0].address, 0x3FFF);
  EXPECT_EQ(log[1].code, 0xA1);
  EXPECT_EQ(log[1].address, 0x0000);
}

TEST_F(ControllerTest, BusyBlockIsRetriedTwice) {
  const std::vector<uint8_t> flash = FillFlash(0, 32, 1);
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::Busy, 0xA0, 0, 2}));
  std::vector<uint8_t> buffer(32);
  uint8_t errorByte = 0;
  ASSERT_EQ(ReadArea(FlashArea(0, 32, false), buffer.data(), &errorByte), 0);
  EXPECT_EQ(buffer, flash);
  const std::vector<sim::LogEntry> log = Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].errorByte, 0x84);
  EXPECT_EQ(log[1].errorByte, 0x84);
  EXPECT_EQ(log[2].address, 0);
  EXPECT_EQ(log[2].state, 1);
  EXPECT_EQ(log[3].address, 1);
}

TEST_F(ControllerTest, ThirdBusyAnswerEndsTheTransfer) {
  FillFlash(0, 32, 1);
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::Busy, 0xA0, 0, 3}));
  std::vector<uint8_t> buffer(32, 0xEE);
  uint8_t errorByte = 0;
  EXPECT_EQ(ReadArea(FlashArea(0, 32, false), buffer.data(), &errorByte), -3);
  EXPECT_EQ(errorByte, 0x84);
  EXPECT_EQ(sim::LogSize(), 3u) << "three attempts at block 0, block 1 never sent";
  EXPECT_EQ(buffer, std::vector<uint8_t>(32, 0xEE));
}

TEST_F(ControllerTest, OtherFailuresAreNotRetried) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0xE0, 0x85, 0}));
  std::vector<uint8_t> buffer(512);
  uint8_t errorByte = 0;
  EXPECT_EQ(WriteArea(FlashArea(0, 512, true), buffer.data(), &errorByte), -3);
  EXPECT_EQ(errorByte, 0x85);
  EXPECT_EQ(sim::LogSize(), 1u);
}

// Panel data of target 3 above the direct range: index to 0x3FF1, block through 0x3FF2.
MemoryArea IndirectPanelArea(uint32_t start, uint32_t size) {
  MemoryArea area{};
  area.command = 0x20;
  area.target = 3;
  area.device = 1;
  area.start = start;
  area.size = size;
  area.indirect = 1;
  return area;
}

TEST_F(ControllerTest, IndirectBlocksGoThroughTheAddressRegisters) {
  std::vector<uint8_t> data(32);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = uint8_t(0xA0 + i);
  }
  uint8_t errorByte = 0;
  ASSERT_EQ(WriteArea(IndirectPanelArea(0x50000, 32), data.data(), &errorByte), 0);
  std::vector<uint8_t> back(32);
  ASSERT_EQ(ReadArea(IndirectPanelArea(0x50000, 32), back.data(), &errorByte), 0);
  EXPECT_EQ(back, data);

  const std::vector<sim::LogEntry> log = Log();
  ASSERT_EQ(log.size(), 8u);
  for (size_t i = 0; i < log.size(); ++i) {
    const bool indexWrite = i % 2 == 0;
    EXPECT_EQ(log[i].code, 0x20) << i;
    EXPECT_EQ(log[i].target, 3) << i;
    EXPECT_EQ(log[i].device, 1) << i;
    EXPECT_EQ(log[i].address, indexWrite ? 0x3FF1 : 0x3FF2) << i;
    EXPECT_EQ(log[i].size, indexWrite ? 4 : 16) << i;
    EXPECT_EQ(log[i].read, !indexWrite && i >= 4) << i;
  }
}

// The index travels little-endian: a block written indirectly at a low index reads back
// through direct addressing.
TEST_F(ControllerTest, IndirectIndexMatchesDirectAddressing) {
  std::vector<uint8_t> data(16);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = uint8_t(0x11 * i);
  }
  uint8_t errorByte = 0;
  ASSERT_EQ(WriteArea(IndirectPanelArea(0x1230, 16), data.data(), &errorByte), 0);
  MemoryArea direct = IndirectPanelArea(0x1230, 16);
  direct.indirect = 0;
  std::vector<uint8_t> back(16);
  ASSERT_EQ(ReadArea(direct, back.data(), &errorByte), 0);
  EXPECT_EQ(back, data);
}

// The blocks at the registers' own addresses take the indirect path in a direct area of the
// panel flash, and only there; the blocks around them stay direct.
TEST_F(ControllerTest, RegisterBlocksOfThePanelFlashGoIndirect) {
  struct Step {
    uint16_t address;
    uint16_t size;
  };
  const struct {
    const char* label;
    uint16_t command;
    uint16_t target;
    std::vector<Step> steps;
  } cases[] = {
      {"panel flash",
       0x20,
       3,
       {{0x3FF0, 16}, {0x3FF1, 4}, {0x3FF2, 16}, {0x3FF1, 4}, {0x3FF2, 16}, {0x3FF3, 16}}},
      {"controller flash", 0xA0, 0, {{0x3FF0, 16}, {0x3FF1, 16}, {0x3FF2, 16}, {0x3FF3, 16}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    MemoryArea area{};
    area.command = c.command;
    area.target = c.target;
    area.device = c.target == 3 ? 1 : 0;
    area.start = 0x3FF00;
    area.size = 64;
    std::vector<uint8_t> data(64);
    for (size_t i = 0; i < data.size(); ++i) {
      data[i] = uint8_t(0x30 + i);
    }
    for (const bool write : {true, false}) {
      sim::ClearLog();
      uint8_t errorByte = 0;
      std::vector<uint8_t> back(64);
      ASSERT_EQ(write ? WriteArea(area, data.data(), &errorByte)
                      : ReadArea(area, back.data(), &errorByte),
                0);
      if (!write) {
        EXPECT_EQ(back, data);
      }
      const std::vector<sim::LogEntry> log = Log();
      ASSERT_EQ(log.size(), c.steps.size());
      for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].code, c.command) << i;
        EXPECT_EQ(log[i].address, c.steps[i].address) << i;
        EXPECT_EQ(log[i].size, c.steps[i].size) << i;
        EXPECT_EQ(log[i].read, !write && c.steps[i].size != 4) << i;
      }
    }
  }
}

TEST_F(ControllerTest, FailingIndexWriteSkipsTheDataCommand) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0x20, 0x83, 0}));
  std::vector<uint8_t> buffer(32, 0xEE);
  uint8_t errorByte = 0;
  EXPECT_EQ(ReadArea(IndirectPanelArea(0x50000, 32), buffer.data(), &errorByte), -3);
  EXPECT_EQ(errorByte, 0x83);
  ASSERT_EQ(sim::LogSize(), 1u);
  EXPECT_EQ(sim::LogAt(0).address, 0x3FF1);
  EXPECT_EQ(buffer, std::vector<uint8_t>(32, 0xEE));
}

// The transfer engine's chunk: 10240 bytes as 640 small or 40 large blocks.
TEST_F(ControllerTest, ChunkCostsOneHandshakePerBlock) {
  std::vector<uint8_t> buffer(10240);
  uint8_t errorByte = 0;
  ASSERT_EQ(ReadArea(FlashArea(0, 10240, false), buffer.data(), &errorByte), 0);
  EXPECT_EQ(sim::PortAccessCount(), 640u * 38u);
  sim::ClearPortAccessCount();
  ASSERT_EQ(ReadArea(FlashArea(0, 10240, true), buffer.data(), &errorByte), 0);
  EXPECT_EQ(sim::PortAccessCount(), 40u * 278u);
  sim::ClearPortAccessCount();
  ASSERT_EQ(WriteArea(FlashArea(0x10000, 10240, true), buffer.data(), &errorByte), 0);
  EXPECT_EQ(sim::PortAccessCount(), 40u * 278u);
}

}  // namespace
}  // namespace drux
