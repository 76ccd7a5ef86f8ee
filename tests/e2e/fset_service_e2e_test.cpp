// druxsvc on the fan kits: Info, Update and Delete of FANFSET (PC module 8) and FAN2FSET (PC
// module 12), whatever panel the command line names.
#include <string>
#include <vector>

#include "tests/e2e/fset_e2e_support.h"

namespace drux::test {
namespace {

constexpr const char* kFanKitIdentity =
    "Check factory settings ...\n"
    " Version: 2.03\n"
    " Model number: 5AC900.FA00-00\n"
    " Serial number: FAN00000042\n"
    " Hardware revision: A1\n"
    " Device ID: 0x0000a6f0\n"
    " Compatibility ID: 0x0002\n"
    " Parent device ID: 0x0000a640\n"
    " Parent compatibility ID: 0x0001\n";

std::vector<std::string> FanKitRecord(const std::string& device, const std::string& offset) {
  return {device,       "--offset",
          offset,       "devid=0xA6F0",
          "compat=2",   "pdevid=0xA640",
          "pcompat=1",  "serial=FAN00000042",
          "hwrev=A1",   "model=5AC900.FA00-00",
          "version=2.3"};
}

TEST(FsetServiceE2e, InfoOfTheFanKits) {
  struct Case {
    const char* name;
    const char* pc;
    std::vector<std::string> record;
    std::vector<std::string> arguments;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"fan kit",
       "pc=EX64",
       FanKitRecord("0", "1280"),
       {"i", "fanfset"},
       std::string("\n-- Factory settings of module 8 (fan kit) --\n\n") + kFanKitIdentity},
      {"fan kit, panel named",
       "pc=EX64",
       FanKitRecord("0", "1280"),
       {"i", "fanfset", "-p=1"},
       std::string("\n-- Factory settings of module 8 (fan kit) --\n\n") + kFanKitIdentity},
      {"fan kit of an EM64 (768 bytes)",
       "pc=EM64",
       FanKitRecord("0", "1280"),
       {"i", "fanfset"},
       std::string("\n-- Factory settings of module 8 (fan kit) --\n\n") + kFanKitIdentity},
      {"bus fan kit of a VP41",
       "pc=VP41",
       FanKitRecord("2", "640"),
       {"i", "fan2fset"},
       std::string("\n-- Factory settings of module 12 (bus fan kit) --\n\n") + kFanKitIdentity},
      {"bus fan kit of an EX64",
       "pc=EX64",
       {},
       {"i", "fan2fset", "-p=0"},
       "\n-- Factory settings of module 12 (bus fan kit) --\n\n"
       "Factory settings are not supported for this module.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedPc pc({c.pc});
    if (!c.record.empty()) {
      PutRecord(pc, c.record);
    }
    ProgramOutput result = pc.Run(Druxsvc(), c.arguments, "", kFrozenClock);
    const std::string pcLine = result.out.substr(0, result.out.find('\n') + 1);
    EXPECT_EQ(result.out, pcLine + c.shown + "\n" + kTotalTime);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
  }
}

TEST(FsetServiceE2e, InfoReportsBrokenRecords) {
  struct Case {
    const char* name;
    std::vector<std::string> record;
    int exitCode;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"erased", {}, 12, "ERROR: No factory settings available.\n"},
      {"bad checksum",
       {"0", "--offset", "1280", "badsum=1"},
       9,
       "ERROR: Invalid checksum of static data (128 bytes).\n"},
      {"FACT header off the 16-byte steps",
       {"0", "--offset", "1280", "factat=40"},
       9,
       "ERROR: FACT header not found.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedPc pc({"pc=EX64"});  // created: the fan kit's EEPROM starts erased
    if (!c.record.empty()) {
      PutRecord(pc, c.record);
    }
    ProgramOutput result = pc.Run(Druxsvc(), {"i", "fanfset"}, "", kFrozenClock);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitCode, c.exitCode);
  }
}

TEST(FsetServiceE2e, UpdateOfTheFanKitEvenWithAPanel) {
  SimulatedPc pc;
  TemporaryDirectory files;
  WorkingDirectory inFiles(files.path());
  // A file made by Save of another machine: the record in the first bytes of a 512-byte area.
  SimulatedPc source;
  PutRecord(source, FanKitRecord("0", "0"));
  const std::string path = "fan.bin";
  std::vector<uint8_t> image = EepromBytes(source, 0, 0, 512);
  WriteFileBytes(path, image);
  // The system unit in front of the fan kit must survive.
  PutRecord(pc, {"0", "devid=0xF0BD"});
  const std::vector<uint8_t> systemUnit = EepromBytes(pc, 0, 0, 1280);

  ProgramOutput result = pc.Run(Druxsvc(), {"u", "fanfset", path, "-p=1"}, "", kFrozenClock);
  EXPECT_EQ(result.out,
            "PC is an EX64.\n"
            "Update factory settings of module 8 (fan kit) ...\n"
            "Read settings file: " +
                path + "\n" + "Check factory settings file for module 8 ...\n" +
                std::string(kFanKitIdentity).substr(27) +
                "Write 512 bytes to device:   0%\b\b\b\bDone\n"
                "Verify 512 bytes with device:   0%\b\b\b\bDone\n" +
                kPcPowerCycle + kTotalTime);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(EepromBytes(pc, 0, 1280, 512), image);
  EXPECT_EQ(EepromBytes(pc, 0, 0, 1280), systemUnit);
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    EXPECT_NE(entry.code, 0x73) << "no panel module was addressed";
  }
}

TEST(FsetServiceE2e, UpdateRefusals) {
  struct Case {
    const char* name;
    const char* pc;
    std::vector<std::string> arguments;  // after "u"; FILE names the test's file
    size_t fileSize;
    std::string out;
    std::string err;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {"no file name",
       "pc=EX64",
       {"fanfset"},
       0,
       "ERROR: Can't determine settings file name automatically.\n",
       "",
       5},
      {"file too long for the fan kit",
       "pc=EX64",
       {"fanfset", "FILE"},
       600,
       "",
       "ERROR: Invalid file size: greater 512 bytes.\n",
       5},
      {"no area for the bus fan kit",
       "pc=EX64",
       {"fan2fset", "FILE"},
       100,
       "",
       "ERROR: Factory settings are not supported for this module.\n",
       15},
      {"missing file",
       "pc=EX64",
       {"fanfset", "missing/fan.bin"},
       0,
       "",
       "ERROR: Can't open file: No such file or directory\n",
       5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedPc pc({c.pc});
    TemporaryDirectory files;
    WorkingDirectory inFiles(files.path());
    std::vector<std::string> arguments{"u"};
    for (const std::string& argument : c.arguments) {
      arguments.push_back(argument == "FILE" ? "fan.bin" : argument);
    }
    WriteFileBytes("fan.bin", std::vector<uint8_t>(c.fileSize, 0));
    ProgramOutput result = pc.Run(Druxsvc(), arguments, "", kFrozenClock);
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(EepromWrites(pc), 0u);
  }
}

TEST(FsetServiceE2e, DeleteOfTheFanKits) {
  SimulatedPc pc;
  PutRecord(pc, FanKitRecord("0", "1280"));
  const std::vector<uint8_t> before = EepromBytes(pc, 0, 0, 2048);

  ProgramOutput refused = pc.Run(Druxsvc(), {"d", "fanfset"}, "n\n", kFrozenClock);
  EXPECT_EQ(refused.out,
            "PC is an EX64.\n"
            "Delete factory settings of module 8 (fan kit) ...\n"
            "Do you really want to delete (y/n): " +
                std::string(kTotalTime));
  EXPECT_EQ(refused.exitCode, 7);
  EXPECT_EQ(EepromBytes(pc, 0, 0, 2048), before);

  ProgramOutput deleted = pc.Run(Druxsvc(), {"d", "fanfset", "-p=0", "-y"}, "", kFrozenClock);
  EXPECT_EQ(deleted.out,
            "PC is an EX64.\n"
            "Delete factory settings of module 8 (fan kit) ...\n" +
                std::string(kPcPowerCycle) + kTotalTime);
  EXPECT_EQ(deleted.exitCode, 0);
  std::vector<uint8_t> after = EepromBytes(pc, 0, 0, 2048);
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 1280, after.begin() + 1296),
            std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 1296, after.end()),
            std::vector<uint8_t>(before.begin() + 1296, before.end()));

  ProgramOutput shown = pc.Run(Druxsvc(), {"i", "fanfset"}, "", kFrozenClock);
  EXPECT_EQ(shown.err, "ERROR: No factory settings available.\n");
  EXPECT_EQ(shown.exitCode, 12);

  ProgramOutput busFan = pc.Run(Druxsvc(), {"d", "fan2fset", "-y"}, "", kFrozenClock);
  EXPECT_EQ(busFan.err, "ERROR: Factory settings are not supported for this module.\n");
  EXPECT_EQ(busFan.exitCode, 15);
}

}  // namespace
}  // namespace drux::test
