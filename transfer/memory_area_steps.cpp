// Steps that the memory-area handlers share: the opening lines, the file check before an
// update, the check of a stored length and the failure reports.
#include "controller/byte_fields.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "transfer/memory_area_layout.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"

namespace drux::memory_area {

namespace {

int CheckFileLength(uint32_t maximum, bool emptyAllowed, long length) {
  if (emptyAllowed) {
    if (length > long(maximum)) {
      platform::PrintError("ERROR: Invalid file size: greater %ld bytes\n", long(maximum));
      return kExitFileGeneral;
    }
    return kExitOk;
  }
  if (length == 0 || length > long(maximum)) {
    platform::PrintError("ERROR: Invalid file size (0 or greater %ld bytes).\n", long(maximum));
    return kExitFileGeneral;
  }
  return kExitOk;
}

}  // namespace

int ReportNotSupported() {
  platform::PrintError("ERROR: The data type is not supported on this PC.\n");
  return kExitNotSupported;
}

int CheckAreaFile(const AreaTexts& texts, const char* fileName, uint32_t maximum, bool emptyAllowed,
                  uint32_t* length) {
  platform::Print("Check %s file ...\n", texts.name);
  if (maximum == 0) {
    return ReportNotSupported();
  }
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  long fileLength = 0;
  int result = TakeFileLength(file, &fileLength);
  platform::CloseFile(file);
  if (result != kExitOk) {
    return result;
  }
  platform::Print("File has %ld bytes\n", fileLength);
  result = CheckFileLength(maximum, emptyAllowed, fileLength);
  if (result == kExitOk) {
    *length = uint32_t(fileLength);
  }
  return result;
}

int CheckStoredLength(uint32_t length, uint32_t maximum) {
  platform::Print("Data has %ld bytes\n", long(length));
  if (length == 0 || length > maximum) {
    platform::PrintError("ERROR: Invalid data size (0 or greater %ld bytes).\n", long(maximum));
    return kExitInvalidData;
  }
  return kExitOk;
}

void PrintInfoHeading(const AreaTexts& texts) {
  platform::Print("\n-- %s --\n\n", texts.title);
}

void PrintCheckDataLine(const AreaTexts& texts) {
  platform::Print("Check %s ...\n", texts.name);
}

void PrintActionLine(const char* action, const AreaTexts& texts) {
  platform::Print("%s %s ...\n", action, texts.name);
}

const char* DataFileName(const FeatureSet& features, const char* fileName, bool write,
                         uint8_t assumeYes) {
  return PromptFileName(features, "data", fileName, write, assumeYes);
}

bool ConfirmDelete(uint8_t assumeYes) {
  return AskYesNo("Do you really want to delete (y/n): ", assumeYes);
}

int ReportReadFailure(int status, uint8_t errorByte) {
  platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
  return kExitDruxFailed;
}

int ReportWriteFailure(int status, uint8_t errorByte) {
  platform::PrintError("ERROR: Can't write data: %s\n", StatusText(status, errorByte));
  return kExitDruxFailed;
}

uint32_t StoredLength(const uint8_t* field) {
  return LoadLittleEndian32(field);
}

void PutStoredLength(uint8_t* field, uint32_t length) {
  StoreLittleEndian32(field, length);
}

}  // namespace drux::memory_area
