// The BIOS option tables. The effective settings register and the stored settings word keep
// the options at different bit positions.
#include "settings/bios_setting_tables.h"

#include "controller/pc_type.h"

namespace drux {
namespace {

constexpr uint32_t Bit(unsigned position) {
  return uint32_t(1) << position;
}

template <typename Row, size_t N>
constexpr BiosRows<Row> RowsOf(const Row (&rows)[N]) {
  return BiosRows<Row>{rows, N};
}

// ---- EX41, VP41 ------------------------------------------------------------------------------

constexpr BiosRegisterOption kEx41Shown[] = {
    {"Boot=", Bit(18), {"BIOS\n", "UEFI\n", "", ""}},
    // Bit 17 turns the TPM on; bit 19 then tells the firmware TPM from the discrete one.
    {"TPM=", Bit(17) | Bit(19), {"BIOS\n", "dTPM\n", "BIOS\n", "fTPM\n"}},
    {"UEFI=", Bit(22), {"BIOS\n", "only\n", "", ""}},
    {"SATA=", Bit(8) | Bit(9), {"BIOS\n", "IDE\n", "RAID\n", "AHCI\n"}},
};

constexpr uint32_t kEx41Tpm = Bit(9) | Bit(11);
constexpr uint32_t kEx41Sata = Bit(0) | Bit(1);
constexpr BiosSettingText kEx41Settings[] = {
    {"BOOT=BIOS", Bit(10), 0, true},         {"BOOT=UEFI", Bit(10), Bit(10), false},
    {"TPM=BIOS", kEx41Tpm, 0, true},         {"TPM=dTPM", kEx41Tpm, Bit(9), false},
    {"TPM=fTPM", kEx41Tpm, kEx41Tpm, false}, {"UEFI=BIOS", Bit(14), 0, true},
    {"UEFI=only", Bit(14), Bit(14), false},  {"SATA=BIOS", kEx41Sata, 0, true},
    {"SATA=AHCI", kEx41Sata, 3, false},      {"SATA=IDE", kEx41Sata, 1, false},
    {"SATA=RAID", kEx41Sata, 2, false},
};

constexpr const char* kEx41Help[] = {
    "BOOT=<boot mode> (BIOS|UEFI)\n",
    "TPM=<TPM setting> (BIOS|dTPM|fTPM)\n",
    "UEFI=<UEFI boot> (BIOS|only)\n",
    "SATA=<SATA mode> (BIOS|AHCI|IDE|RAID)\n",
};

// ---- EX53, VP53, VP47, VP20 and, with SATA, EX64, VP64, EM64 ---------------------------------

constexpr BiosRegisterOption kBootShown = {"Boot=", Bit(12), {"BIOS\n", "Legacy\n", "", ""}};
constexpr BiosRegisterOption kTpmShown = {
    "TPM=", Bit(10) | Bit(11), {"BIOS\n", "fTPM\n", "unknown (%u)\n", "dTPM\n"}};
constexpr BiosRegisterOption kUsbPowerShown = {"USBPWR=", Bit(21), {"BIOS\n", "on\n", "", ""}};
// These PCs know RAID only; the other two values are shown as the register holds them.
constexpr BiosRegisterOption kRaidOnlySataShown = {
    "SATA=", Bit(8) | Bit(9), {"BIOS\n", "not supported (1)\n", "RAID\n", "not supported (3)\n"}};

constexpr BiosRegisterOption kEx53Shown[] = {kBootShown, kTpmShown, kUsbPowerShown};
constexpr BiosRegisterOption kEx64Shown[] = {kBootShown, kRaidOnlySataShown, kTpmShown,
                                             kUsbPowerShown};

constexpr uint32_t kTpm = Bit(4) | Bit(5);
constexpr uint32_t kSata = Bit(0) | Bit(1);
constexpr BiosSettingText kEx53Settings[] = {
    {"BOOT=BIOS", Bit(2), 0, true},
    {"BOOT=LEGACY", Bit(2), Bit(2), false},
    {"TPM=BIOS", kTpm, 0, true},
    {"TPM=dTPM", kTpm, kTpm, false},
    {"TPM=fTPM", kTpm, Bit(4), false},
    {"USBPWR=BIOS", Bit(13), 0, true},
    {"USBPWR=on", Bit(13), Bit(13), false},
};
constexpr BiosSettingText kEx64Settings[] = {
    {"BOOT=BIOS", Bit(2), 0, true},
    {"BOOT=LEGACY", Bit(2), Bit(2), false},
    {"SATA=BIOS", kSata, 0, true},
    {"SATA=RAID", kSata, 2, false},
    {"TPM=BIOS", kTpm, 0, true},
    {"TPM=dTPM", kTpm, kTpm, false},
    {"TPM=fTPM", kTpm, Bit(4), false},
    {"USBPWR=BIOS", Bit(13), 0, true},
    {"USBPWR=on", Bit(13), Bit(13), false},
};

constexpr const char* kEx53Help[] = {
    "BOOT=<boot mode> (BIOS|legacy)\n",
    "TPM=<TPM setting> (BIOS|dTPM|fTPM)\n",
    "USBPWR=<USB standby power> (BIOS|on)\n",
};
constexpr const char* kEx64Help[] = {
    "BOOT=<boot mode> (BIOS|legacy)\n",
    "SATA=<SATA mode> (BIOS|RAID)\n",
    "TPM=<TPM setting> (BIOS|dTPM|fTPM)\n",
    "USBPWR=<USB standby power> (BIOS|on)\n",
};

// ---- Every PC ---------------------------------------------------------------------------------

constexpr BiosRegisterOption kSharedShown[] = {
    {"HV=", Bit(20), {"BIOS\n", "enabled\n", "", ""}},
    {"RT=", Bit(16), {"BIOS\n", "enabled\n", "", ""}},
};
constexpr BiosSettingText kSharedSettings[] = {
    {"HV=BIOS", Bit(12), 0, true},
    {"HV=ENABLED", Bit(12), Bit(12), false},
    {"RT=BIOS", Bit(8), 0, true},
    {"RT=ENABLED", Bit(8), Bit(8), false},
};
constexpr const char* kSharedHelp[] = {
    "HV=<hypervisor environment> (BIOS|enabled)\n",
    "RT=<realtime environment> (BIOS|enabled)\n",
};

constexpr BiosFamilyTables kEx41Tables = {RowsOf(kEx41Shown), RowsOf(kEx41Settings),
                                          RowsOf(kEx41Help), false};
constexpr BiosFamilyTables kEx53Tables = {RowsOf(kEx53Shown), RowsOf(kEx53Settings),
                                          RowsOf(kEx53Help), false};
constexpr BiosFamilyTables kEx64Tables = {RowsOf(kEx64Shown), RowsOf(kEx64Settings),
                                          RowsOf(kEx64Help), false};
constexpr BiosFamilyTables kEx52Tables = {{nullptr, 0}, {nullptr, 0}, {nullptr, 0}, true};
constexpr BiosFamilyTables kOtherTables = {{nullptr, 0}, {nullptr, 0}, {nullptr, 0}, false};
constexpr BiosFamilyTables kSharedTables = {RowsOf(kSharedShown), RowsOf(kSharedSettings),
                                            RowsOf(kSharedHelp), false};

}  // namespace

BiosFamily CurrentBiosFamily() {
  if (IsEx41() || IsVp41()) {
    return BiosFamily::Ex41;
  }
  if (IsEx53() || IsVp53() || IsVp47() || IsVp20()) {
    return BiosFamily::Ex53;
  }
  if (IsEx64() || IsVp64() || IsEm64()) {
    return BiosFamily::Ex64;
  }
  if (IsEx52() || IsVp52()) {
    return BiosFamily::Ex52;
  }
  return BiosFamily::Other;
}

const BiosFamilyTables& BiosTablesOf(BiosFamily family) {
  switch (family) {
    case BiosFamily::Ex41:
      return kEx41Tables;
    case BiosFamily::Ex53:
      return kEx53Tables;
    case BiosFamily::Ex64:
      return kEx64Tables;
    case BiosFamily::Ex52:
      return kEx52Tables;
    default:
      return kOtherTables;
  }
}

const BiosFamilyTables& SharedBiosTables() {
  return kSharedTables;
}

}  // namespace drux
