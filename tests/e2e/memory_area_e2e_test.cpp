// The memory-area data types as the programs run them: user data through druxsvc from Info to
// Delete, the complete flash and the system data through the full set, the druxsim view of
// the areas afterwards, and the sections they add to Info ALL.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kUserBase = 0x9F0000;  // in the 16 MiB flash of the default EX64

Bytes Pattern(size_t length, uint8_t seed) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; ++i) {
    bytes[i] = uint8_t(seed + i * 13);
  }
  return bytes;
}

// A file in the machine's directory, named relative to the working directory: an argument
// that begins with '/' would be an option.
std::string FileIn(const SimulatedPc& pc, const std::string& name) {
  return std::filesystem::relative(pc.directory() + "/" + name).string();
}

// Bytes of a simulator area as druxsim dumps them.
Bytes Dump(const SimulatedPc& pc, const std::string& area, uint32_t offset, uint32_t length) {
  const std::string file = pc.directory() + "/dump.bin";
  ProgramOutput result = pc.Druxsim(
      {"dump", area, file, "--offset", std::to_string(offset), "--length", std::to_string(length)});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return ReadFileBytes(file);
}

const std::string kDone = "  0%\b\b\b\bDone\n";
const std::string kNotSupported = "ERROR: The data type is not supported on this PC.\n";

TEST(MemoryAreaE2e, UserDataFromInfoToDelete) {
  SimulatedPc pc;
  const std::string noData =
      kPcLine + "\n-- User data --\n\nCheck user data ...\nNo data available.\n\n" + kTotalTime;
  ProgramOutput empty = pc.Run(Druxsvc(), {"i", "user"}, "", kFrozenClock);
  EXPECT_EQ(empty.out, noData);
  EXPECT_EQ(empty.err, "");
  EXPECT_EQ(empty.exitCode, 12);

  const std::string input = FileIn(pc, "u.bin");
  const Bytes data = Pattern(1000, 7);
  ASSERT_TRUE(WriteFileBytes(input, data));
  ProgramOutput update = pc.Run(Druxsvc(), {"u", "user", input}, "", kFrozenClock);
  EXPECT_EQ(update.out, kPcLine + "Update user data ...\nRead data file: " + input +
                            "\nCheck user data file ...\nFile has 1000 bytes\n"
                            "Write 1000 bytes to device: " +
                            kDone + "Verify 1000 bytes with device: " + kDone +
                            "Update finished.\n" + kTotalTime);
  EXPECT_EQ(update.err, "");
  EXPECT_EQ(update.exitCode, 0);

  ProgramOutput shown = pc.Run(Druxsvc(), {"i", "user"}, "", kFrozenClock);
  EXPECT_EQ(
      shown.out,
      kPcLine + "\n-- User data --\n\nCheck user data ...\nData has 1000 bytes\n\n" + kTotalTime);
  EXPECT_EQ(shown.exitCode, 0);

  const std::string output = FileIn(pc, "o.bin");
  ProgramOutput save = pc.Run(Druxsvc(), {"s", "user", output}, "", kFrozenClock);
  EXPECT_EQ(save.out, kPcLine + "Save user data ...\nWrite data file: " + output +
                          "\nCheck user data ...\nData has 1000 bytes\n"
                          "Read 1000 bytes from device: " +
                          kDone + "Verify 1000 bytes with device: " + kDone + "Save finished.\n" +
                          kTotalTime);
  EXPECT_EQ(save.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(output), data);

  // Without -y the answer decides.
  ProgramOutput kept = pc.Run(Druxsvc(), {"d", "user"}, "no\n", kFrozenClock);
  EXPECT_EQ(kept.out,
            kPcLine + "Delete user data ...\nDo you really want to delete (y/n): " + kTotalTime);
  EXPECT_EQ(kept.exitCode, 7);
  ProgramOutput deleted = pc.Run(Druxsvc(), {"d", "user", "-y"}, "", kFrozenClock);
  EXPECT_EQ(deleted.out, kPcLine + "Delete user data ...\nDelete finished.\n" + kTotalTime);
  EXPECT_EQ(deleted.exitCode, 0);
  EXPECT_EQ(pc.Run(Druxsvc(), {"i", "user"}, "", kFrozenClock).out, noData);

  // The information block is erased, the data stays in the flash.
  EXPECT_EQ(Dump(pc, "flash", kUserBase, 256), Bytes(256, 0xFF));
  EXPECT_EQ(Dump(pc, "flash", kUserBase + 256, 1000), data);
}

TEST(MemoryAreaE2e, UserDataWithoutAFileName) {
  SimulatedPc pc;
  ProgramOutput result = pc.Run(Druxsvc(), {"u", "user"}, "", kFrozenClock);
  EXPECT_EQ(result.out, kPcLine +
                            "Update user data ...\n"
                            "ERROR: Can't determine data file name automatically.\n" +
                            kTotalTime);
  EXPECT_EQ(result.exitCode, 5);
  EXPECT_TRUE(pc.CommandLog().empty());
}

// The information block says "no data" while the data is written and gets its tag last, so that
// no interrupted update leaves a tag over old or half-written data.
TEST(MemoryAreaE2e, UserDataUpdateWritesTheTagLast) {
  constexpr uint16_t kInfo = (kUserBase / 256) & 0x3FFF;  // block address of the information block
  const Bytes oldInfo{'U', 'S', 'E', 'R', 20, 0, 0, 0};
  const Bytes newInfo{'U', 'S', 'E', 'R', 0xE8, 3, 0, 0};
  const std::string failure = "device failure (does not exist)\n";
  struct Case {
    std::vector<std::string> fault;
    std::string err;
    Bytes infoAfter;                       // first 8 bytes of the information block
    bool newData;                          // the new data stand behind it
    std::vector<uint16_t> writeAddresses;  // of the write commands, in order
  };
  const std::vector<Case> cases = {
      {{}, "", newInfo, true, {kInfo, kInfo + 1, kInfo + 2, kInfo + 3, kInfo + 4, kInfo}},
      {{"error", "0xe2", "0x85", "write"},
       "ERROR: Can't write data: " + failure,
       oldInfo,
       false,
       {kInfo}},
      {{"error", "0xe2", "0x85", "read"},
       "ERROR: Can't read data: " + failure,
       Bytes(8, 0xFF),
       true,
       {kInfo, kInfo + 1, kInfo + 2, kInfo + 3, kInfo + 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    SimulatedPc pc;
    Bytes old = Pattern(256 + 20, 50);
    std::copy(oldInfo.begin(), oldInfo.end(), old.begin());
    const std::string oldFile = FileIn(pc, "old.bin");
    ASSERT_TRUE(WriteFileBytes(oldFile, old));
    ASSERT_EQ(pc.Druxsim({"load", "flash", oldFile, "--offset", "0x9f0000"}).exitCode, 0);
    std::vector<std::string> fault{"fault"};
    fault.insert(fault.end(), c.fault.begin(), c.fault.end());
    ASSERT_EQ(c.fault.empty() ? 0 : pc.Druxsim(fault).exitCode, 0);
    const std::string input = FileIn(pc, "u.bin");
    const Bytes data = Pattern(1000, 7);
    ASSERT_TRUE(WriteFileBytes(input, data));
    ProgramOutput update = pc.Run(Druxsvc(), {"u", "user", input}, "", kFrozenClock);
    EXPECT_EQ(update.exitCode, c.err.empty() ? 0 : 6);
    EXPECT_EQ(update.err, c.err);
    ASSERT_EQ(pc.Druxsim({"fault", "clear"}).exitCode, 0);
    EXPECT_EQ(Dump(pc, "flash", kUserBase, 8), c.infoAfter);
    EXPECT_EQ(Dump(pc, "flash", kUserBase + 256, 20), c.newData
                                                          ? Bytes(data.begin(), data.begin() + 20)
                                                          : Bytes(old.begin() + 256, old.end()));
    std::vector<uint16_t> writes;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      if (!entry.read) {
        writes.push_back(entry.address);
      }
    }
    EXPECT_EQ(writes, c.writeAddresses);
  }
}

// The whole 16 MiB flash goes to a file and back; both must stay quick.
TEST(MemoryAreaE2e, CompleteFlashSavedAndWritten) {
  SimulatedPc pc;
  const std::string image = FileIn(pc, "image.bin");
  const Bytes marks = Pattern(4096, 99);
  ASSERT_TRUE(WriteFileBytes(image, marks));
  ASSERT_EQ(pc.Druxsim({"load", "flash", image, "--offset", "0xfff000"}).exitCode, 0);

  const std::string saved = FileIn(pc, "saved-flash.bin");  // flash.bin is the simulator's
  auto start = std::chrono::steady_clock::now();
  ProgramOutput save = pc.Run(FullSet(), {"s", "flash", saved}, "", kFrozenClock);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(save.out.rfind(kPcLine + "Save Flash data ...\nWrite data file: " + saved +
                               "\nCheck Flash data ...\nData has 16777216 bytes\n",
                           0),
            0u)
      << save.out.substr(0, 400);
  EXPECT_EQ(save.out.substr(save.out.size() - 15 - kTotalTime.size()),
            "Save finished.\n" + kTotalTime);
  EXPECT_LT(seconds, 10.0) << "a save of the complete flash must not crawl";
  Bytes file = ReadFileBytes(saved);
  ASSERT_EQ(file.size(), 0x1000000u);
  EXPECT_EQ(Bytes(file.end() - 4096, file.end()), marks);

  // Refused, then accepted: the file goes back whole.
  file[0] = 0x5A;
  ASSERT_TRUE(WriteFileBytes(saved, file));
  ProgramOutput refused = pc.Run(FullSet(), {"u", "flash", saved}, "n\n", kFrozenClock);
  EXPECT_EQ(refused.out, kPcLine + "Update Flash data ...\nRead data file: " + saved +
                             "\nCheck Flash data file ...\nFile has 16777216 bytes\n"
                             "Overwrite complete flash (y/n): " +
                             kTotalTime);
  EXPECT_EQ(refused.exitCode, 7);
  EXPECT_EQ(Dump(pc, "flash", 0, 1), Bytes{0xFF});

  start = std::chrono::steady_clock::now();
  ProgramOutput update = pc.Run(FullSet(), {"u", "flash", saved, "-y"}, "", kFrozenClock);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(Dump(pc, "flash", 0, 1), Bytes{0x5A});
  EXPECT_EQ(Dump(pc, "flash", 0xFFF000, 4096), marks);
}

TEST(MemoryAreaE2e, SystemDataOfAVp41) {
  SimulatedPc pc({"pc=VP41"});
  const std::string input = FileIn(pc, "sys.bin");
  const Bytes data = Pattern(48, 3);
  ASSERT_TRUE(WriteFileBytes(input, data));
  // The full set names only two models; this one is "unsupported" there but has system data.
  const std::string pcLine = "PC is an unsupported type.\n";
  ProgramOutput update = pc.Run(FullSet(), {"u", "sys", input}, "", kFrozenClock);
  EXPECT_EQ(update.out, pcLine + "Update system data ...\nRead data file: " + input +
                            "\nCheck system data file ...\nFile has 48 bytes\n"
                            "Write 48 bytes to device: " +
                            kDone + "Verify 48 bytes with device: " + kDone + "Update finished.\n" +
                            kTotalTime);
  EXPECT_EQ(update.exitCode, 0) << update.err;
  Bytes info(16, 0);
  info[0] = 48;
  EXPECT_EQ(Dump(pc, "sysdata", 0, 16), info);
  EXPECT_EQ(Dump(pc, "sysdata", 16, 48), data);

  ProgramOutput shown = pc.Run(FullSet(), {"i", "system"}, "", kFrozenClock);
  EXPECT_EQ(
      shown.out,
      pcLine + "\n-- System data --\n\nCheck system data ...\nData has 48 bytes\n\n" + kTotalTime);

  const std::string tooLong = FileIn(pc, "long.bin");
  ASSERT_TRUE(WriteFileBytes(tooLong, Pattern(49, 1)));
  ProgramOutput refused = pc.Run(FullSet(), {"u", "sys", tooLong}, "", kFrozenClock);
  EXPECT_EQ(refused.err, "ERROR: Invalid file size (0 or greater 48 bytes).\n");
  EXPECT_EQ(refused.exitCode, 5);

  ProgramOutput deleted = pc.Run(FullSet(), {"d", "sys", "-y"}, "", kFrozenClock);
  EXPECT_EQ(deleted.exitCode, 0);
  EXPECT_EQ(Dump(pc, "sysdata", 0, 16), Bytes(16, 0xFF));
}

// An update pads the data to whole blocks of what it writes: the system data store takes 16-byte
// blocks and must never get bytes past its end (64 bytes on a VP41); flash areas take pages.
TEST(MemoryAreaE2e, UpdatePaddingFollowsTheArea) {
  struct Case {
    std::string pc;
    std::string type;
    size_t fileSize;
    uint32_t infoBlock;  // written twice, before and after the data
    uint32_t written;    // data bytes with the padding
  };
  const std::vector<Case> cases = {
      {"pc=VP41", "sys", 40, 16, 48},
      {"pc=VP41", "sys", 48, 16, 48},
      {"pc=EX52", "sys", 300, 16, 304},
      {"pc=VP41", "user", 40, 256, 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pc + " " + c.type + " " + std::to_string(c.fileSize));
    SimulatedPc pc({c.pc});
    const Bytes store = Pattern(1024, 77);  // what lies behind the data must stay
    const std::string storeFile = FileIn(pc, "store.bin");
    ASSERT_TRUE(WriteFileBytes(storeFile, store));
    ASSERT_EQ(pc.Druxsim({"load", "sysdata", storeFile}).exitCode, 0);
    const std::string input = FileIn(pc, "in.bin");
    const Bytes data = Pattern(c.fileSize, 5);
    ASSERT_TRUE(WriteFileBytes(input, data));
    ProgramOutput update = pc.Run(FullSet(), {"u", c.type, input}, "", kFrozenClock);
    EXPECT_EQ(update.exitCode, 0) << update.err;
    uint32_t written = 0;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      written += entry.read ? 0 : entry.size;
    }
    EXPECT_EQ(written, 2 * c.infoBlock + c.written);
    if (c.type == "sys") {
      const uint32_t end = 16 + c.written;
      EXPECT_EQ(Dump(pc, "sysdata", 16, uint32_t(c.fileSize)), data);
      if (const uint32_t padding = end - 16 - uint32_t(c.fileSize); padding != 0) {
        EXPECT_EQ(Dump(pc, "sysdata", 16 + uint32_t(c.fileSize), padding), Bytes(padding, 0xFF));
      }
      EXPECT_EQ(Dump(pc, "sysdata", end, 1024 - end), Bytes(store.begin() + end, store.end()));
    }
  }
}

// druxsim names the store in its help and loads it; the program reads what was loaded, and
// the store persists in its own file.
TEST(MemoryAreaE2e, SystemDataStoreThroughDruxsim) {
  SimulatedPc pc({"pc=EX52"});
  ProgramOutput help = pc.Druxsim({"help"});
  EXPECT_NE(help.out.find("sysdata"), std::string::npos) << help.out;
  Bytes store(16 + 496, 0);
  store[0] = 0xF0;
  store[1] = 0x01;  // 496 bytes
  const Bytes data = Pattern(496, 1);
  std::copy(data.begin(), data.end(), store.begin() + 16);
  const std::string loaded = FileIn(pc, "store.bin");
  ASSERT_TRUE(WriteFileBytes(loaded, store));
  ProgramOutput load = pc.Druxsim({"load", "sysdata", loaded});
  ASSERT_EQ(load.exitCode, 0) << load.err;
  EXPECT_TRUE(std::filesystem::exists(pc.directory() + "/sysdata.bin"));
  // 16 + 496 bytes and more fit; 1 KiB in all.
  ProgramOutput tooLong = pc.Druxsim({"dump", "sysdata", FileIn(pc, "x.bin"), "--length", "1025"});
  EXPECT_EQ(tooLong.exitCode, 1);

  const std::string saved = FileIn(pc, "saved.bin");
  ProgramOutput save = pc.Run(FullSet(), {"s", "sys", saved}, "", kFrozenClock);
  EXPECT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(ReadFileBytes(saved), data);
}

TEST(MemoryAreaE2e, SystemDataNotOnAnEx64) {
  SimulatedPc pc;
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"i", "sys"}, {"d", "sys", "-y"}}) {
    ProgramOutput result = pc.Run(FullSet(), arguments, "", kFrozenClock);
    EXPECT_EQ(result.err, kNotSupported) << arguments[0];
    EXPECT_EQ(result.exitCode, 15) << arguments[0];
  }
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    EXPECT_NE(entry.code, 0x67);
  }
}

std::vector<std::string> SectionLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    if (line.rfind("-- ", 0) == 0 || line.rfind("ERROR: ", 0) == 0 ||
        line.rfind("Data has", 0) == 0 || line.rfind("No data", 0) == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

// The memory areas close the report: all of them in the full set, the user data in druxsvc.
TEST(MemoryAreaE2e, InfoAllEndsWithTheMemoryAreas) {
  SimulatedPc pc({"panel.1.connected=0"});
  const std::vector<std::string> fullSetEnd = {
      "-- System data --",     "ERROR: The data type is not supported on this PC.",
      "-- 2nd system data --", "No data available.",
      "-- 3rd system data --", "No data available.",
      "-- Flash data --",      "Data has 16777216 bytes",
      "-- User data --",       "No data available.",
  };
  ProgramOutput full = pc.Run(FullSet(), {"i", "all"}, "\n", kFrozenClock, true);
  EXPECT_EQ(full.exitCode, 0);
  std::vector<std::string> lines = SectionLines(full.out);
  ASSERT_GE(lines.size(), fullSetEnd.size()) << full.out;
  EXPECT_EQ(std::vector<std::string>(lines.end() - fullSetEnd.size(), lines.end()), fullSetEnd)
      << full.out;

  ProgramOutput service = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock, true);
  EXPECT_EQ(service.exitCode, 0);
  lines = SectionLines(service.out);
  ASSERT_GE(lines.size(), 2u) << service.out;
  EXPECT_EQ(lines[lines.size() - 2], "-- User data --");
  EXPECT_EQ(lines.back(), "No data available.");
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("ystem data"), std::string::npos) << line;
    EXPECT_EQ(line.find("Flash data"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace drux::test
