#include "firmware/link_transmitter_table.h"

#include <cstddef>

#include "controller/controller_info.h"
#include "frontend/pc_type.h"

namespace drux {
namespace {

// EX5K and V5K3 run on two PC generations with different block sizes.
enum class PcRule : uint8_t { Any, SmallBlockPcs, LargeBlockPcs };

struct Row {
  LinkTransmitterEntry entry;
  PcRule pcs;
};

constexpr uint32_t kKvnSize = 0xA0000;
constexpr uint32_t kKvn4Size = 0x300000;

constexpr Row kRows[] = {
    {{"LKVN", kKvnSize, 0xB0, 0xA0, 0x80000, 0x120000, kKvnSize, false}, PcRule::Any},
    {{"V4K3", kKvnSize, 0xB0, 0xA0, 0x80000, 0x120000, kKvnSize, false}, PcRule::Any},
    {{"V4K4", kKvn4Size, 0xB8, 0xE0, 0x100000, 0x500000, kKvn4Size, true}, PcRule::Any},
    {{"EX5K", kKvnSize, 0xB0, 0xA0, 0x80000, 0x120000, kKvnSize, false}, PcRule::SmallBlockPcs},
    {{"EX5K", kKvnSize, 0xB8, 0xE0, 0x80000, 0x120000, kKvnSize, false}, PcRule::LargeBlockPcs},
    {{"V5K3", kKvnSize, 0xB0, 0xA0, 0x80000, 0x120000, kKvnSize, false}, PcRule::SmallBlockPcs},
    {{"V5K3", kKvnSize, 0xB8, 0xE0, 0x80000, 0x120000, kKvnSize, false}, PcRule::LargeBlockPcs},
    {{"V5K4", kKvn4Size, 0xB8, 0xE0, 0x100000, 0x500000, kKvn4Size, true}, PcRule::Any},
    {{"EX6K", kKvnSize, 0xB8, 0xE0, 0x80000, 0x120000, kKvnSize, false}, PcRule::Any},
    {{"V6K4", kKvn4Size, 0xB8, 0xE0, 0x100000, 0x500000, kKvn4Size, true}, PcRule::Any},
};

bool AppliesHere(PcRule rule) {
  switch (rule) {
    case PcRule::SmallBlockPcs:
      return IsEx52() || IsVp52();
    case PcRule::LargeBlockPcs:
      return IsEx53() || IsVp53();
    case PcRule::Any:
    default:
      return true;
  }
}

// IDs are compared exactly, over all four characters.
bool SameId(const char* a, const char* b) {
  for (size_t i = 0;; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
    if (a[i] == '\0') {
      return true;
    }
  }
}

}  // namespace

const LinkTransmitterEntry* FindLinkTransmitterEntry(const char* fpgaId) {
  for (const Row& row : kRows) {
    if (SameId(row.entry.fpgaId, fpgaId)) {
      return &row.entry;
    }
  }
  return nullptr;
}

const LinkTransmitterEntry* LinkTransmitterEntryOfPc(const char* fpgaId) {
  for (const Row& row : kRows) {
    if (SameId(row.entry.fpgaId, fpgaId) && AppliesHere(row.pcs)) {
      return &row.entry;
    }
  }
  return nullptr;
}

uint32_t ActiveLinkTransmitterStart(const LinkTransmitterEntry& entry) {
  return LinkStartedFromHighArea() ? entry.highAreaStart : entry.lowAreaStart;
}

}  // namespace drux
