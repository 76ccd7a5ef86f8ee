// The tagged areas of the controller flash (2nd and 3rd system data, user data): an
// information block with the tag and the data length, then the data. An information block
// without the tag means no data; a deletion erases only the information block.
#include <cstring>

#include "controller/block_access.h"
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "transfer/memory_area_layout.h"
#include "transfer/transfer_engine.h"

namespace drux::memory_area {

namespace {

constexpr uint8_t kErasedByte = 0xFF;

MemoryArea InfoBlockArea(const TaggedArea& area, const FlashGeometry& flash) {
  return MemoryArea{uint16_t(flash.command),     uint16_t(kFlashTarget), uint16_t(kFlashDevice),
                    TaggedAreaBase(area, flash), kInfoBlockSize,         0,
                    flash.large ? 1u : 0u};
}

int WriteInfoBlock(const TaggedArea& area, const FlashGeometry& flash, const uint8_t* block) {
  uint8_t errorByte = 0;
  const int status = WriteArea(InfoBlockArea(area, flash), block, &errorByte);
  if (status != kStatusOk) {
    return ReportWriteFailure(status, errorByte);
  }
  return kExitOk;
}

int EraseInfoBlock(const TaggedArea& area, const FlashGeometry& flash) {
  uint8_t block[kInfoBlockSize];
  std::memset(block, kErasedByte, sizeof block);
  return WriteInfoBlock(area, flash, block);
}

// The comparison is exact: a tag in another letter case is no tag.
int CheckTaggedData(const TaggedArea& area, const FlashGeometry** flash, uint32_t* length) {
  PrintCheckDataLine(area.texts);
  *flash = FlashOfThisPc();
  if (*flash == nullptr) {
    return ReportNotSupported();
  }
  uint8_t block[kInfoBlockSize];
  uint8_t errorByte = 0;
  const int status = ReadArea(InfoBlockArea(area, **flash), block, &errorByte);
  if (status != kStatusOk) {
    return ReportReadFailure(status, errorByte);
  }
  if (std::memcmp(block, area.tag, kTagLength) != 0) {
    platform::Print("No data available.\n");
    return kExitNoDevice;
  }
  *length = StoredLength(block + kInfoLengthOffset);
  return CheckStoredLength(*length, area.maxLength);
}

uint32_t MaximumOnThisPc(const TaggedArea& area) {
  return FlashOfThisPc() == nullptr ? 0 : area.maxLength;
}

}  // namespace

int ShowTaggedArea(const TaggedArea& area) {
  PrintInfoHeading(area.texts);
  const FlashGeometry* flash = nullptr;
  uint32_t length = 0;
  return CheckTaggedData(area, &flash, &length);
}

int SaveTaggedArea(const FeatureSet& features, const TaggedArea& area, const char* fileName,
                   uint8_t verify, uint8_t assumeYes) {
  PrintActionLine("Save", area.texts);
  const char* name = DataFileName(features, fileName, true, assumeYes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  const FlashGeometry* flash = nullptr;
  uint32_t length = 0;
  const int result = CheckTaggedData(area, &flash, &length);
  if (result != kExitOk) {
    return result;
  }
  return SaveAreaToFile(flash->command, kFlashTarget, kFlashDevice,
                        TaggedAreaBase(area, *flash) + kInfoBlockSize, name, length, verify,
                        nullptr);
}

int UpdateTaggedArea(const FeatureSet& features, const TaggedArea& area, const char* fileName,
                     uint8_t verify) {
  PrintActionLine("Update", area.texts);
  const char* name = DataFileName(features, fileName, false, 0);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t length = 0;
  int result = CheckAreaFile(area.texts, name, MaximumOnThisPc(area), false, &length);
  if (result != kExitOk) {
    return result;
  }
  // The block says "no data" while the data is written and gets the tag only when all of it is
  // in place: an update cut short anywhere never leaves a tag over old or half-written contents.
  const FlashGeometry& flash = *FlashOfThisPc();
  result = EraseInfoBlock(area, flash);
  if (result != kExitOk) {
    return result;
  }
  result = UpdateAreaFromFile(flash.command, kFlashTarget, kFlashDevice,
                              TaggedAreaBase(area, flash) + kInfoBlockSize, name, verify, 0, 0);
  if (result != kExitOk) {
    return result;
  }
  uint8_t block[kInfoBlockSize] = {};
  std::memcpy(block, area.tag, kTagLength);
  PutStoredLength(block + kInfoLengthOffset, length);
  return WriteInfoBlock(area, flash, block);
}

int DeleteTaggedArea(const TaggedArea& area, uint8_t assumeYes) {
  PrintActionLine("Delete", area.texts);
  if (!ConfirmDelete(assumeYes)) {
    return kExitCancelled;
  }
  const FlashGeometry* flash = FlashOfThisPc();
  if (flash == nullptr) {
    return ReportNotSupported();
  }
  return EraseInfoBlock(area, *flash);
}

}  // namespace drux::memory_area
