// The druxsim additions for factory settings: records written from a few fields, and the
// EEPROMs dumped and loaded by name.
#include <string>
#include <vector>

#include "tests/e2e/fset_e2e_support.h"

namespace drux::test {
namespace {

TEST(FsetDruxsim, WritesRecordsThatTheProgramsRead) {
  SimulatedPc pc;
  ProgramOutput written =
      pc.Druxsim({"fset", "1", "--display", "devid=0x1E23", "pdevid=0xA640", "compat=0x10",
                  "serial=P1000000001", "hwrev=D2", "model=DX-PANEL-15", "version=1.2"});
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out, "fset:1: 384 bytes at offset 0 (record at 256)\n");

  ProgramOutput shown = pc.Run(FullSet(), {"i", "fset", "-m=1", "-y"}, "", kFrozenClock);
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_NE(shown.out.find(" Version: 1.02\n Model number: DX-PANEL-15\n"
                           " Serial number: P1000000001\n Hardware revision: D2\n"
                           " Device ID: 0x00001e23\n Compatibility ID: 0x0010\n"
                           " Parent device ID: 0x0000a640\n"),
            std::string::npos)
      << shown.out;

  std::vector<uint8_t> block = EepromBytes(pc, 1, 0, 256);
  EXPECT_EQ(block[0], 0x00);
  EXPECT_EQ(block[1], 0xFF);
  EXPECT_EQ(SumOf(block, 128), 0) << "EDID checksum";
  std::vector<uint8_t> internal(block.begin() + 128, block.end());
  EXPECT_EQ(SumOf(internal, 128), 0xAA) << "internal data checksum";
  EXPECT_EQ(block[140], 0x1E) << "device ID, big-endian";
  EXPECT_EQ(block[141], 0x23);
}

TEST(FsetDruxsim, PanelEepromAndOffset) {
  SimulatedPc pc;
  ProgramOutput written =
      pc.Druxsim({"fset", "0", "--panel", "1", "--offset", "1024", "devid=0x42"});
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out, "panelfset:1:0: 128 bytes at offset 1024 (record at 1024)\n");
  EXPECT_EQ(LittleEndian32At(EepromBytes(pc, 0, 1024, 128, 1), kFactAt + 10), 0x42u);
  EXPECT_EQ(EepromBytes(pc, 0, 1024, 16), std::vector<uint8_t>(16, 0xFF))
      << "the PC's EEPROM 0 stays erased";
}

TEST(FsetDruxsim, DumpAndLoadByEepromName) {
  SimulatedPc pc;
  TemporaryDirectory files;
  PutRecord(pc, {"3", "--offset", "16", "devid=0x33"});
  const std::string dumped = files.path() + "/eeprom3.bin";
  ProgramOutput dump = pc.Druxsim({"dump", "fset:3", dumped});
  ASSERT_EQ(dump.exitCode, 0) << dump.err;
  std::vector<uint8_t> bytes = ReadFileBytes(dumped);
  ASSERT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 128), EepromBytes(pc, 3, 0, 128));

  ProgramOutput load = pc.Druxsim({"load", "panelfset:15:2", dumped});
  ASSERT_EQ(load.exitCode, 0) << load.err;
  EXPECT_EQ(EepromBytes(pc, 2, 0, 2048, 15), bytes);

  ProgramOutput part = pc.Druxsim({"dump", "fset:3", dumped, "--offset", "16", "--length", "4"});
  ASSERT_EQ(part.exitCode, 0) << part.err;
  EXPECT_EQ(ReadFileBytes(dumped), (std::vector<uint8_t>{'H', 'E', 'A', 'D'}));
}

TEST(FsetDruxsim, RefusesWhatDoesNotFit) {
  // A created machine: its EEPROMs start erased, so that any stray write shows.
  SimulatedPc pc({"pc=EX64"});
  TemporaryDirectory files;
  const std::string big = files.path() + "/big.bin";
  WriteFileBytes(big, std::vector<uint8_t>(2049, 0));
  const std::vector<std::vector<std::string>> refused = {
      {"fset"},
      {"fset", "16"},
      {"fset", "0", "version=16.0"},
      {"fset", "0", "serial=123456789012"},
      {"fset", "0", "colour=red"},
      {"fset", "0", "--panel", "16"},
      {"fset", "0", "--offset", "2048"},
      {"fset", "0", "--offset", "1900", "--display"},
      {"fset", "0", "factat=8"},
      {"dump", "fset:16", files.path() + "/x.bin"},
      {"dump", "panelfset:16:0", files.path() + "/x.bin"},
      {"dump", "fset:0", files.path() + "/x.bin", "--length", "2049"},
      {"load", "fset:0", big},
  };
  for (const std::vector<std::string>& arguments : refused) {
    ProgramOutput result = pc.Druxsim(arguments);
    EXPECT_EQ(result.exitCode, 1) << arguments.back();
    EXPECT_NE(result.err, "") << arguments.back();
  }
  EXPECT_EQ(EepromBytes(pc, 0, 0, 2048), std::vector<uint8_t>(2048, 0xFF));
}

}  // namespace
}  // namespace drux::test
