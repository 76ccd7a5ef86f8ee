// The controller's own firmware in the simulated flash: the factory image of the default
// machine, the update commands that write the idle copy, and the take-over at a power cycle.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controller/command.h"
#include "sim_state_directory_fixture.h"
#include "tests/unit/firmware_test_support.h"
#include "transfer/transfer_engine.h"

namespace {

using Bytes = std::vector<uint8_t>;
using SimDruxFirmwareTest = simtest::StateDirectoryTest;

constexpr uint32_t kHighArea = 1u << 8;

Bytes Flash(uint32_t offset, size_t length) {
  Bytes bytes(length);
  EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, offset, bytes.data(), length));
  return bytes;
}

void StartMachine(const char* pc) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  ASSERT_TRUE(sim::ApplySetting(config, "pc", pc));
  sim::StartInMemory(config);
}

uint8_t Reboot() {
  uint8_t errorByte = 0;
  drux::WriteCommand(0x50, 0, 3, 1, nullptr, 0, &errorByte);
  return errorByte;
}

TEST_F(SimDruxFirmwareTest, DefaultMachineShipsAnIntactImageInItsLowArea) {
  NewRun();
  const Bytes low = Flash(0x300000, 0x300000);
  EXPECT_EQ(std::string(low.begin() + 16, low.begin() + 24), "EX6F0105");
  EXPECT_EQ(drux::Crc16(0xFFFF, &low[16], 16), 0);
  EXPECT_EQ(drux::Crc16(0xFFFF, low.data(), low.size()), 0);
  EXPECT_EQ(Flash(0x600000, 0x300000), Bytes(0x300000, 0xFF));
  EXPECT_EQ(Flash(0, 0x10000), Bytes(0x10000, 0xFF));
  // Written out with the machine: a later run reads the same image from the files.
  ASSERT_TRUE(sim::Persist());
  NewRun();
  EXPECT_EQ(Flash(0x300000, 0x300000), low);
}

TEST_F(SimDruxFirmwareTest, UpdateCommandsWriteTheIdleCopy) {
  const struct {
    const char* pc;
    uint8_t code;
    uint32_t block;
    uint32_t idleStart;
    uint8_t beyondError;  // a 1 MiB image needs no code beyond 0xB3
  } cases[] = {
      {"EX41", 0xB0, 16, 0x200000, 0x81},
      {"EX64", 0xB8, 256, 0x600000, 0x83},
  };
  for (const auto& c : cases) {
    StartMachine(c.pc);
    uint8_t payload[256];
    for (size_t i = 0; i < sizeof payload; ++i) {
      payload[i] = uint8_t(i + 1);
    }
    uint8_t errorByte = 0;
    ASSERT_EQ(drux::WriteCommand(c.code, 2, 0, 0, payload, c.block, &errorByte), 0) << c.pc;
    EXPECT_EQ(Flash(c.idleStart + 2 * c.block, c.block), Bytes(payload, payload + c.block));
    uint8_t back[256] = {};
    ASSERT_EQ(drux::ReadCommand(c.code, 2, 0, 0, back, c.block, &errorByte), 0) << c.pc;
    EXPECT_EQ(std::memcmp(back, payload, c.block), 0) << c.pc;
    // The block behind the image and a wrong device are refused.
    const uint32_t blocksInImage = (c.code == 0xB0 ? 0x100000u : 0x300000u) / c.block;
    const uint8_t beyond = uint8_t(c.code + (blocksInImage >> 14));
    EXPECT_EQ(
        drux::WriteCommand(beyond, blocksInImage & 0x3FFF, 0, 0, payload, c.block, &errorByte),
        drux::kStatusFailed)
        << c.pc;
    EXPECT_EQ(errorByte, c.beyondError) << c.pc;
    EXPECT_EQ(drux::WriteCommand(c.code, 0, 1, 0, payload, c.block, &errorByte),
              drux::kStatusFailed);
  }
  StartMachine("3");  // a PC type without DRUX firmware
  uint8_t payload[256] = {};
  uint8_t errorByte = 0;
  EXPECT_EQ(drux::WriteCommand(0xB8, 0, 0, 0, payload, 256, &errorByte), drux::kStatusFailed);
  EXPECT_EQ(errorByte, 0x83);
}

// The idle copy runs after a power cycle when it is intact and counts more updates.
TEST_F(SimDruxFirmwareTest, PowerCycleTakesOverAnUpdatedImage) {
  using drux::testing::ImageRecipe;
  using drux::testing::MakeImage;
  Bytes brokenImage = MakeImage(ImageRecipe{0x100000, "EX4F", "0207", 5});
  brokenImage[0x8000] ^= 1;
  const struct {
    std::string label;
    Bytes image;
    bool takenOver;
  } cases[] = {
      {"newer", MakeImage(ImageRecipe{0x100000, "EX4F", "0207", 5}), true},
      {"same counter", MakeImage(ImageRecipe{0x100000, "EX4F", "0207", 4}), false},
      {"broken", brokenImage, false},
  };
  for (const auto& c : cases) {
    StartMachine("EX41");
    sim::MachineConfig config = sim::Config();
    config.updateCounter = 4;
    sim::UpdateConfig(config);
    ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::Flash, 0x200000, c.image.data(), c.image.size()));
    EXPECT_EQ(Reboot(), 0) << c.label;
    const sim::MachineConfig& after = sim::Config();
    EXPECT_EQ((after.systemFlags & kHighArea) != 0, c.takenOver) << c.label;
    EXPECT_EQ(after.updateCounter, c.takenOver ? 5u : 4u) << c.label;
    EXPECT_EQ(after.firmwareVersion, c.takenOver ? 0x0207 : 0x0105) << c.label;
  }
}

}  // namespace
