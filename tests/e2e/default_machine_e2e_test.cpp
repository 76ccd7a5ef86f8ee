// A new user's first runs on the default machine of a fresh state directory: the factory
// settings of its modules, druxsvcadmin's one correction and the panels' model numbers.
#include <string>
#include <vector>

#include "tests/e2e/expected_help.h"
#include "tests/e2e/fset_e2e_support.h"

namespace drux::test {
namespace {

const std::string kSystemUnitShown =
    "\n-- Factory settings of module 0 (system unit) --\n\n"
    "Check factory settings ...\n Version: 1.05\n Model number: DX-EX64-SU00\n"
    " Serial number: E64A1234567\n Hardware revision: B0\n Device ID: 0x0000f0be\n"
    " Compatibility ID: 0x0003\n Parent device ID: 0x0000ef97\n"
    " Parent compatibility ID: 0x0001\n";
const std::string kFanKitShown =
    "\n-- Factory settings of module 8 (fan kit) --\n\n"
    "Check factory settings ...\n Version: 1.01\n Model number: DX-EX64-FAN0\n"
    " Serial number: F08B7654321\n Hardware revision: A2\n Device ID: 0x0000e2a1\n"
    " Compatibility ID: 0x0001\n Parent device ID: 0x00000000\n"
    " Parent compatibility ID: 0x0000\n";

TEST(DefaultMachineE2e, ShowsTheFactorySettingsOfItsModules) {
  SimulatedPc pc;
  struct Case {
    bool full;
    std::vector<std::string> arguments;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {false, {"i", "fanfset"}, kFanKitShown},
      {true, {"i", "fset", "-m=0"}, kSystemUnitShown},
      {true, {"i", "fset", "-m=8"}, kFanKitShown},
  };
  for (const Case& c : cases) {
    ProgramOutput result = pc.Run(c.full ? FullSet() : Druxsvc(), c.arguments, "", kFrozenClock);
    EXPECT_EQ(result.out, kPcLine + c.shown + "\n" + kTotalTime) << c.arguments[2];
    EXPECT_EQ(result.err, "") << c.arguments[2];
    EXPECT_EQ(result.exitCode, 0) << c.arguments[2];
  }

  ProgramOutput all = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock);
  EXPECT_EQ(all.err, "");
  EXPECT_EQ(all.exitCode, 0);
  EXPECT_NE(all.out.find(kSystemUnitShown), std::string::npos) << all.out;
  EXPECT_NE(all.out.find(kFanKitShown), std::string::npos) << all.out;
}

TEST(DefaultMachineE2e, AdminCorrectsTheSystemUnitOnce) {
  SimulatedPc pc;
  const std::string change = VersionLine(true) + kPcLine +
                             "Change factory settings of module 0 (system unit) ...\n"
                             "Device ID: 0x0000f0be\n";
  ProgramOutput first = pc.Run(Admin(), {}, "", kFrozenClock);
  EXPECT_EQ(first.out, change + "Parent device ID: 0x0000ef97\nNew parent device ID: 0x0000ef98\n" +
                           kPcPowerCycle + kTotalTime);
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.exitCode, 0);
  std::vector<uint8_t> area = EepromBytes(pc, 0, 0, 1280);
  EXPECT_EQ(LittleEndian32At(area, kParentIdAt), 0xEF98u);
  EXPECT_EQ(SumOf(area, 128), 0) << "static checksum";
  EXPECT_EQ(EepromWrites(pc), 1280u / 16);

  ProgramOutput second = pc.Run(Admin(), {}, "", kFrozenClock);
  EXPECT_EQ(second.out,
            change + "Parent device ID: 0x0000ef98\nParent device ID is OK.\n" + kTotalTime);
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(second.exitCode, 7);
  EXPECT_EQ(EepromWrites(pc), 1280u / 16) << "nothing written the second time";
}

// The target list names each panel by the model number of its display block.
TEST(DefaultMachineE2e, MenusNameThePanelsByTheirModelNumber) {
  SimulatedPc pc;
  ProgramOutput result = pc.Run(FullSet(), {"i", "fset"}, "0\n", kFrozenClock);
  EXPECT_EQ(result.out, kPcLine +
                            "-- Available targets --\nPC\nPanel 0 (DX-PANEL-15)\n"
                            "Panel 1 (DX-PANEL-15)\n"
                            "Enter 'PC', panel number (0 to 15) or nothing to exit: "
                            "-- Available panel modules --\n0 = panel (DX-PANEL-15)\n"
                            "Enter module number or nothing to exit: ");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
}

}  // namespace
}  // namespace drux::test
