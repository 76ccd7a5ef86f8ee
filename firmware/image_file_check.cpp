// The image file check of new-format images: exact size, image header and whole-file CRC, in
// the wording of each kind of image.
#include <cstring>

#include "controller/exit_codes.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "platform/platform.h"
#include "transfer/transfer_engine.h"

namespace drux {
namespace {

struct ImageFileTexts {
  const char* sizeMessage;
  const char* idMessage;
  const char* idHint;
  const char* crcMessage;
  const char* versionMessage;
  const char* checkLine;
  bool headerAtEnd;  // HDBaseT firmware carries its header in the last 16 bytes
};

constexpr ImageFileTexts kDruxTexts{
    "ERROR: Invalid file size: not %ld bytes.\n",
    "ERROR: The file does not contain a DRUX firmware header.\n",
    "       Please specify a valid DRUX firmware file.\n",
    "ERROR: DRUX firmware file has invalid header CRC.\n",
    "ERROR: The DRUX firmware file does not contain a valid version entry.\n",
    "Check DRUX firmware file: ",
    false};
constexpr ImageFileTexts kFpgaTexts{
    "ERROR: Invalid file size: not %ld bytes.\n",
    "ERROR: The file does not contain a valid FPGA firmware header.\n",
    "       Please specify a valid FPGA firmware file.\n",
    "ERROR: The FPGA firmware file has an invalid header CRC.\n",
    "ERROR: The FPGA firmware file does not contain a valid version entry.\n",
    "Check FPGA firmware file: ",
    false};
constexpr ImageFileTexts kHdbtTexts{
    "ERROR: iInvalid file size: not %ld bytes.\n",
    "ERROR: The file does not contain a valid firmware header.\n",
    "       Please specify a valid firmware file.\n",
    "ERROR: The firmware file has an invalid header CRC.\n",
    "ERROR: The firmware file does not contain a valid version entry.\n",
    "Check HDBT firmware file: ",
    true};

const ImageFileTexts& TextsOf(ImageKind kind) {
  switch (kind) {
    case ImageKind::FpgaFirmware:
      return kFpgaTexts;
    case ImageKind::HdbtFirmware:
      return kHdbtTexts;
    case ImageKind::DruxFirmware:
    default:
      return kDruxTexts;
  }
}

// Steps after the file is open; the caller closes it.
int CheckOpenImageFile(const ImageFileTexts& texts, platform::File* file, long size, const char* id,
                       uint32_t* version) {
  long length = 0;
  if (int result = TakeFileLength(file, &length); result != kExitOk) {
    return result;
  }
  if (length != size) {
    platform::PrintError(texts.sizeMessage, size);
    return kExitFileGeneral;
  }
  const long headerAt = texts.headerAtEnd ? length - long(kImageHeaderSize) : kImageHeaderOffset;
  uint8_t bytes[kImageHeaderSize];
  if (headerAt < 0 || !platform::SeekFile(file, headerAt, platform::SeekOrigin::Begin) ||
      platform::ReadFile(file, bytes, sizeof bytes) != sizeof bytes) {
    platform::PrintSystemError("ERROR: Can't read file");
    return kExitFileRead;
  }
  const ImageHeader header = DecodeImageHeader(bytes);
  if (id != nullptr && !ImageHeaderHasId(header, id)) {
    platform::PrintError("%s", texts.idMessage);
    platform::PrintError("%s", texts.idHint);
    return kExitInvalidData;
  }
  if (!IsImageHeaderValid(bytes)) {
    platform::PrintError("%s", texts.crcMessage);
    return kExitInvalidData;
  }
  if (!ReadImageVersion(header, version)) {
    platform::PrintError("%s", texts.versionMessage);
    return kExitInvalidData;
  }
  platform::Print("File version: %d.%02d\n", int(*version / 100), int(*version % 100));
  platform::Print("%s", texts.checkLine);
  platform::Flush(platform::Stream::Out);
  return CheckFileCrc(file, length);
}

}  // namespace

int CheckImageFile(ImageKind kind, const char* fileName, long size, const char* id,
                   uint32_t* version) {
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  const int result = CheckOpenImageFile(TextsOf(kind), file, size, id, version);
  platform::CloseFile(file);
  return result;
}

}  // namespace drux
