// The full feature set's own factory-settings paths (Save, Change with a setting, Update that
// keeps the module's original values, Delete answered no), through the test-only program that
// reads the full set's command line.
#include <string>
#include <vector>

#include "tests/e2e/fset_e2e_support.h"

namespace drux::test {
namespace {

const std::vector<std::string> kSystemUnitRecord = {
    "0",        "devid=0xF0BD",         "pdevid=0x1234", "serial=FILE0000001",
    "hwrev=F1", "model=5PC640.SX00-00", "version=1.5"};

TEST(FsetFullSetE2e, SaveNamesTheFileAfterDeviceIdAndVersion) {
  SimulatedPc pc;
  PutRecord(pc, kSystemUnitRecord);
  TemporaryDirectory files;
  ProgramOutput result;
  {
    WorkingDirectory inFiles(files.path());
    result = pc.Run(FullSet(), {"s", "fset", "-m=0"}, "", kFrozenClock);
  }
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("Save factory settings of module 0 (system unit) ...\n"
                            "Check factory settings ...\n Version: 1.05\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("Write settings file: f0bd0105.bin\n"
                            "Read 1280 bytes from device:   0%\b\b\b\bDone\n"
                            "Verify 1280 bytes with device:   0%\b\b\b\bDone\n"
                            "Save finished.\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(ReadFileBytes(files.path() + "/f0bd0105.bin"), EepromBytes(pc, 0, 0, 1280));
}

TEST(FsetFullSetE2e, SaveAsksBeforeOverwritingAndRefusesBrokenRecords) {
  SimulatedPc pc({"pc=EX64"});  // created: the system unit's EEPROM starts erased
  TemporaryDirectory files;
  WorkingDirectory inFiles(files.path());
  const std::string path = "saved.bin";
  WriteFileBytes(path, {1, 2, 3});

  ProgramOutput erased = pc.Run(FullSet(), {"s", "fset", path, "-m=0"}, "", kFrozenClock);
  EXPECT_EQ(erased.err, "ERROR: No factory settings available.\n");
  EXPECT_EQ(erased.exitCode, 12);

  PutRecord(pc, kSystemUnitRecord);
  ProgramOutput declined = pc.Run(FullSet(), {"s", "fset", path, "-m=0"}, "n\n", kFrozenClock);
  EXPECT_NE(declined.out.find("File exists already - overwrite (y/n): "), std::string::npos);
  EXPECT_EQ(declined.exitCode, 5);
  EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));

  ProgramOutput saved = pc.Run(FullSet(), {"s", "fset", path, "-m=0", "-y"}, "", kFrozenClock);
  EXPECT_EQ(saved.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(path), EepromBytes(pc, 0, 0, 1280));
}

TEST(FsetFullSetE2e, SaveOfADisplayBlockOnlyAreaAsksForTheName) {
  SimulatedPc pc({"panel.0.version=0x7238"});
  ProgramOutput result = pc.Run(FullSet(), {"s", "fset", "-p=0", "-m=0", "-y"}, "\n", kFrozenClock);
  EXPECT_NE(result.out.find("INFO: Module-specific factory settings are not supported for this "
                            "module.\nEnter a settings filename or nothing to exit: "),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.exitCode, 5);
}

TEST(FsetFullSetE2e, ChangeIgnoresItsSetting) {
  SimulatedPc pc;
  PutRecord(pc, kSystemUnitRecord);
  ProgramOutput result =
      pc.Run(FullSet(), {"c", "fset", "SERIAL=99999999999", "-m=0"}, "", kFrozenClock);
  EXPECT_EQ(result.out, std::string("PC is an EX64.\n") +
                            "Change factory settings of module 0 (system unit) ...\n"
                            "Device ID: 0x0000f0bd\nParent device ID: 0x00001234\n"
                            "New parent device ID: 0x0000ef97\n" +
                            kPcPowerCycle + kTotalTime);
  EXPECT_EQ(result.exitCode, 0);
  std::vector<uint8_t> area = EepromBytes(pc, 0, 0, 1280);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data() + kSerialAt)), "FILE0000001");
  EXPECT_EQ(LittleEndian32At(area, kParentIdAt), 0xEF97u);
  EXPECT_EQ(SumOf(area, 128), 0);
}

TEST(FsetFullSetE2e, UpdateKeepsOrOverwritesTheOriginalValues) {
  struct Case {
    const char* name;
    std::string answer;
    std::string serial;
    std::string hardwareRevision;
  };
  const std::vector<Case> cases = {
      {"overwrite", "y\n", "FILE0000001", "F1"},
      {"keep", "n\n", "ORIG0000042", "O7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedPc source;
    PutRecord(source, kSystemUnitRecord);
    TemporaryDirectory files;
    WorkingDirectory inFiles(files.path());
    const std::string path = "module0.bin";
    WriteFileBytes(path, EepromBytes(source, 0, 0, 1280));

    SimulatedPc pc({"module.0.serial=ORIG0000042", "module.0.hwrev=O7"});
    ProgramOutput result = pc.Run(FullSet(), {"u", "fset", path, "-m=0"}, c.answer, kFrozenClock);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Overwrite original EDID (opt.), serial number and HW revision "
                              "(y/n): "),
              std::string::npos);
    std::vector<uint8_t> area = EepromBytes(pc, 0, 0, 1280);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data() + kSerialAt)), c.serial);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data() + kHardwareRevisionAt)),
              c.hardwareRevision);
    EXPECT_EQ(SumOf(area, 128), 0);
    if (c.answer == "n\n") {
      EXPECT_NE(result.out.find("Use original serial number: ORIG0000042\n"
                                "Use original hardware revision: O7\n"),
                std::string::npos)
          << result.out;
    }
  }
}

// Keeping the originals renews the file's checksum: a checksum byte on the version is refused
// before anything is written, one on the free byte 4 is taken.
TEST(FsetFullSetE2e, UpdateKeepingTheOriginalsChecksByteOffset) {
  struct Case {
    std::string sumAt;
    int exitCode;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"sumat=4", 0, ""},
      {"sumat=5", 9, "ERROR: Invalid header.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sumAt);
    SimulatedPc source;
    PutRecord(source, {"0", "devid=0xF0BE", "serial=FILE0000001", c.sumAt});
    TemporaryDirectory files;
    WorkingDirectory inFiles(files.path());
    WriteFileBytes("module0.bin", EepromBytes(source, 0, 0, 1280));
    SimulatedPc pc({"module.0.serial=ORIG0000042"});
    const std::vector<uint8_t> before = EepromBytes(pc, 0, 0, 1280);
    ProgramOutput result =
        pc.Run(FullSet(), {"u", "fset", "module0.bin", "-m=0"}, "n\n", kFrozenClock);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitCode, c.exitCode);
    std::vector<uint8_t> area = EepromBytes(pc, 0, 0, 1280);
    if (c.exitCode != 0) {
      EXPECT_EQ(area, before);
      continue;
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data() + kSerialAt)), "ORIG0000042");
    EXPECT_EQ(SumOf(area, 128), 0);
  }
}

TEST(FsetFullSetE2e, UpdateKeepingTheOriginalsOfAPanelModule) {
  SimulatedPc pc({"panel.1.version=0xABCD", "panel.1.module.2.serial=KVN00000007",
                  "panel.1.module.2.hwrev=K2", "panel.1.module.2.model=5DLKVN.1000-00"});
  // The converter's own display block stays; the file's record goes behind it.
  PutRecord(pc, {"2", "--panel", "1", "--display", "devid=0x7777", "serial=OLD"});
  const std::vector<uint8_t> ownBlock = EepromBytes(pc, 2, 0, 256, 1);
  SimulatedPc source;
  PutRecord(source, {"2", "--display", "devid=0xF0BE", "serial=NEW00000001", "hwrev=N1"});
  TemporaryDirectory files;
  WorkingDirectory inFiles(files.path());
  const std::string path = "kvn.bin";
  WriteFileBytes(path, EepromBytes(source, 2, 0, 2048));

  ProgramOutput result =
      pc.Run(FullSet(), {"u", "fset", path, "-p=1", "-m=2"}, "n\n", kFrozenClock);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("Update factory settings of module 2 (KVN converter) on panel 1 ...\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("Use original EDID\nUse original serial number: KVN00000007\n"
                            "Use original hardware revision: K2\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("*** The KVN converter must be powered off/on"), std::string::npos);
  EXPECT_EQ(EepromBytes(pc, 2, 0, 256, 1), ownBlock);
  std::vector<uint8_t> record = EepromBytes(pc, 2, 256, 128, 1);
  EXPECT_EQ(LittleEndian32At(record, kFactAt + 10), 0xF0BEu);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + kSerialAt)), "KVN00000007");
  EXPECT_EQ(SumOf(record, 128), 0);
}

TEST(FsetFullSetE2e, DeleteAnsweredNoEndsBeforeTheAreaIsLookedUp) {
  SimulatedPc pc({"module.2.model=BUS"});
  ProgramOutput refused = pc.Run(FullSet(), {"d", "fset", "-m=2"}, "n\n", kFrozenClock);
  EXPECT_EQ(refused.out, std::string("PC is an EX64.\n") +
                             "Delete factory settings of module 2 (bus unit) ...\n"
                             "Do you really want to delete (y/n): " +
                             kTotalTime);
  EXPECT_EQ(refused.exitCode, 7);
  ProgramOutput confirmed = pc.Run(FullSet(), {"d", "fset", "-m=2"}, "y\n", kFrozenClock);
  EXPECT_EQ(confirmed.err, "ERROR: Factory settings are not supported for this module.\n");
  EXPECT_EQ(confirmed.exitCode, 15);
}

}  // namespace
}  // namespace drux::test
