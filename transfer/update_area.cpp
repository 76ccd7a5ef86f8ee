// Update: a file (behind an optional XML firmware header) into a controller memory area, then
// read back and compared.
#include <cstring>

#include "controller/status_text.h"
#include "frontend/exit_codes.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"

namespace drux {

namespace {

// Flash is written in whole pages of 256 bytes whatever the area's block size; these areas are
// not flash and take the data as it is.
constexpr uint32_t kPadPage = 256;
constexpr uint8_t kErasedByte = 0xFF;
constexpr uint32_t kModuleDataCommand = 0x63;
constexpr uint32_t kPanelModuleDataCommand = 0x73;
constexpr uint32_t kPanelDataCommand = 0x20;
constexpr uint32_t kPanelDisplayTarget = 4;

bool PadsToPages(const MemoryArea& area) {
  return area.command != kModuleDataCommand && area.command != kPanelModuleDataCommand &&
         !(area.command == kPanelDataCommand && area.target == kPanelDisplayTarget);
}

// The data behind the header, cut to the header's Len and to the caller's limit.
uint32_t DataSize(long fileLength, const transfer::XmlSkip& skip, uint32_t sizeLimit) {
  uint64_t size = fileLength > skip.dataStart ? uint64_t(fileLength - skip.dataStart) : 0;
  if (skip.hasDataLength && size > skip.dataLength) {
    size = skip.dataLength;
  }
  if (sizeLimit != 0 && size > sizeLimit) {
    size = sizeLimit;
  }
  return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(size);
}

int WriteFileToArea(const MemoryArea& area, platform::File* file, uint32_t size) {
  uint8_t* buffer = transfer::DeviceBuffer();
  platform::Print("Write %ld bytes to device: ", long(size));
  platform::Flush(platform::Stream::Out);
  uint32_t done = 0;
  while (done < size) {
    ShowProgress(int32_t(done), int32_t(size));
    const uint32_t left = size - done;
    uint32_t chunk = left < kTransferChunkSize ? left : kTransferChunkSize;
    if (platform::ReadFile(file, buffer, chunk) != chunk) {
      platform::PrintSystemError("ERROR: Can't read file");
      return kExitFileRead;
    }
    if (done == 0) {
      transfer::ApplyHeaderPatch(buffer, chunk);
    }
    if (PadsToPages(area)) {
      const uint32_t padded = transfer::RoundUp(chunk, kPadPage);
      std::memset(buffer + chunk, kErasedByte, padded - chunk);
      chunk = padded;
    }
    MemoryArea piece = area;
    piece.start = area.start + done;
    piece.size = chunk;
    uint8_t errorByte = 0;
    const int status = WriteArea(piece, buffer, &errorByte);
    if (status != 0) {
      platform::PrintError("ERROR: Can't write data: %s\n", StatusText(status, errorByte));
      return kExitDruxFailed;
    }
    done += chunk;
  }
  ShowProgress(int32_t(done), int32_t(size));
  return kExitOk;
}

int UpdateFromOpenFile(platform::File* file, uint32_t command, uint32_t target, uint32_t device,
                       uint32_t start, uint8_t verify, uint8_t xml, uint32_t sizeLimit) {
  long fileLength = 0;
  int result = TakeFileLength(file, &fileLength);
  if (result != kExitOk) {
    return result;
  }
  transfer::XmlSkip skip{0, false, 0};
  if (xml != 0) {
    result = transfer::SkipXmlHeader(file, &skip);
    if (result != kExitOk) {
      return result;
    }
  }
  const uint32_t size = DataSize(fileLength, skip, sizeLimit);
  const MemoryArea area = transfer::TransferArea(command, target, device, start, size);
  result = WriteFileToArea(area, file, size);
  if (result != kExitOk || verify == 0) {
    return result;
  }
  if (area.indirect != 0) {
    platform::Print("Verify of data is not supported - verify is skipped.\n");
    return kExitOk;
  }
  if (!platform::SeekFile(file, skip.dataStart, platform::SeekOrigin::Begin)) {
    platform::PrintSystemError("ERROR: Can't seek file");
    return kExitFileGeneral;
  }
  return transfer::VerifyAreaWithFile(area, file, size, true);
}

}  // namespace

int TakeUpdateDataSize(const char* fileName, uint32_t* size) {
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  long fileLength = 0;
  transfer::XmlSkip skip{0, false, 0};
  int result = TakeFileLength(file, &fileLength);
  if (result == kExitOk) {
    result = transfer::SkipXmlHeader(file, &skip, false);
  }
  platform::CloseFile(file);
  if (result == kExitOk) {
    *size = DataSize(fileLength, skip, 0);
  }
  return result;
}

int UpdateAreaFromFile(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                       const char* fileName, uint8_t verify, uint8_t xml, uint32_t sizeLimit) {
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  const int result =
      UpdateFromOpenFile(file, command, target, device, start, verify, xml, sizeLimit);
  platform::CloseFile(file);
  return result;
}

}  // namespace drux
