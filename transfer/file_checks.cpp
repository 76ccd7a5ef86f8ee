// Whole-file checks before an update: an 8-bit sum of 0, or a CRC-16 of 0 over data and the
// CRC stored behind it.
#include "controller/exit_codes.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"

namespace drux {

namespace {

constexpr uint16_t kCrcStart = 0xFFFF;

struct FileSums {
  uint8_t checksum;
  uint16_t crc;
};

// Walks the file from its start in chunks with progress. 0, 3 (short read) or 5 (seek).
int SumFile(platform::File* file, long size, FileSums* sums) {
  if (!platform::SeekFile(file, 0, platform::SeekOrigin::Begin)) {
    platform::PrintSystemError("ERROR: Can't seek file");
    return kExitFileGeneral;
  }
  uint8_t* buffer = transfer::DeviceBuffer();
  *sums = FileSums{0, kCrcStart};
  long done = 0;
  while (done < size) {
    ShowProgress(int32_t(done), int32_t(size));
    const long left = size - done;
    const size_t chunk = left < long(kTransferChunkSize) ? size_t(left) : kTransferChunkSize;
    if (platform::ReadFile(file, buffer, chunk) != chunk) {
      platform::PrintSystemError("ERROR: Can't read file");
      return kExitFileRead;
    }
    sums->checksum = uint8_t(sums->checksum + Checksum8(buffer, chunk));
    sums->crc = Crc16(sums->crc, buffer, chunk);
    done += long(chunk);
  }
  ShowProgress(int32_t(done), int32_t(size));
  return kExitOk;
}

}  // namespace

int CheckFileChecksum(platform::File* file, long size) {
  FileSums sums{};
  const int result = SumFile(file, size, &sums);
  if (result != kExitOk) {
    return result;
  }
  if (sums.checksum != 0) {
    platform::PrintError("ERROR: Invalid file checksum.");
    return kExitInvalidData;
  }
  return kExitOk;
}

int CheckFileCrc(platform::File* file, long size) {
  FileSums sums{};
  const int result = SumFile(file, size, &sums);
  if (result != kExitOk) {
    return result;
  }
  if (sums.crc != 0) {
    platform::PrintError("ERROR: Invalid file CRC.");
    return kExitInvalidData;
  }
  return kExitOk;
}

}  // namespace drux
