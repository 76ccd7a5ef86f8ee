// The PC's link transmitter through druxsvc and the full-set program against simulated
// transmitters: Info, the checks of an update, save with and without the CRC check, the
// parent-ID retry, take-over at a power cycle or with -r, bootloader and complete image.
#include <string>
#include <vector>

#include "tests/e2e/link_firmware_e2e_support.h"

namespace drux::test {
namespace {

const std::string kNotice =
    "*** The PC must be powered off/on to take over the changes!***\n"
    "    (if option -r is specified, the device is rebooted)\n";

TEST_F(LinkFirmwareE2e, TransmitterInfo) {
  ProgramOutput info = Run(Druxsvc(), {"i", "link"});
  EXPECT_EQ(info.out, kPcLine +
                          "\n-- Link transmitter FPGA firmware --\n\nFPGA ID: V6K4\n"
                          "FPGA version: 1.02\nFPGA booted from: low area\nFPGA CRC state: OK\n"
                          "FPGA update counter: 3\n\n" +
                          kTotalTime);
  EXPECT_EQ(info.exitCode, 0) << info.err;

  ProgramOutput all = Run(Druxsvc(), {"i", "all"});
  EXPECT_LT(all.out.find("-- DRUX firmware --"), all.out.find("-- Link transmitter FPGA"));
  EXPECT_TRUE(Contains(all.out,
                       "-- Link converter FPGA firmware on panel 0 --\n\n"
                       "No converter available.\n"));
  EXPECT_TRUE(Contains(all.out, "-- Link converter FPGA firmware on panel 1 --\n\nFPGA ID: KR3B"));

  // A sign in the running image's version text is no version: nothing is saved.
  Sim({"image", "signed.bin", "--id", "V6K4", "--version-text", "-105", "--size", "0x300000"});
  Sim({"load", "link:running", "signed.bin"});
  for (const char* action : {"i", "s"}) {
    ProgramOutput refused = Run(Druxsvc(), {action, "link", "signed.fp", "-y"});
    EXPECT_EQ(refused.err, "ERROR: The FPGA firmware does not contain a valid version entry.\n");
    EXPECT_EQ(refused.exitCode, 9);
  }
  EXPECT_FALSE(std::filesystem::exists("signed.fp"));

  Sim({"set", "pc=VP41"});
  ProgramOutput none = Run(Druxsvc(), {"i", "link"});
  EXPECT_TRUE(Contains(none.out, "No link transmitter available.\n")) << none.out;
  EXPECT_EQ(none.exitCode, 0);
  ProgramOutput update = Run(Druxsvc(), {"u", "link", "x.fp", "-y"});
  EXPECT_EQ(update.err, "ERROR: No link transmitter available.\n");
  EXPECT_EQ(update.exitCode, 12);
}

// Every refusal comes before the first write.
TEST_F(LinkFirmwareE2e, TransmitterUpdateChecks) {
  const struct {
    std::string label;
    std::vector<std::string> transmitter;
    std::vector<std::string> image;  // written to up.fp
    std::vector<std::string> arguments;
    std::string input;
    int exitCode;
    std::string err;
    std::string out;
  } cases[] = {
      {"kvn4 major",
       {"V4K4", "version=1.07"},
       {"--id", "V4K4", "--version", "2.01"},
       {"u", "link", "up.fp", "-y"},
       "",
       8,
       "ERROR: Incompatible versions - file version 1.xx is required.\n",
       "File version: 2.01"},
      {"kvn any major",
       {"LKVN", "version=1.07"},
       {"--id", "LKVN", "--version", "2.01"},
       {"u", "link", "up.fp", "-y"},
       "",
       0,
       "",
       kNotice},
      {"equal declined",
       {"LKVN", "version=1.07"},
       {"--id", "LKVN", "--version", "1.07"},
       {"u", "link", "up.fp"},
       "n\n",
       7,
       "",
       "Active version is up-to-date.\n"},
      {"older with -y",
       {"LKVN", "version=1.07"},
       {"--id", "LKVN", "--version", "1.06"},
       {"u", "link", "up.fp", "-y"},
       "",
       0,
       "",
       "WARNING: Active version is newer than file version!\n"},
      {"short name",
       {"LKVN"},
       {},
       {"u", "link", "a", "-y"},
       "",
       15,
       "ERROR: Files without XML header are not supported. Update with a .fp file.\n",
       ""},
      {"other device",
       {"LKVN"},
       {"--id", "LKVN", "--version", "2.00", "--xml", "4712:_"},
       {"u", "link", "up.fp", "-y"},
       "",
       13,
       "ERROR: Device ID does not match.\n",
       ""},
      {"complete image function",
       {"LKVN"},
       {"--id", "LKVN", "--version", "2.00", "--xml", "4711:i"},
       {"u", "link", "up.fp", "-y"},
       "",
       13,
       "ERROR: Function does not match.\n",
       ""},
      {"too large",
       {"LKVN"},
       {"--id", "LKVN", "--size", "0xa0100"},
       {"u", "link", "up.fp", "-y"},
       "",
       9,
       "ERROR: Invalid data size: > 655360 bytes.\n",
       ""},
      {"unknown id",
       {"ABCD"},
       {"--id", "ABCD"},
       {"u", "link", "up.fp", "-y"},
       "",
       13,
       "ERROR: Can't check XML file: FPGA ID 'ABCD' is not supported.\n",
       ""},
      {"EX5K on an EX64",
       {"EX5K"},
       {"--id", "EX5K", "--version", "2.00"},
       {"u", "link", "up.fp", "-y"},
       "",
       13,
       "ERROR: FPGA ID 'EX5K' is not supported.\n",
       ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> setup = {"transmitter"};
    setup.insert(setup.end(), c.transmitter.begin(), c.transmitter.end());
    setup.push_back("devid=4711");
    Sim(setup);
    if (!c.image.empty()) {
      std::vector<std::string> image = {"image", "up.fp", "--xml", "4711:_"};
      image.insert(image.end(), c.image.begin(), c.image.end());
      Sim(image);
    }
    WriteFileBytes("a", std::vector<uint8_t>(16, 0));
    Sim({"log", "--clear"});
    ProgramOutput run = Run(Druxsvc(), c.arguments, c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.label << run.err;
    EXPECT_EQ(run.err, c.err) << c.label;
    EXPECT_TRUE(Contains(run.out, c.out)) << c.label << run.out;
    EXPECT_EQ(Writes(0xB0) + Writes(0xB8) > 0, c.exitCode == 0) << c.label;
  }
}

TEST_F(LinkFirmwareE2e, TransmitterTakesOverAtPowerCycleAndReboot) {
  Sim({"image", "04711_0.fp", "--id", "V6K4", "--version", "1.05", "--counter", "9", "--size",
       "0x300000", "--xml", "4711:_"});
  Sim({"transmitter", "V6K4", "version=1.02", "counter=3", "parent=4711"});
  ProgramOutput update = Run(Druxsvc(), {"u", "link", "-y"});
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_TRUE(Contains(update.out, "Parent device ID 4711 is used\nRead FPGA file: 04711_0.fp\n"));
  EXPECT_TRUE(Contains(update.out, "Write 3145728 bytes to device:"));
  Sim({"powercycle"});
  ProgramOutput info = Run(Druxsvc(), {"i", "link"});
  EXPECT_TRUE(Contains(info.out,
                       "FPGA version: 1.05\nFPGA booted from: high area\n"
                       "FPGA CRC state: OK\nFPGA update counter: 4\n"))
      << info.out;

  // With -r the PC reboots at once and the transmitter starts the new image.
  Sim({"image", "04711_0.fp", "--id", "V6K4", "--version", "1.06", "--size", "0x300000", "--xml",
       "4711:_"});
  ProgramOutput reboot = Run(Druxsvc(), {"u", "link", "-y", "-r"});
  EXPECT_EQ(reboot.exitCode, 0) << reboot.err;
  EXPECT_TRUE(Contains(reboot.out, kTotalTime + "Reboot PC ...\n")) << reboot.out;
  EXPECT_TRUE(Contains(Run(Druxsvc(), {"i", "link"}).out,
                       "FPGA version: 1.06\nFPGA booted from: low area\nFPGA CRC state: OK\n"
                       "FPGA update counter: 5\n"));
}

TEST_F(LinkFirmwareE2e, TransmitterParentIdRetryAndFailureInTheMiddle) {
  Sim({"transmitter", "LKVN", "version=1.00", "parent=0x1267", "devid=0x1300"});
  Sim({"image", "04864_0.fp", "--id", "LKVN", "--version", "1.01", "--xml", "4864:_"});
  Sim({"fault", "error", "0xb0", "0x83", "write", "--after", "100"});
  ProgramOutput run = Run(Druxsvc(), {"u", "link", "-y"});
  EXPECT_TRUE(Contains(run.out,
                       "Parent device ID 4711 is used\nRead FPGA file: 04711_0.fp\n"
                       "Trying again with file based on device ID 4864 ...\n"
                       "Read FPGA file: 04864_0.fp\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.err, "ERROR: Can't write data: "));
  EXPECT_TRUE(Contains(run.err, "WARNING: Retry update before the PC is powered off/on!\n"));
  EXPECT_EQ(run.exitCode, 6);
  EXPECT_EQ(Writes(0xB0), 101);
  Sim({"fault", "clear"});
  Sim({"powercycle"});
  EXPECT_TRUE(Contains(Run(Druxsvc(), {"i", "link"}).out, "FPGA version: 1.00\n"));
}

TEST_F(LinkFirmwareE2e, TransmitterSaveChecksTheCrcByVersion) {
  const struct {
    std::string transmitter;
    std::string version;
    std::string pc;
    std::string name;
    int exitCode;
    std::string err;
  } cases[] = {
      {"V5K4", "1.02", "EX53", "s.fp", 0, ""},  // released KVN4 images carry no CRC
      {"V5K4", "0.98", "EX53", "s.fp", 9, "ERROR: Invalid CRC.\n"},
      {"EX5K", "1.10", "EX53", "s.fp", 9, "ERROR: Invalid CRC.\n"},
      {"EX5K", "1.10", "EX64", "s.fp", 13, "ERROR: FPGA ID 'EX5K' is not supported.\n"},
      {"V6K4", "1.02", "EX64", "s.bin", 13,
       "ERROR: Files without XML header are not supported. Save as .fp file.\n"},
  };
  for (const auto& c : cases) {
    Sim({"set", "pc=" + c.pc});
    Sim({"transmitter", c.transmitter, "version=" + c.version, "area=high"});
    // A broken byte behind the header of the running copy.
    Sim({"dump", "link:running", "copy.bin", "--length", "64"});
    std::vector<uint8_t> bytes = ReadFileBytes("copy.bin");
    bytes[40] ^= 0xFF;
    WriteFileBytes("copy.bin", bytes);
    Sim({"load", "link:running", "copy.bin"});
    Sim({"log", "--clear"});
    std::filesystem::remove(c.name);
    ProgramOutput save = Run(Druxsvc(), {"s", "link", c.name, "-y"});
    EXPECT_EQ(save.exitCode, c.exitCode) << c.transmitter << c.version << save.err;
    EXPECT_EQ(save.err, c.err) << c.transmitter << c.version;
    EXPECT_EQ(std::filesystem::exists(c.name), c.exitCode == 0);
  }
  // EX5K on an EX53 running high: 0xA0000 bytes from 0x120000 in 256-byte blocks.
  Sim({"set", "pc=EX53"});
  Sim({"transmitter", "EX5K", "version=1.10", "area=high"});
  Sim({"log", "--clear"});
  ProgramOutput save = Run(Druxsvc(), {"s", "link", "ex5k.fp", "-y", "-v"});
  EXPECT_EQ(save.exitCode, 0) << save.err;
  const std::vector<sim::LogEntry> log = pc_.CommandLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().code, 0xE0);
  EXPECT_EQ(log.back().address, 0x1200 + 0x9FF);  // the last 256-byte block of the copy
  Sim({"dump", "link:high", "high.bin"});
  const std::vector<uint8_t> file = ReadFileBytes("ex5k.fp");
  const std::vector<uint8_t> high = ReadFileBytes("high.bin");
  ASSERT_GE(file.size(), high.size());
  EXPECT_TRUE(std::equal(high.begin(), high.end(), file.end() - long(high.size())));
  EXPECT_EQ(high.size(), 0xA0000u);
}

TEST_F(LinkFirmwareE2e, BootloaderAndCompleteImage) {
  Sim({"transmitter", "V4K4", "version=1.07", "parent=0x1267", "devid=0x1300"});
  ProgramOutput save = Run(FullSet(), {"s", "linkbldr", "-y"});
  EXPECT_EQ(save.exitCode, 0) << save.err;
  EXPECT_TRUE(Contains(save.out, "Write BLDR file: 1267bldr.bin\n"));
  EXPECT_TRUE(Contains(save.out, "INFO: File is saved without XML header.\n"));
  EXPECT_EQ(ReadFileBytes("1267bldr.bin").size(), 0x100000u);

  WriteFileBytes("big.bin", std::vector<uint8_t>(0x100001, 0x5A));
  Sim({"log", "--clear"});
  ProgramOutput big = Run(FullSet(), {"u", "linkbldr", "big.bin", "-y"});
  EXPECT_EQ(big.err, "ERROR: Invalid file size: > 1048576 bytes.\n");
  EXPECT_EQ(big.exitCode, 5);
  EXPECT_EQ(Writes(0xE0), 0);

  WriteFileBytes("boot.bin", std::vector<uint8_t>(0x100000, 0x3C));
  ProgramOutput update = Run(FullSet(), {"u", "linkbldr", "boot.bin"}, "y\n");
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_TRUE(Contains(update.out,
                       "         Do not turn off the PC during the update!\n"
                       "Continue (y/n): "));
  Sim({"dump", "link:bootloader", "back.bin"});
  EXPECT_EQ(ReadFileBytes("back.bin"), ReadFileBytes("boot.bin"));

  // The complete image belongs to the device ID, never the parent ID.
  Sim({"image", "04864i0.fp", "--id", "V4K4", "--size", "0x200", "--xml", "4864:i"});
  ProgramOutput complete = Run(FullSet(), {"u", "linkifile", "-y"});
  EXPECT_EQ(complete.exitCode, 0) << complete.err;
  EXPECT_TRUE(Contains(complete.out, "Read FPGA I file: 04864i0.fp\n"));

  Sim({"transmitter", "LKVN"});
  ProgramOutput refused = Run(FullSet(), {"u", "linkbldr", "boot.bin"}, "y\n");
  EXPECT_TRUE(Contains(refused.out, "Continue (y/n): "));
  EXPECT_EQ(refused.err, "ERROR: FPGA ID 'LKVN' is not supported.\n");
  EXPECT_EQ(refused.exitCode, 13);
}

}  // namespace
}  // namespace drux::test
