// BIOS settings as the programs show and change them on a simulated PC: Info from the effective
// register, Change of the stored word, the PC reboot that makes a change take effect, and the
// BIOS section of Info ALL.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

const std::string kHeading = "\n-- BIOS settings --\n\n";
const std::string kEx64AllBios =
    kHeading + "Boot=BIOS\nSATA=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n";
const std::string kRebootNotice =
    "*** The PC must be rebooted to take over the changes! ***\n"
    "    (if option -r is specified, the device is rebooted)\n";
const std::string kNoWord = "No BIOS settings found (never changed before).\n";

std::string MachineSetting(const SimulatedPc& pc, const std::string& key) {
  std::ifstream file(pc.directory() + "/machine.txt");
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind(key + "=", 0) == 0) {
      return line.substr(key.size() + 1);
    }
  }
  return "";
}

TEST(BiosE2e, InfoShowsTheEffectiveRegister) {
  SimulatedPc pc({"bios=0x00301600"});  // boot 12, TPM 10, SATA 9, USB power 21, HV 20
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "biosset"}, "", kFrozenClock);
  EXPECT_EQ(result.out, kPcLine + kHeading +
                            "Boot=Legacy\nSATA=RAID\nTPM=fTPM\nUSBPWR=on\nHV=enabled\nRT=BIOS\n\n" +
                            kTotalTime);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(pc.CommandLog().empty()) << "Info reads a register, no command";
}

// A change lands in the stored word; what is in effect changes only when the PC starts again,
// here through -r.
TEST(BiosE2e, ChangeThenInfo) {
  SimulatedPc pc;
  ProgramOutput change = pc.Run(Druxsvc(), {"c", "biosset", "HV=enabled"}, "", kFrozenClock);
  EXPECT_EQ(change.out, kPcLine + kNoWord + "BIOS setting changed to HV=enabled.\n" +
                            kRebootNotice + kTotalTime);
  EXPECT_EQ(change.err, "");
  EXPECT_EQ(change.exitCode, 0) << "reboot needed, without -r";
  EXPECT_EQ(MachineSetting(pc, "bios-word"), "0x00001000");

  ProgramOutput before = pc.Run(Druxsvc(), {"i", "biosset"}, "", kFrozenClock);
  EXPECT_EQ(before.out, kPcLine + kEx64AllBios + "\n" + kTotalTime);

  ProgramOutput reboot = pc.Run(Druxsvc(), {"c", "biosset", "boot=legacy", "-r"}, "", kFrozenClock);
  EXPECT_EQ(reboot.out, kPcLine + "BIOS setting changed to boot=legacy.\n" + kRebootNotice +
                            kTotalTime + "Reboot PC ...\n");
  EXPECT_EQ(reboot.exitCode, 0);
  EXPECT_EQ(MachineSetting(pc, "bios-word"), "0x00001004");

  ProgramOutput after = pc.Run(Druxsvc(), {"i", "biosset"}, "", kFrozenClock);
  EXPECT_EQ(after.out,
            kPcLine + kHeading +
                "Boot=Legacy\nSATA=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=enabled\nRT=BIOS\n\n" +
                kTotalTime);

  // Back to the BIOS set-up's value: the reload note; the other option stays.
  ProgramOutput back = pc.Run(Druxsvc(), {"c", "biosset", "Hv=Bios"}, "", kFrozenClock);
  EXPECT_EQ(back.out, kPcLine + "BIOS setting changed to Hv=Bios.\n" +
                          "*** The BIOS default values must be reloaded after reboot! ***\n" +
                          kRebootNotice + kTotalTime);
  EXPECT_EQ(MachineSetting(pc, "bios-word"), "0x00000004");
}

TEST(BiosE2e, RefusalsAndFailures) {
  struct Case {
    std::vector<std::string> machine;
    std::vector<std::string> fault;  // druxsim fault command, or none
    std::string setting;
    std::string pcLine;
    std::string out;  // between the PC line and the time line
    std::string err;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {{"pc=EM64", "bios-word=0x00000002"},
       {},
       "SATA=AHCI",
       "PC is an EM64.\n",
       "",
       "ERROR: Unknown setting 'SATA=AHCI' (not supported for this PC).\n",
       15},
      {{"pc=EX64"},
       {},
       "BOOT=UEFI",
       kPcLine,
       kNoWord,
       "ERROR: Unknown setting 'BOOT=UEFI' (not supported for this PC).\n",
       15},
      {{"bios-word=0"},
       {},
       "RT=ENABLED ",
       kPcLine,
       "",
       "ERROR: Unknown setting 'RT=ENABLED ' (not supported for this PC).\n",
       15},
      {{"bios-word=0"},
       {"fault", "error", "0x66", "0x85", "write"},
       "RT=ENABLED",
       kPcLine,
       "",
       "ERROR: Can't write BIOS settings: device failure (does not exist)\n",
       6},
  };
  for (const Case& c : cases) {
    SimulatedPc pc;
    std::vector<std::string> set{"set"};
    set.insert(set.end(), c.machine.begin(), c.machine.end());
    ASSERT_EQ(pc.Druxsim(set).exitCode, 0) << c.setting;
    if (!c.fault.empty()) {
      ASSERT_EQ(pc.Druxsim(c.fault).exitCode, 0);
    }
    std::string before = MachineSetting(pc, "bios-word");
    ProgramOutput result = pc.Run(Druxsvc(), {"c", "biosset", c.setting}, "", kFrozenClock);
    EXPECT_EQ(result.out, c.pcLine + c.out + kTotalTime) << c.setting;
    EXPECT_EQ(result.err, c.err) << c.setting;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.setting;
    EXPECT_EQ(MachineSetting(pc, "bios-word"), before) << c.setting;
  }
}

// A read that failed for the moment says nothing about the stored word: changing one option
// from 0 would put every other option back to BIOS. Only a read that found no word starts at 0.
TEST(BiosE2e, ReadFailureOfTheWord) {
  struct Case {
    std::vector<std::string> fault;
    std::string err;
    std::string word;  // afterwards
  };
  const std::string cantRead = "ERROR: Can't read data: ";
  const std::vector<Case> cases = {
      {{"lock"}, cantRead + "DRUX command interface is locked\n", "0x00000004"},
      {{"error", "0x66", "0x80", "read"}, cantRead + "IRQ collision\n", "0x00000004"},
      {{"error", "0x66", "0x82", "read"}, cantRead + "DRUX command timeout\n", "0x00000004"},
      {{"busy", "0x66", "5", "read"}, cantRead + "device busy\n", "0x00000004"},
      {{"error", "0x66", "0x85", "read"}, "", "0x00001000"},
      {{"error", "0x66", "0x83", "read"}, "", "0x00001000"},
  };
  for (const Case& c : cases) {
    SimulatedPc pc({"bios-word=0x00000004"});
    std::vector<std::string> fault{"fault"};
    fault.insert(fault.end(), c.fault.begin(), c.fault.end());
    ASSERT_EQ(pc.Druxsim(fault).exitCode, 0);
    SCOPED_TRACE(::testing::PrintToString(c.fault));
    ProgramOutput result = pc.Run(Druxsvc(), {"c", "biosset", "HV=enabled"}, "", kFrozenClock);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitCode, c.err.empty() ? 0 : 6);
    const bool started = result.out.find(kNoWord) != std::string::npos;
    EXPECT_EQ(started, c.err.empty());
    EXPECT_EQ(MachineSetting(pc, "bios-word"), c.word);
  }
}

// The full set names a VP20, so it has the VP20's options; the service set does not.
TEST(BiosE2e, FullSetAsksAndKnowsTheVp20) {
  SimulatedPc pc({"pc=VP20", "bios=0x00000800", "bios-word=0x80000000"});
  ProgramOutput service = pc.Run(Druxsvc(), {"i", "biosset"}, "", kFrozenClock);
  EXPECT_EQ(service.out,
            "PC is an unsupported type.\n" + kHeading + "HV=BIOS\nRT=BIOS\n\n" + kTotalTime);
  ProgramOutput full = pc.Run(FullSet(), {"i", "biosset"}, "", kFrozenClock);
  EXPECT_EQ(full.out, "PC is an unsupported type.\n" + kHeading +
                          "Boot=BIOS\nTPM=unknown (2)\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n\n" +
                          kTotalTime);

  ProgramOutput asked = pc.Run(FullSet(), {"c", "biosset"}, "usbpwr=ON\n", kFrozenClock);
  EXPECT_EQ(asked.out,
            "PC is an unsupported type.\n"
            "-- Supported BIOS settings --\n"
            "BOOT=<boot mode> (BIOS|legacy)\n"
            "TPM=<TPM setting> (BIOS|dTPM|fTPM)\n"
            "USBPWR=<USB standby power> (BIOS|on)\n"
            "HV=<hypervisor environment> (BIOS|enabled)\n"
            "RT=<realtime environment> (BIOS|enabled)\n"
            "Note: '=BIOS' uses value set in BIOS\n"
            "Enter setting or nothing to exit: "
            "BIOS setting changed to usbpwr=ON.\n" +
                kRebootNotice + kTotalTime);
  EXPECT_EQ(asked.exitCode, 0);
  EXPECT_EQ(MachineSetting(pc, "bios-word"), "0x80002000");

  ProgramOutput nothing = pc.Run(FullSet(), {"c", "biosset"}, "\n", kFrozenClock);
  EXPECT_EQ(nothing.exitCode, 0);
  EXPECT_NE(nothing.out.find("Enter setting or nothing to exit: Change finished.\n"),
            std::string::npos)
      << nothing.out;
}

// Info ALL opens with the BIOS settings, before the user serial ID.
TEST(BiosE2e, InfoAllStartsWithTheBiosSettings) {
  SimulatedPc pc({"bios=0x00010000", "uid=0x42"});
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock);
  EXPECT_EQ(result.exitCode, 0);
  const std::string start = kPcLine + kHeading +
                            "Boot=BIOS\nSATA=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=enabled\n" +
                            "\n-- User Serial ID --\n\nValue: 0x00000042\n";
  EXPECT_EQ(result.out.rfind(start, 0), 0u) << result.out;
  EXPECT_EQ(result.out.find(kHeading, kPcLine.size() + 1), std::string::npos) << "one BIOS section";
}

}  // namespace
}  // namespace drux::test
