// Save: a controller memory area into a file, optionally behind an XML firmware header, then
// read back and compared. The data goes to a new temporary file beside the target, which
// replaces the target only when everything has succeeded: a failed save leaves an existing
// file as it was and no partial file behind, and no other file is touched.
#include <cstring>

#include "controller/exit_codes.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"

namespace drux {

namespace {

// Same directory as the target: a rename in UEFI works only within one directory. The name is
// one that no file has yet, so that a file of the user's called like it is never touched.
constexpr const char kTemporarySuffix[] = ".tmp";
constexpr size_t kMaxFileNameLength = 512;
char temporaryName[kMaxFileNameLength + 16];

int WriteXmlHeader(platform::File* file, const char* xmlHeader) {
  const size_t length = std::strlen(xmlHeader) + 1;
  if (platform::WriteFile(file, xmlHeader, length) != length) {
    platform::PrintSystemError("ERROR: Can't write XML header to file");
    return kExitFileWrite;
  }
  return kExitOk;
}

// Whole blocks come from the device; the file receives exactly size bytes.
int CopyAreaToFile(const MemoryArea& area, platform::File* file, uint32_t size) {
  platform::Print("Read %ld bytes from device: ", long(size));
  platform::Flush(platform::Stream::Out);
  uint32_t done = 0;
  while (done < size) {
    ShowProgress(int32_t(done), int32_t(size));
    const uint32_t left = size - done;
    const uint32_t chunk = left < kTransferChunkSize ? left : kTransferChunkSize;
    const int result = transfer::ReadDeviceChunk(area, done, chunk);
    if (result != kExitOk) {
      return result;
    }
    if (platform::WriteFile(file, transfer::DeviceBuffer(), chunk) != chunk) {
      platform::PrintSystemError("ERROR: Can't write file");
      return kExitFileWrite;
    }
    done += chunk;
  }
  ShowProgress(int32_t(done), int32_t(size));
  return kExitOk;
}

int SaveToOpenFile(platform::File* file, const MemoryArea& area, uint32_t size, uint8_t verify,
                   const char* xmlHeader) {
  long dataStart = 0;
  if (xmlHeader != nullptr) {
    const int result = WriteXmlHeader(file, xmlHeader);
    if (result != kExitOk) {
      return result;
    }
    dataStart = long(std::strlen(xmlHeader) + 1);
  }
  int result = CopyAreaToFile(area, file, size);
  if (result != kExitOk) {
    return result;
  }
  if (!platform::FlushFile(file)) {
    platform::PrintSystemError("ERROR: Can't write file");
    return kExitFileWrite;
  }
  if (verify == 0) {
    return kExitOk;
  }
  if (!platform::SeekFile(file, dataStart, platform::SeekOrigin::Begin)) {
    platform::PrintSystemError("ERROR: Can't seek file");
    return kExitFileGeneral;
  }
  return transfer::VerifyAreaWithFile(area, file, size, false);
}

// Closes the temporary file and puts it in the target's place, or deletes it.
int FinishTemporaryFile(platform::File* file, const char* fileName, int result) {
  const bool closed = platform::CloseFile(file);
  if (result == kExitOk && !closed) {
    platform::PrintSystemError("ERROR: Can't write file");
    result = kExitFileWrite;
  }
  if (result == kExitOk && !platform::RenameFile(temporaryName, fileName)) {
    platform::PrintSystemError("ERROR: Can't write file");
    result = kExitFileWrite;
  }
  if (result != kExitOk) {
    platform::DeleteFile(temporaryName);
  }
  return result;
}

}  // namespace

int SaveAreaToFile(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                   const char* fileName, uint32_t size, uint8_t verify, const char* xmlHeader) {
  if (std::strlen(fileName) > kMaxFileNameLength) {
    platform::PrintError("ERROR: Can't open file: %s\n", "file name too long");
    return kExitFileOpen;
  }
  // The target takes the data only at the end; a name that can never take it (a directory, a
  // last component too long) is refused before the first read, as an open of it would be.
  if (!platform::CanCreateFile(fileName)) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  platform::File* file = platform::CreateFreshFileBeside(fileName, kTemporarySuffix, temporaryName,
                                                         sizeof temporaryName);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  const MemoryArea area = transfer::TransferArea(command, target, device, start, size);
  const int result = SaveToOpenFile(file, area, size, verify, xmlHeader);
  return FinishTemporaryFile(file, fileName, result);
}

}  // namespace drux
