// The complete controller flash (FLASH): shown by its size and a read of its first and last
// block, saved whole, and written whole from a file of at most the flash size.
#include "controller/block_access.h"
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "transfer/memory_area_layout.h"
#include "transfer/memory_area_types.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

using memory_area::FlashGeometry;

constexpr memory_area::AreaTexts kFlashTexts{"Flash data", "Flash data"};
constexpr uint32_t kBlockBufferSize = 256;

int ReadOneBlock(const FlashGeometry& flash, uint32_t start) {
  const MemoryArea block{uint16_t(flash.command),
                         uint16_t(memory_area::kFlashTarget),
                         uint16_t(memory_area::kFlashDevice),
                         start,
                         flash.blockSize,
                         0,
                         flash.large ? 1u : 0u};
  uint8_t buffer[kBlockBufferSize];
  uint8_t errorByte = 0;
  const int status = ReadArea(block, buffer, &errorByte);
  if (status != kStatusOk) {
    return memory_area::ReportReadFailure(status, errorByte);
  }
  return kExitOk;
}

// The flash always holds its full size; reading both ends proves that it answers.
int CheckFlashData(const FlashGeometry** flash) {
  memory_area::PrintCheckDataLine(kFlashTexts);
  *flash = memory_area::FlashOfThisPc();
  if (*flash == nullptr) {
    return memory_area::ReportNotSupported();
  }
  platform::Print("Data has %ld bytes\n", long((*flash)->size));
  int result = ReadOneBlock(**flash, 0);
  if (result == kExitOk) {
    result = ReadOneBlock(**flash, (*flash)->size - (*flash)->blockSize);
  }
  return result;
}

uint32_t FlashSizeOfThisPc() {
  const FlashGeometry* flash = memory_area::FlashOfThisPc();
  return flash == nullptr ? 0 : flash->size;
}

}  // namespace

int ShowFlashData() {
  memory_area::PrintInfoHeading(kFlashTexts);
  const FlashGeometry* flash = nullptr;
  return CheckFlashData(&flash);
}

int SaveFlashData(const FeatureSet& features, const char* fileName, uint8_t verify,
                  uint8_t assumeYes) {
  memory_area::PrintActionLine("Save", kFlashTexts);
  const char* name = memory_area::DataFileName(features, fileName, true, assumeYes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  const FlashGeometry* flash = nullptr;
  const int result = CheckFlashData(&flash);
  if (result != kExitOk) {
    return result;
  }
  return SaveAreaToFile(flash->command, memory_area::kFlashTarget, memory_area::kFlashDevice, 0,
                        name, flash->size, verify, nullptr);
}

int UpdateFlashData(const FeatureSet& features, const char* fileName, uint8_t verify,
                    uint8_t assumeYes) {
  memory_area::PrintActionLine("Update", kFlashTexts);
  const char* name = memory_area::DataFileName(features, fileName, false, assumeYes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t length = 0;
  const int result =
      memory_area::CheckAreaFile(kFlashTexts, name, FlashSizeOfThisPc(), true, &length);
  if (result != kExitOk) {
    return result;
  }
  if (!AskYesNo("Overwrite complete flash (y/n): ", assumeYes)) {
    return kExitCancelled;
  }
  const uint32_t command = memory_area::FlashOfThisPc()->command;
  return UpdateAreaFromFile(command, memory_area::kFlashTarget, memory_area::kFlashDevice, 0, name,
                            verify, 0, 0);
}

}  // namespace drux
