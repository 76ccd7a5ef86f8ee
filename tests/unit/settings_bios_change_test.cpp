// Change of a BIOS setting: which texts each PC type takes, the bits each puts into the stored
// word while every other bit stays, the notes, the prompt, and the controller failures.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "controller/feature_set.h"
#include "controller/service_request.h"
#include "frontend/action_drivers.h"
#include "settings/bios_settings.h"
#include "tests/support/console_feed.h"
#include "tests/unit/settings_bios_test_support.h"

namespace drux {
namespace {

using testing::BiosSettingsTest;
using testing::CapturedOutput;
using testing::CaptureOutput;
using testing::kAllPcModels;
using testing::StartBiosPc;

constexpr const char* kReload = "*** The BIOS default values must be reloaded after reboot! ***\n";
constexpr const char* kRebootNotice =
    "*** The PC must be rebooted to take over the changes! ***\n"
    "    (if option -r is specified, the device is rebooted)\n";
constexpr const char* kNoWord = "No BIOS settings found (never changed before).\n";

std::string Unknown(const std::string& setting) {
  return "ERROR: Unknown setting '" + setting + "' (not supported for this PC).\n";
}

std::string Changed(const std::string& setting, bool reload) {
  return "BIOS setting changed to " + setting + ".\n" + (reload ? kReload : "") + kRebootNotice;
}

std::string Lowered(std::string text) {
  for (char& c : text) {
    c = char(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

constexpr uint32_t Bit(unsigned position) {
  return uint32_t(1) << position;
}

// A setting text with the word bits it owns and the value it gives them.
struct WordChange {
  const char* setting;
  uint32_t mask;
  uint32_t bits;
};

const WordChange kShared[] = {
    {"HV=BIOS", Bit(12), 0},
    {"HV=ENABLED", Bit(12), Bit(12)},
    {"RT=BIOS", Bit(8), 0},
    {"RT=ENABLED", Bit(8), Bit(8)},
};
const WordChange kEx41[] = {
    {"BOOT=BIOS", Bit(10), 0},
    {"BOOT=UEFI", Bit(10), Bit(10)},
    {"TPM=BIOS", Bit(9) | Bit(11), 0},
    {"TPM=dTPM", Bit(9) | Bit(11), Bit(9)},
    {"TPM=fTPM", Bit(9) | Bit(11), Bit(9) | Bit(11)},
    {"UEFI=BIOS", Bit(14), 0},
    {"UEFI=only", Bit(14), Bit(14)},
    {"SATA=BIOS", 3, 0},
    {"SATA=IDE", 3, 1},
    {"SATA=RAID", 3, 2},
    {"SATA=AHCI", 3, 3},
};
const WordChange kEx53[] = {
    {"BOOT=BIOS", Bit(2), 0},
    {"BOOT=LEGACY", Bit(2), Bit(2)},
    {"TPM=BIOS", Bit(4) | Bit(5), 0},
    {"TPM=fTPM", Bit(4) | Bit(5), Bit(4)},
    {"TPM=dTPM", Bit(4) | Bit(5), Bit(4) | Bit(5)},
    {"USBPWR=BIOS", Bit(13), 0},
    {"USBPWR=on", Bit(13), Bit(13)},
};
const WordChange kEx64Sata[] = {
    {"SATA=BIOS", 3, 0},
    {"SATA=RAID", 3, 2},
};

const char* const kEverySetting[] = {
    "BOOT=BIOS",   "BOOT=UEFI", "TPM=BIOS",  "TPM=dTPM",   "TPM=fTPM",  "UEFI=BIOS",
    "UEFI=only",   "SATA=BIOS", "SATA=AHCI", "SATA=IDE",   "SATA=RAID", "BOOT=LEGACY",
    "USBPWR=BIOS", "USBPWR=on", "HV=BIOS",   "HV=ENABLED", "RT=BIOS",   "RT=ENABLED",
};

struct PcSettings {
  std::string pc;
  bool serviceSet;
  std::vector<WordChange> accepted;
  bool everyChangeReloads;
};

template <size_t N>
void Add(std::vector<WordChange>& to, const WordChange (&rows)[N]) {
  to.insert(to.end(), rows, rows + N);
}

std::vector<PcSettings> EveryPc() {
  std::vector<PcSettings> pcs;
  for (const std::string& pc : kAllPcModels) {
    PcSettings entry{pc, false, {}, pc == "EX52" || pc == "VP52"};
    if (pc == "EX41" || pc == "VP41") {
      Add(entry.accepted, kEx41);
    } else if (pc == "EX64" || pc == "VP64" || pc == "EM64") {
      Add(entry.accepted, kEx53);
      Add(entry.accepted, kEx64Sata);
    } else if (pc == "EX53" || pc == "VP53" || pc == "VP47" || pc == "VP20") {
      Add(entry.accepted, kEx53);
    }
    Add(entry.accepted, kShared);
    pcs.push_back(entry);
  }
  // The service set does not recognise a VP20; an unknown PC type code has the shared ones.
  PcSettings vp20Service{"VP20", true, {}, false};
  Add(vp20Service.accepted, kShared);
  pcs.push_back(vp20Service);
  PcSettings unknown{"99", false, {}, false};
  Add(unknown.accepted, kShared);
  pcs.push_back(unknown);
  return pcs;
}

const WordChange* Find(const std::vector<WordChange>& rows, const std::string& setting) {
  for (const WordChange& row : rows) {
    if (setting == row.setting) {
      return &row;
    }
  }
  return nullptr;
}

std::string HexWord(uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", unsigned(word));
  return text;
}

using BiosChange = BiosSettingsTest;

// Every setting text on every PC type, as written and in lower case, on stored words with
// different bits set: the option's bits change, every other bit stays.
TEST_F(BiosChange, EverySettingOnEveryPcType) {
  const uint32_t startWords[] = {0, 0xFFFFFFFF, 0x5A5AA5A5};
  int accepted = 0;
  for (const PcSettings& pc : EveryPc()) {
    const FeatureSet& features = pc.serviceSet ? kServiceFeatureSet : kFullFeatureSet;
    for (const char* setting : kEverySetting) {
      const WordChange* change = Find(pc.accepted, setting);
      for (uint32_t start : startWords) {
        for (const std::string& typed : {std::string(setting), Lowered(setting)}) {
          std::string label =
              pc.pc + (pc.serviceSet ? " (service) " : " ") + typed + " on " + HexWord(start);
          StartBiosPc(pc.pc, {"bios-word=" + HexWord(start), "bios-head=0xC3C3C3C3"}, features);
          CapturedOutput output = CaptureOutput([&] { return ChangeBiosSetting(typed.c_str()); });
          if (change == nullptr) {
            EXPECT_EQ(output.result, 15) << label;
            EXPECT_EQ(output.out, "") << label;
            EXPECT_EQ(output.err, Unknown(typed)) << label;
            EXPECT_EQ(sim::LogSize(), 1u) << label << ": the read only";
            EXPECT_EQ(sim::Config().biosWord, start) << label;
            continue;
          }
          bool reload = pc.everyChangeReloads || std::string(setting).ends_with("=BIOS");
          EXPECT_EQ(output.result, 16) << label;
          EXPECT_EQ(output.out, Changed(typed, reload)) << label;
          EXPECT_EQ(output.err, "") << label;
          EXPECT_EQ(sim::Config().biosWord, (start & ~change->mask) | change->bits) << label;
          EXPECT_EQ(sim::Config().biosWordHead, 0xC3C3C3C3u) << label;
          ++accepted;
        }
      }
    }
  }
  // 15 settings on EX41 and VP41, 13 on the EX64 family, 11 on the EX53 family, 4 on the other
  // four; three words, two spellings.
  EXPECT_EQ(accepted, (15 * 2 + 13 * 3 + 11 * 4 + 4 * 4) * 3 * 2);
}

// One read of 8 bytes and one write of 4, both at address 0x700 of device 0, target 0.
TEST_F(BiosChange, CommandsOfAChange) {
  StartBiosPc("VP41", {"bios-word=0x00000001"});
  ASSERT_EQ(CaptureOutput([] { return ChangeBiosSetting("SATA=AHCI"); }).result, 16);
  ASSERT_EQ(sim::LogSize(), 2u);
  sim::LogEntry read = sim::LogAt(0);
  sim::LogEntry write = sim::LogAt(1);
  EXPECT_TRUE(read.read);
  EXPECT_EQ(read.size, 8);
  EXPECT_FALSE(write.read);
  EXPECT_EQ(write.size, 4);
  for (const sim::LogEntry& entry : {read, write}) {
    EXPECT_EQ(entry.code, 0x66);
    EXPECT_EQ(entry.address, 0x700);
    EXPECT_EQ(entry.device, 0);
    EXPECT_EQ(entry.target, 0);
    EXPECT_EQ(entry.state, 1);
  }
  EXPECT_EQ(sim::Config().biosWord, 3u);
}

// Texts that are no setting: nothing is written, exit code 15.
TEST_F(BiosChange, TextsThatAreNoSetting) {
  const char* const texts[] = {
      "HV=ENABLED ",
      " HV=ENABLED",
      "HV",
      "HV=",
      "",
      "=",
      "HV=ENABLE",
      "HV=ENABLEDX",
      "HV:ENABLED",
      "HV = ENABLED",
      "BOOT=BIOS=BIOS",
      "TPM=ftpm2",
      "SATA",
      "BIOS",
      "USBPWR=off",
  };
  for (const char* text : texts) {
    StartBiosPc("EX64", {"bios-word=0x00001234"});
    CapturedOutput output = CaptureOutput([&] { return ChangeBiosSetting(text); });
    EXPECT_EQ(output.result, 15) << "'" << text << "'";
    EXPECT_EQ(output.out, "") << text;
    EXPECT_EQ(output.err, Unknown(text)) << text;
    EXPECT_EQ(sim::LogSize(), 1u) << text;
    EXPECT_EQ(sim::Config().biosWord, 0x1234u) << text;
  }
}

// A controller that never stored the word: the change starts from 0, so every other option of
// the written word is the BIOS set-up's own. The same when the read fails for another reason
// that does not pass (a busy controller or a held lock stop the change instead).
TEST_F(BiosChange, UnreadableWordStartsFromZero) {
  StartBiosPc("EX41", {"bios-word=none", "bios-head=0xFFFFFFFF"});
  CapturedOutput never = CaptureOutput([] { return ChangeBiosSetting("TPM=fTPM"); });
  EXPECT_EQ(never.result, 16);
  EXPECT_EQ(never.out, kNoWord + Changed("TPM=fTPM", false));
  EXPECT_EQ(never.err, "");
  EXPECT_TRUE(sim::Config().biosWordStored);
  EXPECT_EQ(sim::Config().biosWord, Bit(9) | Bit(11));

  StartBiosPc("VP47", {"bios-word=0xFFFFFFFF"});
  ASSERT_TRUE(sim::AddFault(
      sim::Fault{sim::FaultKind::ErrorByte, 0x66, 0x83, 0, sim::FaultDirection::Read}));
  CapturedOutput failed = CaptureOutput([] { return ChangeBiosSetting("usbpwr=on"); });
  EXPECT_EQ(failed.result, 16);
  EXPECT_EQ(failed.out, kNoWord + Changed("usbpwr=on", false));
  EXPECT_EQ(sim::Config().biosWord, Bit(13));

  // The read comes before the setting is looked at.
  StartBiosPc("VP47", {"bios-word=none"});
  CapturedOutput unknown = CaptureOutput([] { return ChangeBiosSetting("UEFI=only"); });
  EXPECT_EQ(unknown.result, 15);
  EXPECT_EQ(unknown.out, kNoWord);
  EXPECT_EQ(unknown.err, Unknown("UEFI=only"));
  EXPECT_FALSE(sim::Config().biosWordStored);
}

TEST_F(BiosChange, WriteFailures) {
  struct Case {
    sim::Fault fault;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{sim::FaultKind::ErrorByte, 0x66, 0x85, 0, sim::FaultDirection::Write},
       "",
       "ERROR: Can't write BIOS settings: device failure (does not exist)\n"},
      {{sim::FaultKind::Busy, 0x66, 0, 5, sim::FaultDirection::Write},
       "",
       "ERROR: Can't write BIOS settings: device busy\n"},
      // A held lock fails the read already: the change stops before it writes.
      {{sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0},
       "",
       "ERROR: Can't read data: DRUX command interface is locked\n"},
  };
  for (const Case& c : cases) {
    StartBiosPc("EX64", {"bios-word=0x00000004"});
    ASSERT_TRUE(sim::AddFault(c.fault));
    CapturedOutput output = CaptureOutput([] { return ChangeBiosSetting("HV=ENABLED"); });
    EXPECT_EQ(output.result, 6) << c.err;
    EXPECT_EQ(output.out, c.out) << c.err;
    EXPECT_EQ(output.err, c.err);
    EXPECT_EQ(sim::Config().biosWord, 4u) << c.err;
  }
}

// Without a setting the PC's own settings are listed and one is asked for.
class BiosChangePrompt : public BiosSettingsTest {
 protected:
  void Feed(const std::string& text) { console_.Feed(text); }
  void TearDown() override {
    test::ConsoleFeed::Close();
    BiosSettingsTest::TearDown();
  }

 private:
  test::ConsoleFeed console_;
};

constexpr const char* kListHead = "-- Supported BIOS settings --\n";
constexpr const char* kListTail =
    "HV=<hypervisor environment> (BIOS|enabled)\n"
    "RT=<realtime environment> (BIOS|enabled)\n"
    "Note: '=BIOS' uses value set in BIOS\n"
    "Enter setting or nothing to exit: ";

TEST_F(BiosChangePrompt, ListsThePcTypesSettings) {
  const std::string ex41 =
      "BOOT=<boot mode> (BIOS|UEFI)\n"
      "TPM=<TPM setting> (BIOS|dTPM|fTPM)\n"
      "UEFI=<UEFI boot> (BIOS|only)\n"
      "SATA=<SATA mode> (BIOS|AHCI|IDE|RAID)\n";
  const std::string ex53 =
      "BOOT=<boot mode> (BIOS|legacy)\n"
      "TPM=<TPM setting> (BIOS|dTPM|fTPM)\n"
      "USBPWR=<USB standby power> (BIOS|on)\n";
  const std::string ex64 =
      "BOOT=<boot mode> (BIOS|legacy)\n"
      "SATA=<SATA mode> (BIOS|RAID)\n"
      "TPM=<TPM setting> (BIOS|dTPM|fTPM)\n"
      "USBPWR=<USB standby power> (BIOS|on)\n";
  struct Case {
    std::string pc;
    bool serviceSet;
    std::string lines;
  };
  const std::vector<Case> cases = {
      {"EX41", false, ex41}, {"VP41", false, ex41}, {"EX53", false, ex53}, {"VP53", false, ex53},
      {"VP47", false, ex53}, {"VP20", false, ex53}, {"EX64", false, ex64}, {"VP64", false, ex64},
      {"EM64", false, ex64}, {"EX52", false, ""},   {"VP52", false, ""},   {"VP20", true, ""},
      {"99", false, ""},
  };
  for (const Case& c : cases) {
    StartBiosPc(c.pc, {"bios-word=0x00000100"},
                c.serviceSet ? kServiceFeatureSet : kFullFeatureSet);
    Feed("\n");
    CapturedOutput output = CaptureOutput([] { return ChangeBiosSetting(nullptr); });
    EXPECT_EQ(output.result, 0) << c.pc;
    EXPECT_EQ(output.out, kListHead + c.lines + kListTail) << c.pc;
    EXPECT_EQ(output.err, "") << c.pc;
    EXPECT_EQ(sim::LogSize(), 0u) << c.pc << ": nothing typed, nothing read";
  }
}

TEST_F(BiosChangePrompt, TypedSettings) {
  struct Case {
    std::string pc;
    std::string input;
    std::string setting;  // as shown back
    int result;
    uint32_t word;
  };
  const std::vector<Case> cases = {
      {"VP52", "Hv=Enabled\r\n", "Hv=Enabled", 16, Bit(8) | Bit(12)},
      {"EX64", "boot=legacy", "boot=legacy", 16, Bit(8) | Bit(2)},  // end of input ends the line
      // 20 characters count; the 21st and later are dropped.
      {"EX64", "RT=BIOSxxxxxxxxxxxxxyz\n", "RT=BIOSxxxxxxxxxxxxx", 15, Bit(8)},
      {"EX64", "SATA=AHCI\n", "SATA=AHCI", 15, Bit(8)},
  };
  for (const Case& c : cases) {
    StartBiosPc(c.pc, {"bios-word=0x00000100"});
    Feed(c.input);
    CapturedOutput output = CaptureOutput([] { return ChangeBiosSetting(nullptr); });
    EXPECT_EQ(output.result, c.result) << c.input;
    bool reload = c.pc == "VP52";
    if (c.result == 16) {
      EXPECT_EQ(output.out.substr(output.out.find(kListTail) + std::string(kListTail).size()),
                Changed(c.setting, reload))
          << c.input;
    } else {
      EXPECT_EQ(output.err, Unknown(c.setting)) << c.input;
    }
    EXPECT_EQ(sim::Config().biosWord, c.word) << c.input;
  }
}

// The drivers reach the handler in both feature sets; a change needs a reboot, so no
// finished line, and Info closes with its empty line.
TEST_F(BiosChange, DriversReachTheHandler) {
  for (const FeatureSet* features : {&kServiceFeatureSet, &kFullFeatureSet}) {
    StartBiosPc("EX53", {"bios=0x00100000", "bios-word=0"}, *features);
    CapturedOutput info = CaptureOutput(
        [&] { return RunInfo(*features, kDataBiosSettings, nullptr, kNoPanel, kNoModule); });
    EXPECT_EQ(info.result, 0);
    EXPECT_EQ(info.out,
              "\n-- BIOS settings --\n\nBoot=BIOS\nTPM=BIOS\nUSBPWR=BIOS\nHV=enabled\nRT=BIOS\n\n");
    CapturedOutput change = CaptureOutput(
        [&] { return RunChange(*features, kDataBiosSettings, "tpm=dtpm", kNoPanel, kNoModule); });
    EXPECT_EQ(change.result, 16);
    EXPECT_EQ(change.out, Changed("tpm=dtpm", false));
    EXPECT_EQ(sim::Config().biosWord, Bit(4) | Bit(5));
    CapturedOutput refused = CaptureOutput(
        [&] { return RunChange(*features, kDataBiosSettings, "SATA=RAID", kNoPanel, kNoModule); });
    EXPECT_EQ(refused.result, 15);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, Unknown("SATA=RAID"));
  }
}

}  // namespace
}  // namespace drux
