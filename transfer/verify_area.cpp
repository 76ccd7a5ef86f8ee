// The read-back after a save or an update: the area again, chunk by chunk, against the file.
#include <cstring>

#include "controller/exit_codes.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"

namespace drux::transfer {

namespace {

size_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t length) {
  size_t i = 0;
  while (i < length && a[i] == b[i]) {
    ++i;
  }
  return i;
}

}  // namespace

int VerifyAreaWithFile(const MemoryArea& area, platform::File* file, uint32_t size,
                       bool patchHeader) {
  uint8_t* device = DeviceBuffer();
  uint8_t* fromFile = FileBuffer();
  platform::Print("Verify %ld bytes with device: ", long(size));
  platform::Flush(platform::Stream::Out);
  uint32_t done = 0;
  while (done < size) {
    ShowProgress(int32_t(done), int32_t(size));
    const uint32_t left = size - done;
    const uint32_t chunk = left < kTransferChunkSize ? left : kTransferChunkSize;
    const int read = ReadDeviceChunk(area, done, chunk);
    if (read != kExitOk) {
      return read;
    }
    if (platform::ReadFile(file, fromFile, chunk) != chunk) {
      platform::PrintSystemError("ERROR: Can't read file");
      return kExitFileWrite;  // a file that can't be read back counts as not written
    }
    if (patchHeader && done == 0) {
      ApplyHeaderPatch(fromFile, chunk);
    }
    if (std::memcmp(device, fromFile, chunk) != 0) {
      const size_t index = FirstDifference(device, fromFile, chunk);
      platform::PrintError("ERROR: Data mismatch at index 0x%lx.\n",
                           static_cast<unsigned long>(done + index));
      CompareDump(device, fromFile, index, chunk);
      return kExitVerify;
    }
    done += chunk;
  }
  ShowProgress(int32_t(done), int32_t(size));
  return kExitOk;
}

}  // namespace drux::transfer
