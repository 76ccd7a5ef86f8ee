// Key configuration as druxsvc runs it against the simulated controller: Info, Save, Delete and
// Update of the default machine's configuration, a one-channel PC, and the Info ALL section.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/status_text.h"
#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

const std::string kHeading = "\n-- Key configuration --\n\n";
const std::string kDefaultFields =
    "Version: 1.02\nUser info: Standard operator keyboard\nBuild date: 2025-03-14\n"
    "Panel count: 16\n";

std::string FoldProgress(const std::string& text) {
  static const std::regex kRun("  0%(\b\b\b\b[ 0-9]{3}%)*\b\b\b\bDone\n");
  return std::regex_replace(text, kRun, "[progress]\n");
}

// Arguments that begin with '/' are options: files are named relative to the working directory.
std::string FileIn(const SimulatedPc& pc, const std::string& name) {
  return std::filesystem::relative(pc.directory() + "/" + name).string();
}

uint8_t Sum(const std::vector<uint8_t>& bytes) {
  uint8_t sum = 0;
  for (uint8_t byte : bytes) {
    sum = uint8_t(sum + byte);
  }
  return sum;
}

std::string ScanCodeRestarts(const SimulatedPc& pc) {
  std::string show = pc.Druxsim({"show"}).out;
  size_t at = show.find("Scan-code restarts:");
  return at == std::string::npos ? "" : show.substr(at, show.find('\n', at) - at);
}

// An image for `panels` channels with header, scan codes, trailer row and a last byte that makes
// the sum 0.
std::vector<uint8_t> KcfImage(uint8_t panels) {
  std::vector<uint8_t> image(panels * 12544u + 272u, 0);
  const std::string texts[] = {"Version:3.01", "Date:2026-01-20", "UserInfo:Press line keys"};
  const size_t offsets[] = {0, 14, 30};
  for (int i = 0; i < 3; ++i) {
    std::copy(texts[i].begin(), texts[i].end(), image.begin() + long(offsets[i]));
  }
  image[130] = panels;
  for (size_t i = 256; i < image.size() - 16; ++i) {
    image[i] = uint8_t(i % 251);
  }
  const std::string trailer = "ScanCodes..:  ";
  std::copy(trailer.begin(), trailer.end(), image.end() - 16);
  image.back() = uint8_t(0 - Sum(image));
  return image;
}

std::vector<uint8_t> OneChannelImage() {
  return KcfImage(1);
}

// The default machine's configuration goes to a file, is deleted and comes back from the file.
TEST(KeyConfigurationE2e, SaveDeleteAndUpdateRoundTrip) {
  SimulatedPc pc;
  ProgramOutput info = pc.Run(Druxsvc(), {"i", "kcf"}, "", kFrozenClock);
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_EQ(info.out, kPcLine + kHeading + kDefaultFields + "\n" + kTotalTime);
  EXPECT_EQ(info.err, "");

  const std::string file = FileIn(pc, "k.kcf");
  ProgramOutput save = pc.Run(Druxsvc(), {"s", "kcf", file}, "", kFrozenClock);
  EXPECT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(FoldProgress(save.out),
            kPcLine + "Save key configuration ...\nWrite configuration file: " + file +
                "\nCheck key configuration: [progress]\n" + kDefaultFields +
                "Read 200976 bytes from device: [progress]\n"
                "Verify 200976 bytes with device: [progress]\n"
                "Save finished.\n" +
                kTotalTime);
  const std::vector<uint8_t> saved = ReadFileBytes(file);
  ASSERT_EQ(saved.size(), 200976u);
  EXPECT_EQ(Sum(saved), 0);
  EXPECT_EQ(std::string(saved.end() - 16, saved.end() - 2), "ScanCodes..:  ");

  ProgramOutput erase = pc.Run(Druxsvc(), {"d", "kcf", "-y"}, "", kFrozenClock);
  EXPECT_EQ(erase.exitCode, 0);
  EXPECT_EQ(FoldProgress(erase.out), kPcLine +
                                         "Delete key configuration ...\nErase data: [progress]\n"
                                         "Restart scancodes ...\nDelete finished.\n" +
                                         kTotalTime);
  EXPECT_EQ(pc.Run(Druxsvc(), {"i", "kcf"}, "", kFrozenClock).out,
            kPcLine + kHeading + "No key configuration available.\n\n" + kTotalTime);
  ProgramOutput none = pc.Run(Druxsvc(), {"s", "kcf", FileIn(pc, "none.kcf")}, "", kFrozenClock);
  EXPECT_EQ(none.exitCode, 12);
  EXPECT_EQ(none.err, "ERROR: No key configuration available.\n");

  ProgramOutput update = pc.Run(Druxsvc(), {"u", "kcf", file}, "", kFrozenClock);
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_EQ(FoldProgress(update.out),
            kPcLine + "Update key configuration ...\nRead configuration file: " + file +
                "\nCheck key configuration file: [progress]\n Version: 1.02\n User info: Standard "
                "operator keyboard\n Build date: 2025-03-14\n Panel count: 16\n"
                "Write 200976 bytes to device: [progress]\n"
                "Verify 200976 bytes with device: [progress]\n"
                "Restart scancodes ...\nUpdate finished.\n" +
                kTotalTime);
  EXPECT_EQ(pc.Run(Druxsvc(), {"i", "kcf"}, "", kFrozenClock).out,
            kPcLine + kHeading + kDefaultFields + "\n" + kTotalTime);
  EXPECT_EQ(ScanCodeRestarts(pc), "Scan-code restarts:  2");

  const std::string dumped = FileIn(pc, "dump.bin");
  ASSERT_EQ(pc.Druxsim({"dump", "kcf", dumped, "--length", "200976"}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(dumped), saved);
}

// One panel channel: the area holds one channel's image; a sixteen-channel file is refused.
TEST(KeyConfigurationE2e, OneChannelPc) {
  SimulatedPc pc({"channels=1"});
  ProgramOutput erased = pc.Run(Druxsvc(), {"i", "kcf"}, "", kFrozenClock);
  EXPECT_EQ(erased.exitCode, 9);
  EXPECT_EQ(erased.err, "ERROR: Invalid header.\n");

  const std::string one = FileIn(pc, "one.kcf");
  ASSERT_TRUE(WriteFileBytes(one, OneChannelImage()));
  ProgramOutput update = pc.Run(Druxsvc(), {"u", "kcf", one}, "", kFrozenClock);
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_NE(update.out.find("Write 12816 bytes to device: "), std::string::npos);
  EXPECT_EQ(pc.Run(Druxsvc(), {"i", "kcf"}, "", kFrozenClock).out,
            kPcLine + kHeading +
                "Version: 3.01\nUser info: Press line keys\nBuild date: 2026-01-20\n"
                "Panel count: 1\n\n" +
                kTotalTime);

  std::vector<uint8_t> sixteen(200976, 0);
  const std::string big = FileIn(pc, "big.kcf");
  std::vector<uint8_t> header = OneChannelImage();
  std::copy(header.begin(), header.begin() + 256, sixteen.begin());
  ASSERT_TRUE(WriteFileBytes(big, sixteen));
  ProgramOutput refused = pc.Run(Druxsvc(), {"u", "kcf", big}, "", kFrozenClock);
  EXPECT_EQ(refused.exitCode, 5);
  EXPECT_EQ(refused.err, "ERROR: Invalid file size: not 12816 bytes.\n");

  // Delete erases the whole 64 KiB area.
  ASSERT_EQ(pc.Run(Druxsvc(), {"d", "kcf", "-y"}, "", kFrozenClock).exitCode, 0);
  size_t erases = 0;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    erases += entry.code == 0x20 && !entry.read && entry.target == 1 && entry.device == 2 &&
                      entry.size == 16
                  ? 1
                  : 0;
  }
  // The update wrote 12816 bytes padded to 13056; the delete 4096 rows.
  EXPECT_EQ(erases, 13056 / 16 + 4096u);
}

// The stored panel count decides how many rows a save reads; a count whose image the area cannot
// hold is refused before the first row.
TEST(KeyConfigurationE2e, PanelCountBeyondTheArea) {
  struct Case {
    std::string channels;
    uint8_t panels;
    bool fits;
  };
  const std::vector<Case> cases = {
      {"channels=1", 5, true},     // 62992 of 65536 bytes
      {"channels=1", 6, false},    // 75536
      {"channels=16", 20, true},   // 251152 of 262144
      {"channels=16", 21, false},  // 263696
      {"channels=16", 255, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.channels + " " + std::to_string(c.panels));
    SimulatedPc pc({c.channels, "features=0x10000"});
    std::vector<uint8_t> image = KcfImage(c.panels);
    if (!c.fits) {
      image.resize(256);  // the header is all there is to read
    }
    const std::string stored = FileIn(pc, "stored.bin");
    ASSERT_TRUE(WriteFileBytes(stored, image));
    ASSERT_EQ(pc.Druxsim({"load", "kcf", stored}).exitCode, 0);
    const std::string file = FileIn(pc, "k.kcf");
    ProgramOutput save = pc.Run(Druxsvc(), {"s", "kcf", file}, "", kFrozenClock);
    if (c.fits) {
      EXPECT_EQ(save.exitCode, 0) << save.err;
      EXPECT_EQ(ReadFileBytes(file), image);
      continue;
    }
    EXPECT_EQ(save.exitCode, 9);
    EXPECT_EQ(save.err, "ERROR: Invalid data.\n");
    EXPECT_EQ(save.out, kPcLine + "Save key configuration ...\nWrite configuration file: " + file +
                            "\n" + kTotalTime);
    EXPECT_FALSE(std::filesystem::exists(file));
    uint16_t lastBlock = 0;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      lastBlock = std::max(lastBlock, entry.address);
    }
    EXPECT_LT(lastBlock, 256 / 16) << "only the header is read";
  }
}

// A controller that cannot restart its scan codes keeps the new data and asks for a PC reboot;
// the run then ends as a successful update that needs the reboot.
TEST(KeyConfigurationE2e, RestartRefused) {
  SimulatedPc pc({"channels=1"});
  ASSERT_EQ(pc.Druxsim({"fault", "error", "0x19", "0x85"}).exitCode, 0);
  const std::string one = FileIn(pc, "one.kcf");
  ASSERT_TRUE(WriteFileBytes(one, OneChannelImage()));
  ProgramOutput update = pc.Run(Druxsvc(), {"u", "kcf", one}, "", kFrozenClock);
  EXPECT_EQ(update.exitCode, 0);
  EXPECT_EQ(update.err, "ERROR: Can't restart scancodes: " +
                            std::string(StatusText(kStatusFailed, 0x85)) + "\n");
  EXPECT_NE(
      update.out.find("Restart scancodes ...\n*** The PC must be rebooted to take over the "
                      "changes! ***\n    (if option -r is specified, the device is rebooted)\n" +
                      kTotalTime),
      std::string::npos)
      << update.out;
  EXPECT_EQ(update.out.find("Update finished."), std::string::npos);
}

// Info ALL shows the key configuration after the user serial ID.
TEST(KeyConfigurationE2e, InfoAllSection) {
  SimulatedPc pc;
  ProgramOutput all = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock);
  EXPECT_EQ(all.exitCode, 0);
  const size_t uid = all.out.find("\n-- User Serial ID --\n");
  const size_t section = all.out.find(kHeading + kDefaultFields);
  ASSERT_NE(uid, std::string::npos) << all.out;
  ASSERT_NE(section, std::string::npos) << all.out;
  EXPECT_LT(uid, section);
}

}  // namespace
}  // namespace drux::test
