// The file check of old-format FPGA images: size, the info trailer with its 8-bit checksum, or
// the type and version a file name like ABCD0105.bin carries.
#include <cstring>

#include "controller/exit_codes.h"
#include "firmware/fpga_info_trailer.h"
#include "firmware/image_checks.h"
#include "platform/platform.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

constexpr long kSizeUnit = 256;

struct FpgaInfo {
  char type[kFpgaTypeLength + 1];
  uint32_t version;
};

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Like strncmp over the type's four characters.
bool SameType(const char* a, const char* b) {
  for (size_t i = 0; i < kFpgaTypeLength; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
    if (a[i] == '\0') {
      return true;
    }
  }
  return true;
}

// Four letters, four digits, then the end or a dot: the name as it was given, so a directory in
// front of it never matches.
bool InfoFromFileName(const char* fileName, FpgaInfo* info) {
  if (std::strlen(fileName) < 8 || (fileName[8] != '.' && fileName[8] != '\0')) {
    return false;
  }
  uint32_t version = 0;
  for (int i = 0; i < 8; ++i) {
    if (i < 4 ? !IsLetter(fileName[i]) : !IsDigit(fileName[i])) {
      return false;
    }
    if (i >= 4) {
      version = version * 10 + uint32_t(fileName[i] - '0');
    }
  }
  std::memcpy(info->type, fileName, kFpgaTypeLength);
  info->type[kFpgaTypeLength] = '\0';
  info->version = version;
  return true;
}

// Steps after the file is open; the caller closes it.
int ReadFpgaInfo(platform::File* file, const char* fileName, long maxSize, FpgaInfo* info) {
  long length = 0;
  if (int result = TakeFileLength(file, &length); result != kExitOk) {
    return result;
  }
  if (length > maxSize) {
    platform::PrintError("ERROR: Invalid file size: > %ld bytes.\n", maxSize);
    return kExitFileGeneral;
  }
  if (length % kSizeUnit != 0) {
    platform::PrintError("ERROR: File size is not a multiple of 256 bytes.\n");
    return kExitFileGeneral;
  }
  uint8_t trailer[kFpgaInfoTrailerSize];
  if (length < long(sizeof trailer) ||
      !platform::SeekFile(file, length - long(sizeof trailer), platform::SeekOrigin::Begin) ||
      platform::ReadFile(file, trailer, sizeof trailer) != sizeof trailer) {
    platform::PrintSystemError("ERROR: Can't read file");
    return kExitFileRead;
  }
  if (IsFpgaInfoTrailer(trailer)) {
    if (int result = CheckFileChecksum(file, length); result != kExitOk) {
      return result;
    }
    FpgaInfoTrailerType(trailer, info->type);
    info->version = FpgaInfoTrailerVersion(trailer);
    return kExitOk;
  }
  platform::Print("The file does not contain a valid FPGA info!\n");
  if (InfoFromFileName(fileName, info)) {
    platform::Print("FPGA type and version are taken from the file name.\n");
  }
  return kExitOk;
}

}  // namespace

int CheckFpgaInfoFile(const char* fileName, long maxSize, const char* expectedType,
                      uint32_t* version) {
  platform::Print("Check FPGA firmware file: ");
  platform::Flush(platform::Stream::Out);
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  FpgaInfo info{};
  const int result = ReadFpgaInfo(file, fileName, maxSize, &info);
  platform::CloseFile(file);
  if (result != kExitOk) {
    return result;
  }
  if (!SameType(info.type, expectedType)) {
    platform::PrintError("ERROR: FPGA type mismatch.\n");
    return kExitTypeMismatch;
  }
  *version = info.version;
  platform::Print("File type: %s\n", expectedType);
  platform::Print("File version: %d.%02d\n", int(*version / 100), int(*version % 100));
  return kExitOk;
}

}  // namespace drux
