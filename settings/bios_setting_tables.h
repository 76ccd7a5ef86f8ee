// The BIOS options per PC family: how the effective settings register shows them, which setting
// texts change which bits of the stored settings word, and the lines that list them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace drux {

// PC models that offer the same BIOS options. Every family also has the hypervisor and the
// realtime environment, which all PCs share.
enum class BiosFamily : uint8_t {
  Ex41,   // EX41, VP41
  Ex53,   // EX53, VP53, VP47, VP20
  Ex64,   // EX64, VP64, EM64
  Ex52,   // EX52, VP52: the shared options only
  Other,  // a PC type the program does not recognise: the shared options only
};

// The family of this PC, through the PC type tests.
BiosFamily CurrentBiosFamily();

// One option as the effective settings register reports it: the bits of `mask`, packed from the
// lowest one up, index `values`. A value is a format that may show the packed number.
struct BiosRegisterOption {
  const char* label;
  uint32_t mask;
  std::array<const char*, 4> values;
};

// One setting text of Change (letters in any case) and the bits it puts into the settings word.
struct BiosSettingText {
  const char* text;
  uint32_t mask;
  uint32_t bits;
  bool biosValue;  // hands the option back to the BIOS set-up, whose defaults must be reloaded
};

template <typename Row>
struct BiosRows {
  const Row* rows;
  size_t count;
  const Row* begin() const { return rows; }
  const Row* end() const { return rows + count; }
};

struct BiosFamilyTables {
  BiosRows<BiosRegisterOption> shown;  // in the order Info shows them
  BiosRows<BiosSettingText> settings;
  BiosRows<const char*> helpLines;  // the options' lines of Change's list
  bool everyChangeNeedsReload;      // the BIOS of these PCs takes no change without a reload
};

// The family's own options; the shared ones are not part of them.
const BiosFamilyTables& BiosTablesOf(BiosFamily family);
// Hypervisor and realtime environment, on every PC after the family's options.
const BiosFamilyTables& SharedBiosTables();

}  // namespace drux
