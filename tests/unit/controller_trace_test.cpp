// The -d trace: command lines and hex dumps on the standard output.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controller/command.h"
#include "controller_sim_fixture.h"

namespace drux {
namespace {

using testing::ControllerTest;

std::string DumpOf(const std::vector<uint8_t>& bytes) {
  ::testing::internal::CaptureStdout();
  PrintHexDump(bytes.data(), uint32_t(bytes.size()));
  return ::testing::internal::GetCapturedStdout();
}

const std::vector<uint8_t> kSeventeenBytes = {0x00, 0x1f, 0x20, 0x41, 0x7e, 0x7f, 0x80, 0xff, 0x30,
                                              0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x2e};

TEST(HexDump, LinesOfSixteenWithCharacterColumn) {
  EXPECT_EQ(DumpOf({}), "");
  EXPECT_EQ(DumpOf({1, 2, 3, 'z'}), "00: 01 02 03 7a = ...z\n") << "a single line is not padded";

  std::vector<uint8_t> sixteen;
  for (uint8_t c = 'A'; c <= 'P'; ++c) {
    sixteen.push_back(c);
  }
  EXPECT_EQ(DumpOf(sixteen),
            "00: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 = ABCDEFGHIJKLMNOP\n");

  EXPECT_EQ(DumpOf(kSeventeenBytes),
            "00: 00 1f 20 41 7e 7f 80 ff 30 31 32 33 34 35 36 37 = .. A~...01234567\n"
            "10: 2e" +
                std::string(45, ' ') + " = .\n")
      << "the last line of a longer dump keeps the column";

  std::vector<uint8_t> thirtyFour(34, 'x');
  const std::string full = " 78 78 78 78 78 78 78 78 78 78 78 78 78 78 78 78 = xxxxxxxxxxxxxxxx\n";
  EXPECT_EQ(DumpOf(thirtyFour),
            "00:" + full + "10:" + full + "20: 78 78" + std::string(42, ' ') + " = xx\n");
}

TEST_F(ControllerTest, ReadTracesTheCommandAndTheReply) {
  FillFlash(0x40, 16, 'a');
  SetDebugTrace(true);
  std::vector<uint8_t> buffer(16);
  uint8_t errorByte = 0;
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(ReadCommand(0xA0, 4, 0, 0, buffer.data(), 16, &errorByte), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "RD Cmd:0xa0 Addr:0x0004 DevNum:0x0 Target:0x0 Size:0x10\n"
            "00: 61 62 63 64 65 66 67 68 69 6a 6b 6c 6d 6e 6f 70 = abcdefghijklmnop\n");
}

TEST_F(ControllerTest, TraceShowsTheCallersValuesUnmasked) {
  SetDebugTrace(true);
  uint8_t buffer[4] = {};
  uint8_t errorByte = 0;
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, sim::kAnyCommand, 0x83, 0}));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ReadCommand(0x1A0, 0x14001, 0x13, 0x25, buffer, 4, &errorByte), -3);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "RD Cmd:0x1a0 Addr:0x14001 DevNum:0x13 Target:0x25 Size:0x4\n")
      << "a failed read has no reply to dump";
}

TEST_F(ControllerTest, WriteTracesThePayloadBeforeIssuing) {
  SetDebugTrace(true);
  uint8_t errorByte = 0;
  ::testing::internal::CaptureStdout();
  WriteCommand(0x7F, 0, 2, 0, nullptr, 0, &errorByte);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "WR Cmd:0x7f Addr:0x0000 DevNum:0x2 Target:0x0 Size:0x0\n");

  // The trace comes before the claim: a locked interface still shows what was attempted.
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0}));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(WriteCommand(0xE0, 0x12, 0, 0, kSeventeenBytes.data(), 17, &errorByte), -2);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "WR Cmd:0xe0 Addr:0x0012 DevNum:0x0 Target:0x0 Size:0x11\n"
            "00: 00 1f 20 41 7e 7f 80 ff 30 31 32 33 34 35 36 37 = .. A~...01234567\n"
            "10: 2e" +
                std::string(45, ' ') + " = .\n");
}

TEST_F(ControllerTest, NoTraceWithoutTheDebugFlag) {
  std::vector<uint8_t> buffer(16);
  uint8_t errorByte = 0;
  ::testing::internal::CaptureStdout();
  ReadCommand(0xA0, 0, 0, 0, buffer.data(), 16, &errorByte);
  WriteCommand(0xA0, 0, 0, 0, buffer.data(), 16, &errorByte);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace drux
