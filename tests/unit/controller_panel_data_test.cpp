// The internal data of a panel's display block and the model number taken from it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "controller/block_access.h"
#include "controller_sim_fixture.h"

namespace drux {
namespace {

using testing::ControllerTest;
using testing::StartSimulatedController;

constexpr uint8_t kMarker[8] = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
constexpr uint32_t kInternalDataOffset = 128;  // in the display block

// Internal data with the marker and a model number of `modelLength` characters at offset 37,
// followed by filler that must not end up in the text.
std::vector<uint8_t> InternalData(const char* model, size_t modelLength) {
  std::vector<uint8_t> data(128, 'Z');
  std::memcpy(data.data(), kMarker, sizeof kMarker);
  std::memcpy(data.data() + 37, model, modelLength);
  return data;
}

void PutInternalData(int panel, const std::vector<uint8_t>& data) {
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::PanelDisplay, kInternalDataOffset, data.data(),
                                  data.size(), panel));
}

TEST_F(ControllerTest, InternalDataIsEightBlocksOfTheDisplay) {
  const std::vector<uint8_t> data = InternalData("TP-15 panel", 12);
  PutInternalData(1, data);
  std::vector<uint8_t> buffer(128);
  ASSERT_EQ(ReadPanelInternalData(1, buffer.data(), 128), 0);
  EXPECT_EQ(buffer, data);
  const std::vector<sim::LogEntry> log = Log();
  ASSERT_EQ(log.size(), 8u);
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].code, 0x20);
    EXPECT_EQ(log[i].address, 8 + i);
    EXPECT_EQ(log[i].device, 1);
    EXPECT_EQ(log[i].target, 4);
    EXPECT_EQ(log[i].size, 16);
    EXPECT_TRUE(log[i].read);
  }
}

TEST_F(ControllerTest, ModelNumberIsFortyCharactersAtOffset37) {
  PutInternalData(1, InternalData("TP-15 panel", 12));
  EXPECT_STREQ(ReadPanelModelNumber(1), "TP-15 panel");
  // A full-length model number has no terminator of its own.
  PutInternalData(1, InternalData("0123456789012345678901234567890123456789", 40));
  EXPECT_STREQ(ReadPanelModelNumber(1), "0123456789012345678901234567890123456789");
}

TEST_F(ControllerTest, InternalDataWithoutMarkerIsRefused) {
  std::vector<uint8_t> data = InternalData("TP-15", 6);
  data[5] = 0x01;
  PutInternalData(1, data);
  std::vector<uint8_t> buffer(128);
  EXPECT_EQ(ReadPanelInternalData(1, buffer.data(), 128), -1);
  EXPECT_STREQ(ReadPanelModelNumber(1), "");
}

TEST_F(ControllerTest, BuiltInDisplayHasNoInternalData) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.panels[2] = sim::PanelConfig{true, 0x5886, 1, 0, false};
  StartSimulatedController(config);
  PutInternalData(2, InternalData("built-in", 9));
  std::vector<uint8_t> buffer(128);
  EXPECT_EQ(ReadPanelInternalData(2, buffer.data(), 128), -1);
  EXPECT_STREQ(ReadPanelModelNumber(2), "");
  EXPECT_EQ(sim::LogSize(), 0u) << "no command for the built-in display";
}

TEST_F(ControllerTest, InternalDataRefusesBadArguments) {
  PutInternalData(0, InternalData("TP-15", 6));
  std::vector<uint8_t> buffer(256);
  EXPECT_EQ(ReadPanelInternalData(0, buffer.data(), 127), -1);
  EXPECT_EQ(ReadPanelInternalData(0, buffer.data(), 256), -1);
  EXPECT_EQ(ReadPanelInternalData(16, buffer.data(), 128), -1);
  EXPECT_EQ(ReadPanelInternalData(-1, buffer.data(), 128), -1);
  EXPECT_EQ(sim::LogSize(), 0u);
  EXPECT_STREQ(ReadPanelModelNumber(-1), "");
}

TEST_F(ControllerTest, FailedBlockReadGivesEmptyModelNumber) {
  PutInternalData(0, InternalData("TP-15", 6));
  ASSERT_STREQ(ReadPanelModelNumber(0), "TP-15");
  sim::ClearLog();
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0x20, 0x85, 0}));
  EXPECT_STREQ(ReadPanelModelNumber(0), "");
  EXPECT_EQ(sim::LogSize(), 1u) << "the first failing block ends the read";
}

}  // namespace
}  // namespace drux
