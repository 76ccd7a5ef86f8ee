// The link converter of a panel through druxsvc against simulated converters: Info, update of
// the copy that does not run, raw and checked saves, take-over when the converter restarts.
#include <string>
#include <vector>

#include "tests/e2e/link_firmware_e2e_support.h"

namespace drux::test {
namespace {

const std::string kConverterNotice =
    "*** The KVN converter must be powered off/on to take over the changes!***\n";

TEST_F(LinkFirmwareE2e, ConverterInfoAndTargets) {
  ProgramOutput none = Run(Druxsvc(), {"i", "conv", "-p=0"});
  EXPECT_EQ(none.out, kPcLine +
                          "\n-- Link converter FPGA firmware on panel 0 --\n\n"
                          "No converter available.\n\n" +
                          kTotalTime);
  EXPECT_EQ(none.exitCode, 0);
  ProgramOutput update = Run(Druxsvc(), {"u", "conv", "-p=0", "x.fp"});
  EXPECT_EQ(update.err, "ERROR: No converter available.\n");
  EXPECT_EQ(update.exitCode, 12);
  ProgramOutput noPanel = Run(Druxsvc(), {"s", "conv"});
  EXPECT_EQ(noPanel.err, "ERROR: Panel number (option -p) is required.\n");
  EXPECT_EQ(noPanel.exitCode, 1);
}

// Each update goes to the copy that does not run; after the restart Info shows it.
TEST_F(LinkFirmwareE2e, ConverterUpdateAndTakeOver) {
  const struct {
    std::string type;
    std::string area;
    std::string size;
    std::vector<std::string> image;
    std::vector<std::string> extra;
    std::string bootedAfter;
  } cases[] = {
      {"KR3B", "high", "0xa0000", {"--xml", "39:#"}, {"-r"}, "low"},
      {"KR3B", "low", "0xa0000", {}, {}, "high"},  // no XML header: image checks
      {"KR4B", "low", "0x300000", {"--xml", "44:#"}, {}, "high"},
  };
  for (const auto& c : cases) {
    Sim({"converter", "1", c.type, "version=1.05", "counter=7", "area=" + c.area});
    const std::string name = c.image.empty() ? "conv.bin" : "conv.fp";
    std::vector<std::string> image = {"image",  name,   "--id",      c.type,
                                      "--size", c.size, "--version", "1.08"};
    image.insert(image.end(), c.image.begin(), c.image.end());
    Sim(image);
    std::vector<std::string> arguments = {"u", "conv", "-p=1", name, "-y"};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    ProgramOutput update = Run(Druxsvc(), arguments);
    EXPECT_EQ(update.exitCode, 0) << c.type << c.area << update.err;
    EXPECT_TRUE(Contains(update.out, kConverterNotice)) << update.out;
    if (c.extra.empty()) {
      Sim({"powercycle"});
    } else {
      EXPECT_TRUE(Contains(update.out, "Trying to reboot panel 1 module 2 ...\n"));
    }
    ProgramOutput info = Run(Druxsvc(), {"i", "conv", "-p=1"});
    EXPECT_TRUE(Contains(info.out, "FPGA ID: " + c.type + "\nFPGA version: 1.08\n" +
                                       "FPGA booted from: " + c.bootedAfter +
                                       " area\nFPGA CRC state: OK\nFPGA update counter: 8\n"))
        << c.type << c.area << info.out;
  }
}

TEST_F(LinkFirmwareE2e, ConverterFileRefusals) {
  Sim({"converter", "1", "KR3B", "version=1.05"});
  const struct {
    std::vector<std::string> image;
    int exitCode;
    std::string err;
  } cases[] = {
      {{"--id", "KR4B"},
       9,
       "ERROR: The file does not contain a valid FPGA firmware header.\n"
       "       Please specify a valid FPGA firmware file.\n"},
      {{"--version-text", "-105"},
       9,
       "ERROR: The FPGA firmware file does not contain a valid version entry.\n"},
      {{"--break", "header-crc"}, 9, "ERROR: The FPGA firmware file has an invalid header CRC.\n"},
      {{"--break", "image-crc"}, 9, "ERROR: Invalid file CRC."},
      {{"--size", "0xa0010"}, 5, "ERROR: Invalid file size: not 655360 bytes.\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> image = {"image", "k.bin", "--id", "KR3B", "--size", "0xa0000"};
    image.insert(image.end(), c.image.begin(), c.image.end());
    Sim(image);
    Sim({"log", "--clear"});
    ProgramOutput run = Run(Druxsvc(), {"u", "conv", "-p=1", "k.bin", "-y"});
    EXPECT_EQ(run.exitCode, c.exitCode) << c.err << run.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(Writes(0xC0) + Writes(0xC1) + Writes(0xC2) + Writes(0xC3), 0);
  }
}

TEST_F(LinkFirmwareE2e, ConverterSaves) {
  Sim({"converter", "1", "KR4B", "version=1.05", "area=high"});
  // Break the running copy: a raw save copies it as it is, a checked save refuses it.
  Sim({"dump", "conv:1:running", "copy.bin", "--length", "64"});
  std::vector<uint8_t> bytes = ReadFileBytes("copy.bin");
  bytes[40] ^= 0xFF;
  WriteFileBytes("copy.bin", bytes);
  Sim({"load", "conv:1:running", "copy.bin"});

  ProgramOutput raw = Run(Druxsvc(), {"s", "conv", "-p=1", "image.bin"});
  EXPECT_EQ(raw.exitCode, 0) << raw.err;
  EXPECT_FALSE(Contains(raw.out, "Check ")) << raw.out;
  Sim({"dump", "conv:1:high", "high.bin"});
  EXPECT_EQ(ReadFileBytes("image.bin"), ReadFileBytes("high.bin"));

  ProgramOutput checked = Run(Druxsvc(), {"s", "conv", "-p=1"});
  EXPECT_TRUE(Contains(checked.out,
                       "Write FPGA file: 0044#0.fp\n"
                       "Check 3145728 bytes FPGA data: "));
  EXPECT_EQ(checked.err, "ERROR: Invalid CRC.\n");
  EXPECT_EQ(checked.exitCode, 9);
  EXPECT_FALSE(std::filesystem::exists("0044#0.fp"));

  // A KR3B save with XML header passes its own update check.
  Sim({"converter", "1", "KR3B", "version=1.05"});
  ProgramOutput save = Run(Druxsvc(), {"s", "conv", "-p=1", "-y"});
  EXPECT_EQ(save.exitCode, 0) << save.err;
  ProgramOutput back = Run(Druxsvc(), {"u", "conv", "-p=1", "-y"});
  EXPECT_TRUE(Contains(back.out, "Read FPGA file: 0039#0.fp\n")) << back.out;
  EXPECT_TRUE(Contains(back.out, "Active version is up-to-date.\n"));
  EXPECT_EQ(back.exitCode, 0) << back.err;
}

}  // namespace
}  // namespace drux::test
