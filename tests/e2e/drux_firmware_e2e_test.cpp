// The DRUX firmware of the default machine: Info, Save with its XML header, Update from the
// saved file with the version question, the power-cycle notice, and the take-over at a reboot.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

const std::vector<std::pair<std::string, std::string>> kClockAndDate = {
    {"DRUXSVC_TEST_CLOCK", "50,0"}, {"DRUXSVC_TEST_DATE", "2026-03-07"}};

const std::string kNotice =
    "*** The PC must be powered off/on to take over the changes!***\n"
    "    (if option -r is specified, the device is rebooted)\n";

std::string InfoLines(const char* area, int counter) {
  return "\n-- DRUX firmware --\n\nDRUX version: 1.05\nDRUX booted from: " + std::string(area) +
         " area\nDRUX CRC state: OK\nDRUX update counter: " + std::to_string(counter) + "\n";
}

int UpdateWrites(const std::vector<sim::LogEntry>& log) {
  int writes = 0;
  for (const sim::LogEntry& entry : log) {
    writes += (entry.code == 0xB8 && !entry.read) ? 1 : 0;
  }
  return writes;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(DruxFirmwareE2e, InfoOnTheDefaultMachine) {
  SimulatedPc pc;
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "drux"}, "", kFrozenClock);
  EXPECT_EQ(result.out, kPcLine + InfoLines("low", 0) + "\n" + kTotalTime);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);

  ProgramOutput all = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock);
  EXPECT_NE(all.out.find(InfoLines("low", 0)), std::string::npos) << all.out;
  // After the user serial ID, before the PC's modules.
  EXPECT_LT(all.out.find("-- User Serial ID --"), all.out.find("-- DRUX firmware --"));
  EXPECT_LT(all.out.find("-- DRUX firmware --"), all.out.find("-- Statistics values of module 0"));
}

TEST(DruxFirmwareE2e, SaveUpdateAndReboot) {
  SimulatedPc pc;
  // Relative: an argument that starts with '/' is an option.
  const std::string saved = std::filesystem::relative(pc.directory() + "/saved.fw").string();

  ProgramOutput save = pc.Run(Druxsvc(), {"s", "drux", saved}, "", kClockAndDate);
  EXPECT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(save.err, "");
  EXPECT_TRUE(StartsWith(save.out, kPcLine +
                                       "Save DRUX firmware ...\nWrite firmware file: " + saved +
                                       "\nDRUX ID: EX6F\nDRUX version: 1.05\n"
                                       "DRUX update counter: 0\nCheck DRUX firmware: "))
      << save.out;
  EXPECT_NE(save.out.find("Build XML header ...\nRead 3145728 bytes from device: "),
            std::string::npos);
  EXPECT_TRUE(EndsWith(save.out, "Done\nSave finished.\n" + kTotalTime)) << save.out;
  const std::vector<uint8_t> file = ReadFileBytes(saved);
  const std::string head(file.begin(), file.begin() + 90);
  EXPECT_TRUE(StartsWith(head,
                         "<Firmware Dev=\"4711\" Ver=\"105\" Use=\"fw\" Fct=\"_\" Var=\"0\" "
                         "Len=\"3145728\" Chk=\"0x"))
      << head;
  const std::string text(file.begin(), file.begin() + 200);
  EXPECT_NE(text.find("\" Mat=\"DX-EX64-SU00\" Dat=\"07.03.2026\" Rem=\"Created by DRUXSVC\"/>"),
            std::string::npos);

  // An equal version is asked about; no means nothing is written.
  ProgramOutput declined = pc.Run(Druxsvc(), {"u", "drux", saved}, "n\n", kFrozenClock);
  EXPECT_EQ(declined.exitCode, 7);
  EXPECT_TRUE(EndsWith(declined.out,
                       "File version: 1.05\nActive version is up-to-date.\n"
                       "Continue with update (y/n): " +
                           kTotalTime))
      << declined.out;
  EXPECT_EQ(UpdateWrites(pc.CommandLog()), 0);

  // -y answers the question; the notice turns 16 into exit code 0.
  ProgramOutput updated = pc.Run(Druxsvc(), {"u", "drux", saved, "-y"}, "", kFrozenClock);
  EXPECT_EQ(updated.exitCode, 0) << updated.err;
  EXPECT_EQ(updated.err, "");
  EXPECT_NE(updated.out.find("Active version is up-to-date.\nSkip XML header: Done\n"
                             "Write 3145728 bytes to device: "),
            std::string::npos)
      << updated.out;
  EXPECT_NE(updated.out.find("Verify 3145728 bytes with device: "), std::string::npos);
  EXPECT_TRUE(EndsWith(updated.out, "Done\n" + kNotice + kTotalTime)) << updated.out;
  EXPECT_EQ(UpdateWrites(pc.CommandLog()), 0x300000 / 256);

  // Without a power cycle the old copy keeps running.
  ProgramOutput before = pc.Run(Druxsvc(), {"i", "drux"}, "", kFrozenClock);
  EXPECT_EQ(before.out, kPcLine + InfoLines("low", 0) + "\n" + kTotalTime);

  // -r reboots the PC, and the controller starts the new copy with its update counter.
  ProgramOutput rebooted = pc.Run(Druxsvc(), {"u", "drux", saved, "-y", "-r"}, "", kFrozenClock);
  EXPECT_EQ(rebooted.exitCode, 0) << rebooted.err;
  EXPECT_TRUE(EndsWith(rebooted.out, kNotice + kTotalTime + "Reboot PC ...\n")) << rebooted.out;
  ProgramOutput after = pc.Run(Druxsvc(), {"i", "drux"}, "", kFrozenClock);
  EXPECT_EQ(after.out, kPcLine + InfoLines("high", 1) + "\n" + kTotalTime);

  // Save now reads the high copy, which carries the counter the update wrote into it.
  const std::string again = std::filesystem::relative(pc.directory() + "/again.fw").string();
  ASSERT_EQ(pc.Druxsim({"log", "--clear"}).exitCode, 0);
  ProgramOutput saveAgain = pc.Run(Druxsvc(), {"s", "drux", again}, "", kClockAndDate);
  EXPECT_EQ(saveAgain.exitCode, 0) << saveAgain.err;
  EXPECT_NE(saveAgain.out.find("DRUX update counter: 1\nCheck DRUX firmware: "), std::string::npos);
  int flashReads = 0;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    if (entry.code >= 0xE0 && entry.code <= 0xE3) {
      ++flashReads;
      const uint32_t block = uint32_t(entry.code - 0xE0) << 14 | entry.address;
      EXPECT_GE(block, 0x600000u / 256);
      EXPECT_LT(block, 0x900000u / 256);
    }
  }
  EXPECT_GT(flashReads, 0);
}

}  // namespace
}  // namespace drux::test

namespace drux::test {
namespace {

// Without a readable identity the file ID is 0: no firmware file of any device passes, a save
// says that its file will not pass, and a signed version text in flash is no version.
TEST(DruxFirmwareE2e, UnreadableIdentityAndSignedVersion) {
  SimulatedPc pc;
  const std::string saved = std::filesystem::relative(pc.directory() + "/saved.fw").string();
  ASSERT_EQ(pc.Run(Druxsvc(), {"s", "drux", saved}, "", kFrozenClock).exitCode, 0);

  ASSERT_EQ(pc.Druxsim({"fault", "error", "0x12", "0x85"}).exitCode, 0);
  ProgramOutput update = pc.Run(Druxsvc(), {"u", "drux", saved, "-y"}, "", kFrozenClock);
  EXPECT_EQ(update.err, "ERROR: Device ID does not match.\n");
  EXPECT_EQ(update.exitCode, 13);
  const std::string unnamed = std::filesystem::relative(pc.directory() + "/zero.fw").string();
  ProgramOutput save = pc.Run(Druxsvc(), {"s", "drux", unnamed}, "", kFrozenClock);
  EXPECT_EQ(save.err,
            "WARNING: Device ID can't be read: the saved file will not pass the update check.\n");
  EXPECT_EQ(save.exitCode, 0);
  ASSERT_EQ(pc.Druxsim({"fault", "clear"}).exitCode, 0);

  const std::string image = pc.directory() + "/signed.bin";
  ASSERT_EQ(
      pc.Druxsim({"image", image, "--id", "EX6F", "--version-text", "-105", "--size", "0x300000"})
          .exitCode,
      0);
  ASSERT_EQ(pc.Druxsim({"load", "flash", image, "--offset", "0x300000"}).exitCode, 0);
  ProgramOutput refused = pc.Run(Druxsvc(), {"s", "drux", saved, "-y"}, "", kFrozenClock);
  EXPECT_EQ(refused.err, "ERROR: The DRUX firmware does not contain a valid version entry.\n");
  EXPECT_EQ(refused.exitCode, 9);
}

}  // namespace
}  // namespace drux::test
