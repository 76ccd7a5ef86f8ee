// The simulated flash-backed FPGA modules (link transmitter, panel converters) through the
// program's own protocol layer: header replies, update writes, take-over at start, CRC state,
// and the image recipes that fill their flash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controller/block_access.h"
#include "controller/command.h"
#include "controller/registers.h"
#include "sim/devices/fpga_image.h"
#include "sim_state_directory_fixture.h"
#include "tests/support/sim_port_registers.h"
#include "transfer/transfer_engine.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSelectPanel = 0x7F;

Bytes Image(sim::ImageFormat format, const char* id, uint32_t version, uint32_t counter,
            uint32_t size) {
  sim::ImageRecipe recipe;
  recipe.format = format;
  std::memcpy(recipe.id, id, 4);
  sim::SetRecipeVersion(recipe, version);
  recipe.counter = counter;
  recipe.size = size;
  recipe.seed = sim::DefaultImageSeed(recipe);
  Bytes image(size);
  sim::FillImage(recipe, 0, image.data(), size);
  return image;
}

struct Header {
  int status;
  uint8_t errorByte;
  std::string idAndVersion;
  uint32_t counter;
  uint16_t state;
};

// panel -1: the transmitter (0x6A device 3), else the converter of the panel (0x7F, 0x7A).
Header ReadHeader(int panel) {
  Header header{};
  uint8_t reply[16] = {};
  if (panel >= 0) {
    drux::WriteCommand(kSelectPanel, 0, uint32_t(panel), 0, nullptr, 0, &header.errorByte);
  }
  header.status = panel < 0 ? drux::ReadCommand(0x6A, 0, 3, 0, reply, 16, &header.errorByte)
                            : drux::ReadCommand(0x7A, 0, 2, 0, reply, 16, &header.errorByte);
  header.idAndVersion.assign(reinterpret_cast<const char*>(reply), 8);
  header.counter = uint32_t(reply[8]) | uint32_t(reply[9]) << 8 | uint32_t(reply[10]) << 16 |
                   uint32_t(reply[11]) << 24;
  header.state = uint16_t(reply[12] | reply[13] << 8);
  if (header.status == 0) {
    EXPECT_EQ(drux::Crc16(0xFFFF, reply, 16), 0) << "the reply is a valid header";
  }
  return header;
}

uint32_t SystemFlags() {
  return simtest::ReadReg(drux::kPortSystemStatus);
}

// A machine in memory starts erased: its modules get their images written.
void StartWithFactoryImages() {
  sim::StartInMemory(sim::DefaultMachineConfig());
  ASSERT_TRUE(sim::SetUpFpgaModule(-1, 3, "V6K4", 102, 3, false));
  ASSERT_TRUE(sim::SetUpFpgaModule(1, 2, "KR3B", 105, 2, false));
}

using SimFpgaDefaultMachine = simtest::StateDirectoryTest;

TEST_F(SimFpgaDefaultMachine, HasATransmitterAndAConverterOnPanelOne) {
  NewRun();
  Header transmitter = ReadHeader(-1);
  ASSERT_EQ(transmitter.status, 0);
  EXPECT_EQ(transmitter.idAndVersion, "V6K40102");
  EXPECT_EQ(transmitter.counter, 3u);
  EXPECT_EQ(transmitter.state, 0);
  EXPECT_EQ(SystemFlags() & (drux::kSystemLinkHighArea | drux::kSystemLinkCrcError), 0u);
  Header converter = ReadHeader(1);
  ASSERT_EQ(converter.status, 0);
  EXPECT_EQ(converter.idAndVersion, "KR3B0105");
  EXPECT_EQ(converter.counter, 2u);
  // No converter on panel 0; no header read without a selected panel.
  EXPECT_EQ(ReadHeader(0).errorByte, 0x85);
  NewRun();
  uint8_t reply[16];
  uint8_t errorByte = 0;
  EXPECT_EQ(drux::ReadCommand(0x7A, 0, 2, 0, reply, 16, &errorByte), drux::kStatusFailed);
  EXPECT_EQ(errorByte, 0x83);
  // The factory images are intact in the flash.
  uint32_t start = 0;
  uint32_t size = 0;
  ASSERT_TRUE(sim::FpgaCopyRange(-1, 3, sim::FpgaCopy::Running, &start, &size));
  EXPECT_EQ(start, 0x100000u);
  Bytes running(size);
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::LinkFlash, start, running.data(), size));
  EXPECT_EQ(running, Image(sim::ImageFormat::HeaderAtStart, "V6K4", 102, 3, 0x300000));
}

// The next program run finds the factory images in the files, the module kinds in the
// configuration and a written update still pending.
TEST_F(SimFpgaDefaultMachine, ImagesKindsAndPendingUpdatesOutliveTheRun) {
  NewRun();
  uint8_t block[256] = {};
  uint8_t errorByte = 0;
  ASSERT_EQ(drux::WriteCommand(0xB8, 0, 3, 0, block, sizeof block, &errorByte), 0);
  ASSERT_TRUE(sim::Persist());
  NewRun();
  sim::FpgaStatus status{};
  ASSERT_TRUE(sim::FpgaModuleStatus(-1, 3, &status));
  EXPECT_TRUE(status.updatePending);
  EXPECT_STREQ(status.kind, "V6K4");
  EXPECT_EQ(ReadHeader(-1).idAndVersion, "V6K40102");
  ASSERT_TRUE(sim::FpgaModuleStatus(1, 2, &status));
  EXPECT_FALSE(status.updatePending);
  EXPECT_EQ(ReadHeader(1).idAndVersion, "KR3B0105");
}

struct UpdateCase {
  const char* label;
  const char* kind;
  int panel;         // -1: transmitter
  uint16_t command;  // write command; read back with the same one
  uint32_t start;    // where the update is written (absolute commands: the idle copy)
  uint32_t imageSize;
  uint32_t idleStart;
  bool intact;
};

void StartWithModule(const UpdateCase& c) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  sim::StartInMemory(config);
  ASSERT_TRUE(sim::SetUpFpgaModule(c.panel, c.panel < 0 ? 3 : 2, c.kind, 105, 7, false));
}

// An image written through the protocol waits in the idle copy and runs after the module's
// next start; a broken one is dropped and the old copy keeps running.
TEST(SimFpgaModule, UpdateIsTakenOverAtTheNextStartWhenIntact) {
  const UpdateCase cases[] = {
      {"KVN4 transmitter, 0xB8", "V6K4", -1, 0xB8, 0, 0x300000, 0x500000, true},
      {"KVN transmitter, 0xB0", "LKVN", -1, 0xB0, 0, 0xA0000, 0x120000, true},
      {"KVN transmitter, broken", "LKVN", -1, 0xB0, 0, 0xA0000, 0x120000, false},
      {"KR4B converter, 0xD8", "KR4B", 1, 0xD8, 0, 0x300000, 0x400000, true},
      {"KR3B converter, 0xC0 into the idle copy", "KR3B", 1, 0xC0, 0x120000, 0xA0000, 0x120000,
       true},
      {"KR3B converter, broken", "KR3B", 1, 0xC0, 0x120000, 0xA0000, 0x120000, false},
  };
  for (const UpdateCase& c : cases) {
    StartWithModule(c);
    Bytes image = Image(sim::ImageFormat::HeaderAtStart, c.kind, 106, 8, c.imageSize);
    if (!c.intact) {
      image[0x1000] ^= 1;
    }
    const bool large = c.command == 0xB8 || c.command == 0xD8;
    drux::MemoryArea area{c.command,      0, uint16_t(c.panel < 0 ? 3 : 2), c.start, c.imageSize, 0,
                          large ? 1u : 0u};
    uint8_t errorByte = 0;
    if (c.panel >= 0) {
      ASSERT_EQ(drux::WriteCommand(kSelectPanel, 0, uint32_t(c.panel), 0, nullptr, 0, &errorByte),
                0);
    }
    ASSERT_EQ(drux::WriteArea(area, image.data(), &errorByte), 0) << c.label;
    Bytes back(c.imageSize);
    ASSERT_EQ(drux::ReadArea(area, back.data(), &errorByte), 0) << c.label;
    EXPECT_EQ(back, image) << c.label << ": the verify reads what was written";
    Bytes idle(c.imageSize);
    const sim::Area flash = c.panel < 0 ? sim::Area::LinkFlash : sim::Area::PanelFpgaFlash;
    ASSERT_TRUE(sim::ReadAreaBytes(flash, c.idleStart, idle.data(), idle.size(),
                                   c.panel < 0 ? 0 : sim::PanelFpgaKey(c.panel, 2)));
    EXPECT_EQ(idle, image) << c.label;
    EXPECT_EQ(ReadHeader(c.panel).idAndVersion.substr(4), "0105") << c.label << ": not yet";

    if (c.panel < 0) {
      ASSERT_EQ(drux::WriteCommand(0x50, 0, 3, 1, nullptr, 0, &errorByte), 0);  // PC reboot
    } else {
      uint8_t request[16] = {8};  // reboot the converter
      ASSERT_EQ(drux::WriteCommand(0x22, 0, uint32_t(c.panel), 3, request, 16, &errorByte), 0);
    }
    const Header after = ReadHeader(c.panel);
    EXPECT_EQ(after.idAndVersion.substr(4), c.intact ? "0106" : "0105") << c.label;
    EXPECT_EQ(after.counter, c.intact ? 8u : 7u) << c.label;
    EXPECT_EQ(after.state, c.intact ? 1 : 0) << c.label << ": bit 0 = high copy";
    if (c.panel < 0) {
      EXPECT_EQ((SystemFlags() & drux::kSystemLinkHighArea) != 0, c.intact) << c.label;
    }
    sim::FpgaStatus status{};
    ASSERT_TRUE(sim::FpgaModuleStatus(c.panel, c.panel < 0 ? 3 : 2, &status));
    EXPECT_FALSE(status.updatePending) << c.label;
  }
}

// The module checks its running copy at each start: the header reply's bit 1 and, for the
// transmitter, bit 12 of the system status register.
TEST(SimFpgaModule, CrcStateFollowsTheRunningCopyAtStart) {
  for (int panel : {-1, 1}) {
    StartWithFactoryImages();
    uint32_t start = 0;
    uint32_t size = 0;
    const int device = panel < 0 ? 3 : 2;
    ASSERT_TRUE(sim::FpgaCopyRange(panel, device, sim::FpgaCopy::Running, &start, &size));
    const sim::Area flash = panel < 0 ? sim::Area::LinkFlash : sim::Area::PanelFpgaFlash;
    const int key = panel < 0 ? 0 : sim::PanelFpgaKey(panel, device);
    uint8_t byte = 0;
    ASSERT_TRUE(sim::ReadAreaBytes(flash, start + size / 2, &byte, 1, key));
    byte ^= 0x10;
    ASSERT_TRUE(sim::WriteAreaBytes(flash, start + size / 2, &byte, 1, key));
    EXPECT_EQ(ReadHeader(panel).state, 0) << "checked only when the module starts";
    sim::PowerCycleAll();
    EXPECT_EQ(ReadHeader(panel).state, 2) << panel;
    if (panel < 0) {
      EXPECT_NE(SystemFlags() & drux::kSystemLinkCrcError, 0u);
    }
  }
}

// Bulk transfers cost the protocol's floor: claim, window, command word, one poll, release.
TEST(SimFpgaModule, BlockTransfersCostTheProtocolFloor) {
  const struct {
    uint16_t command;
    uint32_t blockSize;
    uint64_t accessesPerBlock;
  } cases[] = {{0xB0, 16, 38}, {0xB8, 256, 278}, {0xE0, 256, 278}, {0xA0, 16, 38}};
  for (const auto& c : cases) {
    StartWithFactoryImages();
    const uint32_t blocks = 64;
    Bytes data(blocks * c.blockSize, 0x5A);
    drux::MemoryArea area{c.command, 0, 3, 0, uint32_t(data.size()), 0, c.blockSize == 256};
    uint8_t errorByte = 0;
    sim::ClearPortAccessCount();
    ASSERT_EQ(drux::WriteArea(area, data.data(), &errorByte), 0);
    EXPECT_EQ(sim::PortAccessCount(), blocks * c.accessesPerBlock) << std::hex << c.command;
    sim::ClearPortAccessCount();
    ASSERT_EQ(drux::ReadArea(area, data.data(), &errorByte), 0);
    EXPECT_EQ(sim::PortAccessCount(), blocks * c.accessesPerBlock) << std::hex << c.command;
  }
}

// A fault that lets the first blocks through fails a transfer in its middle.
TEST(SimFpgaModule, FaultAfterNCommandsStopsATransferThere) {
  StartWithFactoryImages();
  sim::Fault fault{};
  ASSERT_TRUE(sim::ParseFault("error 0xb8 0x80 write --after 4", &fault));
  ASSERT_TRUE(sim::AddFault(fault));
  Bytes data(10 * 256, 0x11);
  drux::MemoryArea area{0xB8, 0, 3, 0, uint32_t(data.size()), 0, 1};
  uint8_t errorByte = 0;
  EXPECT_EQ(drux::WriteArea(area, data.data(), &errorByte), drux::kStatusFailed);
  EXPECT_EQ(errorByte, 0x80);
  uint8_t fifth = 0;
  uint8_t fourth = 0;
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::LinkFlash, 0x500000 + 3 * 256, &fourth, 1));
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::LinkFlash, 0x500000 + 4 * 256, &fifth, 1));
  EXPECT_EQ(fourth, 0x11);
  EXPECT_EQ(fifth, 0xFF);
  // A failed update is not intact: the old image keeps running.
  sim::PowerCycleAll();
  EXPECT_EQ(ReadHeader(-1).idAndVersion, "V6K40102");
}

uint16_t Sum8(const Bytes& bytes) {
  uint8_t sum = 0;
  for (uint8_t byte : bytes) {
    sum = uint8_t(sum + byte);
  }
  return sum;
}

// Every layout closes its checks, whatever the size, and filling in pieces gives the same
// bytes as filling at once.
TEST(SimFpgaImage, EveryLayoutClosesItsChecks) {
  for (uint32_t size : {0x40u, 0x3FF00u, 0x10001u}) {
    const Bytes start = Image(sim::ImageFormat::HeaderAtStart, "KR4B", 1234, 9, size);
    EXPECT_EQ(std::string(start.begin() + 16, start.begin() + 24), "KR4B1234");
    EXPECT_EQ(drux::Crc16(0xFFFF, &start[16], 16), 0);
    EXPECT_EQ(drux::Crc16(0xFFFF, start.data(), size), 0) << size;

    const Bytes end = Image(sim::ImageFormat::HeaderAtEnd, "VRTP", 102, 1, size);
    EXPECT_EQ(std::string(end.end() - 16, end.end() - 8), "VRTP0102");
    EXPECT_EQ(drux::Crc16(0xFFFF, &end[size - 16], 16), 0);
    EXPECT_EQ(drux::Crc16(0xFFFF, end.data(), size), 0) << size;

    const Bytes old = Image(sim::ImageFormat::InfoTrailer, "KVNR", 105, 0, size);
    EXPECT_EQ(std::string(old.end() - 16, old.end()), "\xFF\xFFKVNR0105  FPGA");
    EXPECT_EQ(Sum8(old), 0) << size;
  }
  sim::ImageRecipe recipe;
  recipe.size = 0x30000;
  Bytes whole(recipe.size);
  Bytes pieces(recipe.size);
  sim::FillImage(recipe, 0, whole.data(), recipe.size);
  for (uint32_t at = 0; at < recipe.size; at += 0x7001) {
    sim::FillImage(recipe, at, pieces.data() + at, 0x7001);
  }
  EXPECT_EQ(pieces, whole);
}

}  // namespace
