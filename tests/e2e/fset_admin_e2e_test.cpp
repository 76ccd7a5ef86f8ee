// druxsvcadmin's whole job: the fixed Change of PC module 0, the parent device ID correction of
// four known devices.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/expected_help.h"
#include "tests/e2e/fset_e2e_support.h"

namespace drux::test {
namespace {

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", unsigned(value));
  return text;
}

std::string ChangeHeader(const std::string& pcLine, uint32_t deviceId, uint32_t parentId) {
  return VersionLine(true) + pcLine + "Change factory settings of module 0 (system unit) ...\n" +
         "Device ID: " + Hex8(deviceId) + "\nParent device ID: " + Hex8(parentId) + "\n";
}

struct Correction {
  uint32_t deviceId;
  uint32_t parentId;
};

TEST(FsetAdminE2e, CorrectsEachOfTheFourDevices) {
  const std::vector<Correction> corrections = {
      {0xF0BD, 0xEF97}, {0xF0BE, 0xEF98}, {0xF0BF, 0xEF89}, {0xF0C0, 0xEF8A}};
  for (const char* pc : {"pc=EX64", "pc=VP64"}) {
    for (const Correction& c : corrections) {
      SCOPED_TRACE(std::string(pc) + " " + Hex8(c.deviceId));
      SimulatedPc machine({pc});
      PutRecord(machine, {"0", "devid=" + Hex8(c.deviceId), "pdevid=0x12345678",
                          "serial=E64A1234567", "hwrev=B0", "version=1.5"});
      ProgramOutput result = machine.Run(Admin(), {}, "", kFrozenClock);
      const std::string pcLine =
          std::string("PC is ") + (std::string(pc) == "pc=EX64" ? "an EX64.\n" : "a VP64.\n");
      EXPECT_EQ(result.out, ChangeHeader(pcLine, c.deviceId, 0x12345678) +
                                "New parent device ID: " + Hex8(c.parentId) + "\n" + kPcPowerCycle +
                                kTotalTime);
      EXPECT_EQ(result.err, "");
      EXPECT_EQ(result.exitCode, 0) << "the reboot-needed code becomes 0 without -r";
      std::vector<uint8_t> area = EepromBytes(machine, 0, 0, 1280);
      EXPECT_EQ(LittleEndian32At(area, kParentIdAt), c.parentId);
      EXPECT_EQ(SumOf(area, 128), 0) << "static checksum";
      EXPECT_EQ(EepromWrites(machine), 1280u / 16) << "the whole area is written back";
      EXPECT_EQ(area[kSerialAt], 'E') << "other fields stay";
    }
  }
}

TEST(FsetAdminE2e, LeavesOtherRecordsAlone) {
  struct Case {
    const char* name;
    std::vector<std::string> record;  // druxsim fset arguments
    int exitCode;
    std::string tail;  // after the Change line
    std::string err;
  };
  const std::vector<Case> cases = {
      {"already correct",
       {"0", "devid=0xF0BF", "pdevid=0xEF89"},
       7,
       "Device ID: 0x0000f0bf\nParent device ID: 0x0000ef89\nParent device ID is OK.\n",
       ""},
      {"device not in the table",
       {"0", "devid=0xA640", "pdevid=0x1"},
       7,
       "Device ID: 0x0000a640\nParent device ID: 0x00000001\nDevice is not affected.\n",
       ""},
      // The checksum byte on the version (offset 5) would break the record once renewed; that
      // matters only when the record is going to change.
      {"not affected, checksum byte on the version",
       {"0", "devid=0xA640", "pdevid=0x1", "sumat=5"},
       7,
       "Device ID: 0x0000a640\nParent device ID: 0x00000001\nDevice is not affected.\n",
       ""},
      {"already correct, checksum byte on the version",
       {"0", "devid=0xF0BF", "pdevid=0xEF89", "sumat=5"},
       7,
       "Device ID: 0x0000f0bf\nParent device ID: 0x0000ef89\nParent device ID is OK.\n",
       ""},
      {"bad checksum, checksum byte on the version",
       {"0", "devid=0xF0BF", "pdevid=0x1", "sumat=5", "badsum=1"},
       9,
       "",
       "ERROR: Invalid checksum of static data (128 bytes).\n"},
      {"to be changed, checksum byte on the version",
       {"0", "devid=0xF0BF", "pdevid=0x1", "sumat=5"},
       9,
       "Device ID: 0x0000f0bf\nParent device ID: 0x00000001\n",
       "ERROR: Invalid header.\n"},
      {"static length beyond the area",
       {"0", "devid=0xF0BF", "pdevid=0x1", "static=4000", "sumat=127"},
       9,
       "",
       "ERROR: Invalid checksum of static data (4000 bytes).\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedPc machine;
    PutRecord(machine, c.record);
    const std::vector<uint8_t> before = EepromBytes(machine, 0, 0, 2048);
    ProgramOutput result = machine.Run(Admin(), {}, "", kFrozenClock);
    EXPECT_EQ(result.out, VersionLine(true) + "PC is an EX64.\n" +
                              "Change factory settings of module 0 (system unit) ...\n" + c.tail +
                              kTotalTime);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(EepromWrites(machine), 0u);
    EXPECT_EQ(EepromBytes(machine, 0, 0, 2048), before);
  }
}

// A checksum byte on the free HEAD byte 4 is renewed like any other.
TEST(FsetAdminE2e, CorrectsARecordWithItsChecksumByteAtOffsetFour) {
  SimulatedPc machine;
  PutRecord(machine, {"0", "devid=0xF0BF", "pdevid=0x1", "sumat=4"});
  const std::vector<uint8_t> before = EepromBytes(machine, 0, 0, 1280);
  ProgramOutput result = machine.Run(Admin(), {}, "", kFrozenClock);
  EXPECT_EQ(result.out, ChangeHeader("PC is an EX64.\n", 0xF0BF, 1) +
                            "New parent device ID: 0x0000ef89\n" + kPcPowerCycle + kTotalTime);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::vector<uint8_t> after = EepromBytes(machine, 0, 0, 1280);
  EXPECT_EQ(LittleEndian32At(after, kParentIdAt), 0xEF89u);
  EXPECT_EQ(SumOf(after, 128), 0);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 4, after.begin()));
  EXPECT_TRUE(std::equal(before.begin() + 5, before.begin() + 32, after.begin() + 5));
}

// On an EX41 (an unsupported type for this program) the area of module 0 follows the
// controller's LZ70 version.
TEST(FsetAdminE2e, OldEx41LayoutUsesTheOldSystemUnitSize) {
  SimulatedPc machine({"pc=EX41", "firmware=0.7"});
  PutRecord(machine, {"0", "devid=0xF0C0", "pdevid=0"});
  ProgramOutput result = machine.Run(Admin(), {}, "", kFrozenClock);
  EXPECT_EQ(result.out, VersionLine(true) + "PC is an unsupported type.\n" +
                            "Change factory settings of module 0 (system unit) ...\n" +
                            "Using old system unit size.\n" +
                            "Device ID: 0x0000f0c0\nParent device ID: 0x00000000\n" +
                            "New parent device ID: 0x0000ef8a\n" + kPcPowerCycle + kTotalTime);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(EepromWrites(machine), 1408u / 16);
}

}  // namespace
}  // namespace drux::test
