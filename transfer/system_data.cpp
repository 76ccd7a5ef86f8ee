// System data: the first lives in its own store behind command 0x67 (a 16-byte information
// block with the length, then the data), the 2nd and 3rd are tagged areas of the flash.
#include <cstring>

#include "controller/command.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "transfer/memory_area_layout.h"
#include "transfer/memory_area_types.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

using namespace memory_area;

constexpr uint32_t kStoreTarget = 0;
constexpr uint32_t kStoreDevice = 0;
constexpr uint32_t kInfoBlockAddress = 0;
constexpr uint8_t kErasedByte = 0xFF;

const TaggedArea* TaggedSystemData(uint8_t number) {
  return number == 2 ? &kSystemData2 : &kSystemData3;
}

// Writes the information block: the length in bytes 0-3, zeros behind; kNoSystemData erases
// the whole block.
int WriteStoreInfo(uint32_t length) {
  uint8_t block[kSystemDataInfoSize] = {};
  if (length == kNoSystemData) {
    std::memset(block, kErasedByte, sizeof block);
  } else {
    PutStoredLength(block, length);
  }
  uint8_t errorByte = 0;
  const int status = WriteCommand(kSystemDataCommand, kInfoBlockAddress, kStoreDevice, kStoreTarget,
                                  block, sizeof block, &errorByte);
  if (status != kStatusOk) {
    return ReportWriteFailure(status, errorByte);
  }
  return kExitOk;
}

int CheckStoreData(uint32_t* length) {
  PrintCheckDataLine(kSystemDataTexts);
  const uint32_t maximum = SystemDataLimitOfThisPc();
  if (maximum == 0) {
    return ReportNotSupported();
  }
  uint8_t block[kSystemDataInfoSize];
  uint8_t errorByte = 0;
  const int status = ReadCommand(kSystemDataCommand, kInfoBlockAddress, kStoreDevice, kStoreTarget,
                                 block, sizeof block, &errorByte);
  if (status != kStatusOk) {
    return ReportReadFailure(status, errorByte);
  }
  *length = StoredLength(block);
  if (*length == kNoSystemData) {
    platform::Print("No data available.\n");
    return kExitNoDevice;
  }
  return CheckStoredLength(*length, maximum);
}

int ShowStoreData() {
  PrintInfoHeading(kSystemDataTexts);
  uint32_t length = 0;
  return CheckStoreData(&length);
}

int SaveStoreData(const FeatureSet& features, const char* fileName, uint8_t verify,
                  uint8_t assumeYes) {
  PrintActionLine("Save", kSystemDataTexts);
  const char* name = DataFileName(features, fileName, true, assumeYes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t length = 0;
  const int result = CheckStoreData(&length);
  if (result != kExitOk) {
    return result;
  }
  return SaveAreaToFile(kSystemDataCommand, kStoreTarget, kStoreDevice, kSystemDataStart, name,
                        length, verify, nullptr);
}

// The store says "no data" while the data is being written, so that a failed transfer leaves
// nothing that passes for valid system data.
int UpdateStoreData(const FeatureSet& features, const char* fileName, uint8_t verify) {
  PrintActionLine("Update", kSystemDataTexts);
  const char* name = DataFileName(features, fileName, false, 0);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t length = 0;
  int result = CheckAreaFile(kSystemDataTexts, name, SystemDataLimitOfThisPc(), false, &length);
  if (result != kExitOk) {
    return result;
  }
  result = WriteStoreInfo(kNoSystemData);
  if (result != kExitOk) {
    return result;
  }
  result = UpdateAreaFromFile(kSystemDataCommand, kStoreTarget, kStoreDevice, kSystemDataStart,
                              name, verify, 0, 0);
  if (result != kExitOk) {
    return result;
  }
  return WriteStoreInfo(length);
}

int DeleteStoreData(uint8_t assumeYes) {
  PrintActionLine("Delete", kSystemDataTexts);
  if (!ConfirmDelete(assumeYes)) {
    return kExitCancelled;
  }
  if (SystemDataLimitOfThisPc() == 0) {
    return ReportNotSupported();
  }
  return WriteStoreInfo(kNoSystemData);
}

}  // namespace

int ShowSystemData(uint8_t number) {
  return number == 1 ? ShowStoreData() : ShowTaggedArea(*TaggedSystemData(number));
}

int SaveSystemData(const FeatureSet& features, uint8_t number, const char* fileName, uint8_t verify,
                   uint8_t assumeYes) {
  if (number == 1) {
    return SaveStoreData(features, fileName, verify, assumeYes);
  }
  return SaveTaggedArea(features, *TaggedSystemData(number), fileName, verify, assumeYes);
}

int UpdateSystemData(const FeatureSet& features, uint8_t number, const char* fileName,
                     uint8_t verify) {
  if (number == 1) {
    return UpdateStoreData(features, fileName, verify);
  }
  return UpdateTaggedArea(features, *TaggedSystemData(number), fileName, verify);
}

int DeleteSystemData(uint8_t number, uint8_t assumeYes) {
  return number == 1 ? DeleteStoreData(assumeYes)
                     : DeleteTaggedArea(*TaggedSystemData(number), assumeYes);
}

}  // namespace drux
