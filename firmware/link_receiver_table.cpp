// The receiver table.
#include "firmware/link_receiver_table.h"

#include <array>

namespace drux {
namespace {

constexpr uint16_t kVariantFromMajor1 = 0x722C;
constexpr uint16_t kModuleDeviceZeroPanel = 0x0DE0;
constexpr uint32_t kSmallImage = 0x40000;
constexpr uint32_t kMediumImage = 0xA0000;
constexpr uint32_t kLargeImage = 0x300000;

constexpr std::array<ReceiverRow, 8> kReceiverRows{{
    {0x722C, ReceiverGroup::S, "0016#0.fp", "0016#1.fp", 16, kSmallImage, "KVNR", "TPA7 KVNR1"},
    {0xE05D, ReceiverGroup::S, "0018#0.fp", nullptr, 18, kSmallImage, "KVN8", "TPA5 KVN1"},
    {0x0DE0, ReceiverGroup::M, "0034#0.fp", nullptr, 34, kMediumImage, "KVNR", "TPA6L"},
    {0xE035, ReceiverGroup::M, "0036#0.fp", nullptr, 36, kMediumImage, "KVN9", "TPB7x-KVNR"},
    {0x725C, ReceiverGroup::M, "0037#0.fp", nullptr, 37, kMediumImage, "KR3D", "TPB7x-KVN3R"},
    {0x7238, ReceiverGroup::M, "0038#0.fp", nullptr, 38, kMediumImage, "KR3E", "TPA7x-KVN3R"},
    {0xB261, ReceiverGroup::L, "0040#0.fp", nullptr, 40, kLargeImage, "KR4D", "TPB7x/TPC8-KVN4R"},
    {0xB25D, ReceiverGroup::L, "0041#0.fp", nullptr, 41, kLargeImage, "KR4K", "9TQ6240.318D-D11"},
}};

}  // namespace

const ReceiverRow* FindReceiverRow(uint32_t versionId) {
  for (const ReceiverRow& row : kReceiverRows) {
    if (row.versionId == versionId) {
      return &row;
    }
  }
  return nullptr;
}

uint32_t ReceiverModuleDevice(const ReceiverRow& row) {
  return row.versionId == kModuleDeviceZeroPanel ? 0 : 1;
}

bool UpdatesThroughCompatibleCommands(const ReceiverRow& row) {
  return row.versionId == kModuleDeviceZeroPanel;
}

uint16_t ReceiverVariant(const ReceiverRow& row, uint32_t major) {
  return row.versionId == kVariantFromMajor1 && major >= 1 ? 1 : 0;
}

const char* ReceiverDefaultName(const ReceiverRow& row, uint32_t runningMajor) {
  return ReceiverVariant(row, runningMajor) == 1 ? row.defaultNameFromMajor1 : row.defaultName;
}

}  // namespace drux
