// What the display-link saves and updates accept and keep, at their edges: the transmitter's
// write command by PC, the CRC state of a released KVN4 image, the saved file's material, the
// complete image's bounds, the update counter at its top and behind a broken header, the panel
// flash's register blocks, and save targets that can never be created.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/link_firmware_e2e_support.h"

namespace drux::test {
namespace {

// Entries of this code (with its address extensions for the block commands) in one direction.
int Count(const std::vector<sim::LogEntry>& log, uint8_t base, bool read) {
  const int span = base < 0x30 ? 1 : 4;
  return int(std::count_if(log.begin(), log.end(), [&](const sim::LogEntry& entry) {
    return entry.code >= base && entry.code < base + span && entry.read == read;
  }));
}

int AllWrites(const std::vector<sim::LogEntry>& log) {
  return int(std::count_if(log.begin(), log.end(),
                           [](const sim::LogEntry& entry) { return !entry.read; }));
}

// A wrong row of the table would write the right image with the wrong block size: each PC
// must see its own command alone, for every block of the image.
TEST_F(LinkFirmwareE2e, TransmitterUpdateWritesWithTheCommandOfItsPc) {
  const struct {
    std::string pc;
    std::string id;
    uint8_t command;
    int blocks;
  } cases[] = {
      {"EX52", "EX5K", 0xB0, 0xA0000 / 16},  {"VP52", "V5K3", 0xB0, 0xA0000 / 16},
      {"EX53", "EX5K", 0xB8, 0xA0000 / 256}, {"VP53", "EX5K", 0xB8, 0xA0000 / 256},
      {"VP53", "V5K3", 0xB8, 0xA0000 / 256},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pc + " " + c.id);
    Sim({"set", "pc=" + c.pc});
    Sim({"transmitter", c.id, "version=1.00", "devid=4711"});
    Sim({"image", "up.fp", "--id", c.id, "--version", "1.01", "--xml", "4711:_"});
    Sim({"log", "--clear"});
    ProgramOutput run = Run(Druxsvc(), {"u", "link", "up.fp", "-y", "-v"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<sim::LogEntry> log = pc_.CommandLog();
    EXPECT_EQ(Count(log, c.command, false), c.blocks);
    EXPECT_EQ(Count(log, c.command == 0xB0 ? 0xB8 : 0xB0, false), 0);
  }
}

// From 1.00 on a KVN4 image's own CRC is not checked: the controller's CRC state decides.
// Below 1.00 the copy's CRC decides, whatever the state bit says.
TEST_F(LinkFirmwareE2e, TransmitterSaveFollowsTheCrcRuleOfItsVersion) {
  const struct {
    std::string version;
    bool crcErrorBit;
    bool brokenCopy;
    int exitCode;
    std::string err;
  } cases[] = {
      {"1.00", true, false, 9, "ERROR: Invalid CRC.\n"},
      {"1.02", true, false, 9, "ERROR: Invalid CRC.\n"},
      {"1.00", false, true, 0, ""},  // the boundary: no whole-image CRC any more
      {"0.99", false, true, 9, "ERROR: Invalid CRC.\n"},
      {"0.99", true, false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version + (c.crcErrorBit ? " crc error" : "") + (c.brokenCopy ? " broken" : ""));
    Sim({"transmitter", "V6K4", "version=" + c.version});
    if (c.brokenCopy) {
      Sim({"dump", "link:running", "copy.bin", "--length", "64"});
      std::vector<uint8_t> bytes = ReadFileBytes("copy.bin");
      bytes[40] ^= 0xFF;
      WriteFileBytes("copy.bin", bytes);
      Sim({"load", "link:running", "copy.bin"});
    }
    Sim({"set", std::string("system-flags=") + (c.crcErrorBit ? "0x1000" : "0")});
    std::filesystem::remove("s.fp");
    ProgramOutput save = Run(Druxsvc(), {"s", "link", "s.fp", "-y", "-v"});
    EXPECT_EQ(save.exitCode, c.exitCode) << save.err;
    EXPECT_EQ(save.err, c.err);
    EXPECT_EQ(std::filesystem::exists("s.fp"), c.exitCode == 0);
  }
}

// Without a model number the file gets an empty material, which the update check refuses:
// the save says so.
TEST_F(LinkFirmwareE2e, TransmitterSaveWarnsWhenTheModelNumberIsMissing) {
  Sim({"transmitter", "V6K4", "version=1.02"});
  // The identity reads pass; the first piece of the model number fails.
  Sim({"fault", "error", "0x61", "0x85", "read", "--after", "2"});
  ProgramOutput save = Run(Druxsvc(), {"s", "link", "s.fp", "-y", "-v"});
  EXPECT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(save.err,
            "WARNING: Model number can't be read: the saved file will not pass the update "
            "check.\n");
  Sim({"fault", "clear"});
  ProgramOutput update = Run(Druxsvc(), {"u", "link", "s.fp", "-y"});
  EXPECT_EQ(update.err, "ERROR: Invalid XML header - 'Mat' attribute missing or empty.\n");
  EXPECT_EQ(update.exitCode, 9);

  ProgramOutput intact = Run(Druxsvc(), {"s", "link", "t.fp", "-y", "-v"});
  EXPECT_EQ(intact.exitCode, 0) << intact.err;
  EXPECT_EQ(intact.err, "");
}

// The complete image is KVN4's alone and fits the flash; every refusal writes nothing.
TEST_F(LinkFirmwareE2e, CompleteImageRefusals) {
  const struct {
    std::string label;
    std::string program;
    std::string transmitter;
    std::string size;
    int exitCode;
    std::string err;
  } cases[] = {
      {"beyond the flash", Druxsvc(), "V6K4", "0x1000100", 9,
       "ERROR: Invalid data size: > 16777216 bytes.\n"},
      {"beyond the flash, full set", FullSet(), "V4K4", "0x1000100", 9,
       "ERROR: Invalid data size: > 16777216 bytes.\n"},
      {"not a KVN4 transmitter", Druxsvc(), "LKVN", "0x200", 13,
       "ERROR: FPGA ID 'LKVN' is not supported.\n"},
      {"not a KVN4 transmitter, full set", FullSet(), "EX6K", "0x200", 13,
       "ERROR: FPGA ID 'EX6K' is not supported.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Sim({"transmitter", c.transmitter, "devid=4864"});
    Sim({"image", "04864i0.fp", "--id", c.transmitter, "--size", c.size, "--xml", "4864:i"});
    Sim({"log", "--clear"});
    ProgramOutput run = Run(c.program, {"u", "linkifile", "-y"});
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(AllWrites(pc_.CommandLog()), 0);
  }
  std::filesystem::remove("04864i0.fp");
}

// The counter written is one more than the running image's, held at the top; a compatible
// image header whose CRC fails gives no counter to go on from.
TEST_F(LinkFirmwareE2e, UpdateCounterAtItsTopAndBehindABrokenHeader) {
  Sim({"transmitter", "EX6K", "version=1.00", "counter=4294967295", "devid=4711"});
  Sim({"image", "up.fp", "--id", "EX6K", "--version", "1.01", "--counter", "5", "--xml", "4711:_"});
  ASSERT_EQ(Run(Druxsvc(), {"u", "link", "up.fp", "-y", "-v"}).exitCode, 0);
  Sim({"powercycle"});
  EXPECT_TRUE(Contains(Run(Druxsvc(), {"i", "link"}).out,
                       "FPGA version: 1.01\nFPGA booted from: high area\n"
                       "FPGA CRC state: OK\nFPGA update counter: 4294967295\n"));

  // A group M panel without module functions: its counter comes from the panel flash.
  Sim({"receiver", "0", "0x725C", "version=2.16", "modules=0", "protect=0"});
  Sim({"image", "broken.bin", "--id", "KR3D", "--version", "2.16", "--counter", "7", "--break",
       "header-crc"});
  Sim({"load", "panelflash:0", "broken.bin"});
  Sim({"image", "new.bin", "--id", "KR3D", "--version", "2.17"});
  ProgramOutput update = Run(Druxsvc(), {"u", "link", "-p=0", "new.bin", "-y"});
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_TRUE(Contains(update.out, "FPGA update counter: 0\n")) << update.out;
  Sim({"dump", "panelflash:0", "head.bin", "--length", "32"});
  const std::vector<uint8_t> head = ReadFileBytes("head.bin");
  ASSERT_EQ(head.size(), 32u);
  EXPECT_EQ(head[0x18], 1);
  EXPECT_EQ(head[0x19] | head[0x1A] | head[0x1B], 0);
}

// The compatible save checks the header first: a broken one leaves no file.
TEST_F(LinkFirmwareE2e, CompatibleSaveRefusesABrokenHeader) {
  Sim({"receiver", "0", "0x725C", "version=2.16", "modules=0"});
  Sim({"image", "broken.bin", "--id", "KR3D", "--version", "2.16", "--break", "header-crc"});
  Sim({"load", "panelflash:0", "broken.bin"});
  for (const std::string name : {"r.fp", "r.bin"}) {
    ProgramOutput save = Run(Druxsvc(), {"s", "link", "-p=0", name, "-y"});
    EXPECT_EQ(save.exitCode, 9) << name;
    EXPECT_EQ(save.err, "ERROR: The FPGA firmware header has an invalid CRC.\n") << name;
    EXPECT_FALSE(std::filesystem::exists(name)) << name;
  }
}

// Blocks 0x3FF1 and 0x3FF2 of a panel flash are where the indirect path keeps its registers:
// a full old-format image reaches them only through that path, in the write, the verify and
// the save; an erased area has no trailer to find.
TEST_F(LinkFirmwareE2e, GroupSFullImageAndTheRegisterBlocks) {
  Sim({"receiver", "0", "0xE05D", "version=0.40", "protect=0"});
  Sim({"image", "full.bin", "--format", "old", "--id", "KVN8", "--version", "0.41", "--size",
       "0x40000"});
  Sim({"log", "--clear"});
  ProgramOutput update = Run(Druxsvc(), {"u", "link", "-p=0", "full.bin", "-y"});
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_TRUE(Contains(update.out, "Verify 262144 bytes with device:")) << update.out;
  int indexWrites = 0;
  for (const sim::LogEntry& entry : pc_.CommandLog()) {
    if (entry.code == 0x20 && entry.target == 3 && entry.address == 0x3FF1) {
      EXPECT_FALSE(entry.read);
      EXPECT_EQ(entry.size, 4);
      ++indexWrites;
    }
  }
  EXPECT_EQ(indexWrites, 4);  // two blocks, written and verified
  Sim({"dump", "panelflash:0", "back.bin", "--length", "0x40000"});
  EXPECT_EQ(ReadFileBytes("back.bin"), ReadFileBytes("full.bin"));

  ProgramOutput save = Run(Druxsvc(), {"s", "link", "-p=0", "saved.bin", "-y"});
  EXPECT_EQ(save.exitCode, 0) << save.err;
  EXPECT_TRUE(Contains(save.out, "FPGA data size: 262144 bytes\n")) << save.out;
  EXPECT_EQ(ReadFileBytes("saved.bin"), ReadFileBytes("full.bin"));

  WriteFileBytes("erased.bin", std::vector<uint8_t>(0x40000, 0xFF));
  Sim({"load", "panelflash:0", "erased.bin"});
  ProgramOutput scan = Run(Druxsvc(), {"s", "link", "-p=0", "none.bin", "-y"});
  EXPECT_EQ(scan.exitCode, 9);
  EXPECT_EQ(scan.err, "ERROR: FPGA info not found (old firmware).\n");
  EXPECT_FALSE(std::filesystem::exists("none.bin"));
}

// A name that can never take the file is refused where the save engine opens it, before it
// reads: a directory, a last component beyond the file system's limit.
TEST_F(LinkFirmwareE2e, SaveToANameThatCannotBeCreated) {
  std::filesystem::create_directory("taken.fp");
  const struct {
    std::string name;
    std::string reason;
  } targets[] = {
      {"taken.fp", "Is a directory"},
      {std::string(300, 'x') + ".fp", "File name too long"},
  };
  Sim({"transmitter", "V4K4", "version=1.07"});
  for (const auto& target : targets) {
    // The FPGA image's own check reads it once; the save engine reads nothing.
    const struct {
      std::string program;
      std::string type;
      int checkReads;
    } saves[] = {{Druxsvc(), "link", 0x300000 / 256}, {FullSet(), "linkbldr", 0}};
    for (const auto& save : saves) {
      SCOPED_TRACE(save.type + " " + target.reason);
      Sim({"log", "--clear"});
      ProgramOutput run = Run(save.program, {"s", save.type, target.name, "-y"});
      EXPECT_EQ(run.exitCode, 2) << run.err;
      EXPECT_EQ(run.err, "ERROR: Can't open file: " + target.reason + "\n");
      EXPECT_EQ(Count(pc_.CommandLog(), 0xE0, true), save.checkReads);
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory("taken.fp"));
}

}  // namespace
}  // namespace drux::test
