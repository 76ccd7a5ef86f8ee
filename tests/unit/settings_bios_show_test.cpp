// Info of the BIOS settings: the effective settings register decoded per PC type.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "settings/bios_settings.h"
#include "tests/unit/settings_bios_test_support.h"

namespace drux {
namespace {

using testing::BiosSettingsTest;
using testing::CapturedOutput;
using testing::CaptureOutput;
using testing::StartBiosPc;

constexpr const char* kHeading = "\n-- BIOS settings --\n\n";

constexpr uint32_t Bit(unsigned position) {
  return uint32_t(1) << position;
}

struct ShowCase {
  const char* pc;
  uint32_t effective;  // register 0x4190
  const char* shown;   // the lines after the heading
  bool serviceSet = false;
};

using BiosShow = BiosSettingsTest;

TEST_F(BiosShow, EachPcTypeShowsItsOptionsFromTheRegister) {
  const ShowCase cases[] = {
      // EX41 and VP41: boot 18, TPM 17 and 19, UEFI 22, SATA 8-9.
      {"EX41", 0, "Boot=BIOS\nTPM=BIOS\nUEFI=BIOS\nSATA=BIOS\nHV=BIOS\nRT=BIOS\n"},
      {"EX41", Bit(18) | Bit(17) | Bit(22) | Bit(8) | Bit(20) | Bit(16),
       "Boot=UEFI\nTPM=dTPM\nUEFI=only\nSATA=IDE\nHV=enabled\nRT=enabled\n"},
      {"VP41", Bit(17) | Bit(19) | Bit(9),
       "Boot=BIOS\nTPM=fTPM\nUEFI=BIOS\nSATA=RAID\nHV=BIOS\nRT=BIOS\n"},
      // Bit 19 alone: the TPM is left to the BIOS.
      {"EX41", Bit(19) | Bit(8) | Bit(9),
       "Boot=BIOS\nTPM=BIOS\nUEFI=BIOS\nSATA=AHCI\nHV=BIOS\nRT=BIOS\n"},
      // The later models' bit positions mean nothing here.
      {"VP41", Bit(10) | Bit(11) | Bit(12) | Bit(21),
       "Boot=BIOS\nTPM=BIOS\nUEFI=BIOS\nSATA=BIOS\nHV=BIOS\nRT=BIOS\n"},
      // EX53, VP53, VP47, VP20: boot 12, TPM 10-11, USB power 21.
      {"EX53", 0, "Boot=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"},
      {"EX53", Bit(12) | Bit(10) | Bit(21) | Bit(20),
       "Boot=Legacy\nTPM=fTPM\nUSBPWR=on\nHV=enabled\nRT=BIOS\n"},
      {"VP53", Bit(11), "Boot=BIOS\nTPM=unknown (2)\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"},
      {"VP47", Bit(10) | Bit(11) | Bit(16),
       "Boot=BIOS\nTPM=dTPM\nUSBPWR=BIOS\nHV=BIOS\nRT=enabled\n"},
      {"VP20", Bit(12), "Boot=Legacy\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"},
      // SATA of the EX53 family is not shown, whatever bits 8-9 hold.
      {"VP47", Bit(8) | Bit(9) | Bit(18) | Bit(22),
       "Boot=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"},
      // EX64, VP64, EM64: SATA after boot, RAID only.
      {"EX64", 0, "Boot=BIOS\nSATA=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"},
      {"EX64", Bit(8),
       "Boot=BIOS\nSATA=not supported (1)\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"},
      {"VP64", Bit(9) | Bit(12) | Bit(11),
       "Boot=Legacy\nSATA=RAID\nTPM=unknown (2)\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n"},
      {"EM64", Bit(8) | Bit(9) | Bit(10) | Bit(21) | Bit(20) | Bit(16),
       "Boot=BIOS\nSATA=not supported (3)\nTPM=fTPM\nUSBPWR=on\nHV=enabled\nRT=enabled\n"},
      // EX52 and VP52: the shared options only.
      {"EX52", 0xFFFFFFFF, "HV=enabled\nRT=enabled\n"},
      {"VP52", Bit(20), "HV=enabled\nRT=BIOS\n"},
      // A PC type without a model, and the VP20 that the service set does not recognise.
      {"99", 0xFFFFFFFF, "HV=enabled\nRT=enabled\n"},
      {"VP20", 0xFFFFFFFF, "HV=enabled\nRT=enabled\n", true},
  };
  for (const ShowCase& c : cases) {
    char bios[32];
    std::snprintf(bios, sizeof bios, "bios=0x%08x", unsigned(c.effective));
    StartBiosPc(c.pc, {bios}, c.serviceSet ? kServiceFeatureSet : kFullFeatureSet);
    CapturedOutput output = CaptureOutput([] { return ShowBiosSettings(); });
    std::string label = std::string(c.pc) + " " + bios;
    EXPECT_EQ(output.result, 0) << label;
    EXPECT_EQ(output.out, std::string(kHeading) + c.shown) << label;
    EXPECT_EQ(output.err, "") << label;
    EXPECT_EQ(sim::LogSize(), 0u) << label << ": Info reads the register, not the word";
  }
}

// The stored word says what the next PC start takes over; Info shows what is in effect now.
TEST_F(BiosShow, IgnoresTheStoredWord) {
  StartBiosPc("EX64", {"bios=0", "bios-word=0xFFFFFFFF"});
  CapturedOutput output = CaptureOutput([] { return ShowBiosSettings(); });
  EXPECT_EQ(output.out, std::string(kHeading) +
                            "Boot=BIOS\nSATA=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=BIOS\nRT=BIOS\n");
}

// Info never fails: a locked interface does not touch a register read.
TEST_F(BiosShow, LockedInterfaceDoesNotMatter) {
  StartBiosPc("EX52", {"bios=0x00100000"});
  ASSERT_TRUE(sim::AddFault(sim::Fault{sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0}));
  CapturedOutput output = CaptureOutput([] { return ShowBiosSettings(); });
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out, std::string(kHeading) + "HV=enabled\nRT=BIOS\n");
  EXPECT_EQ(output.err, "");
}

}  // namespace
}  // namespace drux
